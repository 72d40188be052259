#include "XWindow.h"

#include <X11/Xresource.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

XWindow::XWindow(unsigned long parent, int width, int height, int minWidth, int minHeight)
    : width_(width), height_(height) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        return;
    }
    const int screen = DefaultScreen(display_);
    const Window under = parent != 0 ? parent : RootWindow(display_, screen);
    XSetWindowAttributes attributes{};
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    // The picture is copied over every pixel, so the server need not clear first.
    attributes.background_pixmap = None;
    window_ = XCreateWindow(display_, under, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
    // No keyboard focus: the host's shortcuts (a transport's space bar) keep working.
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = False;
    XSetWMHints(display_, window_, &hints);
    XStoreName(display_, window_, "Brevander");
    // The class names the window apart from the host's own, which may bear the same title.
    char name[] = "brevander_lv2_ui", windowClass[] = "Brevander";
    XClassHint classHint = {name, windowClass};
    XSetClassHint(display_, window_, &classHint);
    setMinimumSize(minWidth, minHeight);
    XMapRaised(display_, window_);
    XFlush(display_);
}

XWindow::~XWindow() {
    if (display_ == nullptr) {
        return;
    }
    dropPicture();
    if (gc_ != nullptr) {
        XFreeGC(display_, gc_);
    }
    if (window_ != 0) {
        XDestroyWindow(display_, window_);
    }
    XCloseDisplay(display_);
}

double XWindow::xftScale() const {
    const char* resources = XResourceManagerString(display_);
    if (resources == nullptr) {
        return 0.0;
    }
    // One "name:\tvalue" per line; the resource database would do the same with more.
    for (const char* line = resources; line != nullptr && *line != 0;) {
        if (std::strncmp(line, "Xft.dpi:", 8) == 0) {
            const double dpi = std::strtod(line + 8, nullptr);
            return dpi > 0.0 ? dpi / 96.0 : 0.0;
        }
        line = std::strchr(line, '\n');
        line = line != nullptr ? line + 1 : nullptr;
    }
    return 0.0;
}

void XWindow::setMinimumSize(int minWidth, int minHeight) {
    XSizeHints* size = XAllocSizeHints();
    size->flags = PMinSize | PBaseSize;
    size->min_width = size->base_width = minWidth;
    size->min_height = size->base_height = minHeight;
    XSetWMNormalHints(display_, window_, size);
    XFree(size);
}

void XWindow::resize(int width, int height) {
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display_);
}

void XWindow::handleEvents(const std::function<void(const PointerEvent&)>& pointer) {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
            case Expose:
                dirty_ = true;
                break;
            case ConfigureNotify:
                if (event.xconfigure.width != width_ || event.xconfigure.height != height_) {
                    width_ = event.xconfigure.width;
                    height_ = event.xconfigure.height;
                    dirty_ = true;
                }
                break;
            case ButtonPress:
            case ButtonRelease: {
                const XButtonEvent& b = event.xbutton;
                PointerEvent p{event.type == ButtonPress ? PointerEvent::press : PointerEvent::release,
                               static_cast<double>(b.x),
                               static_cast<double>(b.y),
                               b.button,
                               (b.state & ShiftMask) != 0,
                               b.time};
                if (b.button == Button4 || b.button == Button5) {
                    if (event.type == ButtonRelease) {
                        break;
                    }
                    p.kind = b.button == Button4 ? PointerEvent::wheelUp : PointerEvent::wheelDown;
                }
                pointer(p);
                break;
            }
            case MotionNotify: {
                const XMotionEvent& m = event.xmotion;
                pointer({PointerEvent::motion, static_cast<double>(m.x), static_cast<double>(m.y), 0,
                         (m.state & ShiftMask) != 0, m.time});
                break;
            }
            default:
                break;
        }
    }
}

void XWindow::dropPicture() {
    if (image_ != nullptr) {
        image_->data = nullptr;  // cairo's memory, freed with its surface
        XDestroyImage(image_);
        image_ = nullptr;
    }
    if (surface_ != nullptr) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
}

void XWindow::draw(const std::function<void(cairo_t*, int, int)>& paint) {
    if (width_ <= 0 || height_ <= 0) {
        return;
    }
    // The picture is in the client's memory, as cairo's image surface, and goes to the
    // window as an image whose pixels are the surface's own 32-bit words. That needs
    // a true-colour visual of 24 bits; every X server of the last decades offers one.
    if (surface_ == nullptr || pictureWidth_ != width_ || pictureHeight_ != height_) {
        dropPicture();
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
        const int screen = DefaultScreen(display_);
        image_ = XCreateImage(
            display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap,
            0, reinterpret_cast<char*>(cairo_image_surface_get_data(surface_)), static_cast<unsigned>(width_),
            static_cast<unsigned>(height_), 32, cairo_image_surface_get_stride(surface_));
        pictureWidth_ = width_;
        pictureHeight_ = height_;
    }
    if (image_ == nullptr) {
        return;
    }
    cairo_t* cr = cairo_create(surface_);
    paint(cr, width_, height_);
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
    if (gc_ == nullptr) {
        gc_ = XCreateGC(display_, window_, 0, nullptr);
    }
    XPutImage(display_, window_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(width_),
              static_cast<unsigned>(height_));
    XFlush(display_);
    dirty_ = false;
}

void XWindow::drawPart(double x, double y, double w, double h, const std::function<void(cairo_t*, int, int)>& paint,
                       const std::function<void(cairo_t*, int, int)>& paintAll) {
    if (dirty_ || image_ == nullptr || pictureWidth_ != width_ || pictureHeight_ != height_) {
        draw(paintAll);
        return;
    }
    // Whole pixels covering the rectangle, within the window.
    const int left = std::max(0, static_cast<int>(std::floor(x)));
    const int top = std::max(0, static_cast<int>(std::floor(y)));
    const int right = std::min(width_, static_cast<int>(std::ceil(x + w)));
    const int bottom = std::min(height_, static_cast<int>(std::ceil(y + h)));
    if (right <= left || bottom <= top) {
        return;
    }
    cairo_t* cr = cairo_create(surface_);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_clip(cr);
    paint(cr, width_, height_);
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
    XPutImage(display_, window_, gc_, image_, left, top, left, top, static_cast<unsigned>(right - left),
              static_cast<unsigned>(bottom - top));
    XFlush(display_);
}
