// The little of Xlib one plug-in window needs: a child of the host's window on a
// display connection of its own (so that several instances never share state), a
// minimum size, an off-screen picture in the client's memory that cairo draws into
// and that is copied to the window whole or in part, and the pending events handed out one at
// a time, never waiting.
#pragma once

#include <X11/Xlib.h>
#include <cairo/cairo.h>

#include <functional>

struct PointerEvent {
    enum Kind { press, release, motion, wheelUp, wheelDown } kind;
    double x, y;  // in the window's pixels
    unsigned button;
    bool shift;
    unsigned long timeMs;
};

class XWindow {
public:
    // Opens the display named by DISPLAY; valid() tells whether it worked. `parent` 0
    // makes a top-level window.
    XWindow(unsigned long parent, int width, int height, int minWidth, int minHeight);
    ~XWindow();
    XWindow(const XWindow&) = delete;
    XWindow& operator=(const XWindow&) = delete;

    bool valid() const { return window_ != 0; }
    unsigned long id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The X resource Xft.dpi over 96, or 0 when the server has none.
    double xftScale() const;
    void setMinimumSize(int minWidth, int minHeight);
    void resize(int width, int height);

    // Handles every pending event: pointer events go to `pointer`; exposure, a new
    // size and such only mark the window for redrawing. Never blocks.
    void handleEvents(const std::function<void(const PointerEvent&)>& pointer);
    bool needsDrawing() const { return dirty_; }
    void markDirty() { dirty_ = true; }
    // Draws through `paint` into the off-screen picture, then copies it to the window.
    void draw(const std::function<void(cairo_t*, int width, int height)>& paint);
    // Draws through `paint` into the picture within the rectangle alone and copies
    // just that, when the rest of the picture is up to date; else draws it all.
    void drawPart(double x, double y, double w, double h,
                  const std::function<void(cairo_t*, int width, int height)>& paint,
                  const std::function<void(cairo_t*, int width, int height)>& paintAll);

private:
    void dropPicture();

    Display* display_ = nullptr;
    unsigned long window_ = 0;
    cairo_surface_t* surface_ = nullptr;  // the picture, the window's size
    XImage* image_ = nullptr;             // the same pixels as X sees them
    GC gc_ = nullptr;
    int width_, height_;
    int pictureWidth_ = 0, pictureHeight_ = 0;
    bool dirty_ = true;
};
