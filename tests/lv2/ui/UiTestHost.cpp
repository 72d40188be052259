#include "UiTestHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo/cairo.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <lv2/options/options.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "Lv2UiProbe.h"

XvfbServer::XvfbServer() {
    char folder[] = "/tmp/brevander-xvfb-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return;
    }
    folder_ = folder;
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // A test that dies outright takes its server along.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        // Its own log in its folder: the test's output stays the test's.
        if (chdir(folder) != 0) {
            _exit(127);
        }
        const int log = open("xvfb.log", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log < 0) {
            _exit(127);
        }
        dup2(log, 1);
        dup2(log, 2);
        close(log);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2400x1600x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

UiLibrary::UiLibrary(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        throw std::runtime_error(dlerror());
    }
    using Entry = const LV2UI_Descriptor* (*)(std::uint32_t);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "lv2ui_descriptor"));
    descriptor = entry != nullptr ? entry(0) : nullptr;
}

UiLibrary::~UiLibrary() { dlclose(handle); }

float Written::value() const {
    float v = 0.0f;
    if (bytes.size() == sizeof v) {
        std::memcpy(&v, bytes.data(), sizeof v);
    }
    return v;
}

namespace {

void writeFunction(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer) {
    auto* host = static_cast<UiTestHost*>(controller);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    host->written.push_back({port, format, std::vector<unsigned char>(bytes, bytes + size)});
}

void touchFunction(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
    static_cast<UiTestHost*>(handle)->touches.emplace_back(port, grabbed);
}

int resizeFunction(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<UiTestHost*>(handle)->sizesAsked.emplace_back(width, height);
    return 0;
}

}  // namespace

UiTestHost::UiTestHost(const UiLibrary& library, double scale) : library_(library) {
    urids.map(uridMap.map());
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr || library.descriptor == nullptr) {
        return;
    }
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 2200, 1500, 0, 0, 0xffffff);
    XMapWindow(display_, parent_);
    XSync(display_, False);
    touch_ = {this, touchFunction};
    resize_ = {this, resizeFunction};
    const float scaleValue = static_cast<float>(scale);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, uridMap(LV2_UI__scaleFactor), sizeof(float), uridMap(LV2_ATOM__Float), &scaleValue},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(parent_)};
    const LV2_Feature touchFeature = {LV2_UI__touch, &touch_};
    const LV2_Feature resizeFeature = {LV2_UI__resize, &resize_};
    const LV2_Feature optionsFeature = {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {uridMap.feature(),
                                     &parentFeature,
                                     &touchFeature,
                                     &resizeFeature,
                                     scale != 0.0 ? &optionsFeature : nullptr,
                                     nullptr};
    LV2UI_Widget widget = nullptr;
    handle_ = library.descriptor->instantiate(library.descriptor, "urn:brevander:shuffler", "", writeFunction, this,
                                              &widget, features);
    if (handle_ == nullptr) {
        return;
    }
    window_ = reinterpret_cast<unsigned long>(widget);
    idle_ = static_cast<const LV2UI_Idle_Interface*>(library.descriptor->extension_data(LV2_UI__idleInterface));
    probe_ = library.descriptor->extension_data(kBrevanderUiProbeUri);
    settle();
}

UiTestHost::~UiTestHost() {
    if (handle_ != nullptr) {
        library_.descriptor->cleanup(handle_);
    }
    if (display_ != nullptr) {
        if (parent_ != 0) {
            XDestroyWindow(display_, parent_);
        }
        XCloseDisplay(display_);
    }
}

void UiTestHost::portEvent(std::uint32_t port, float value) {
    library_.descriptor->port_event(handle_, port, sizeof value, 0, &value);
}

void UiTestHost::atomEvent(std::uint32_t port, const LV2_Atom* atom) {
    library_.descriptor->port_event(handle_, port, static_cast<std::uint32_t>(sizeof(LV2_Atom)) + atom->size,
                                    urids.eventTransfer, atom);
}

void UiTestHost::settle() {
    // The UI's own connection sees the server's answers only after a round trip on
    // it; idle a few times around one of ours, which orders the server's queue.
    for (int i = 0; i < 6; ++i) {
        XSync(display_, False);
        idle_->idle(handle_);
        usleep(3000);
    }
}

float UiTestHost::controlValue(std::uint32_t port) const {
    return static_cast<const BrevanderUiProbe*>(probe_)->controlValue(handle_, port);
}

std::string UiTestHost::bandTable() const {
    const auto* probe = static_cast<const BrevanderUiProbe*>(probe_);
    std::string text(probe->bandTable(handle_, nullptr, 0) + 1, '\0');
    text.resize(probe->bandTable(handle_, text.data(), text.size()));
    return text;
}

void UiTestHost::moveTo(double x, double y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), static_cast<int>(x), static_cast<int>(y), CurrentTime);
    settle();
}

void UiTestHost::press(unsigned button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    settle();
}

void UiTestHost::release(unsigned button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    settle();
}

void UiTestHost::shift(bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, XK_Shift_L), down ? True : False, CurrentTime);
    settle();
}

void UiTestHost::drag(double fromX, double fromY, double toX, double toY, bool withShift) {
    moveTo(fromX, fromY);
    if (withShift) {
        shift(true);
    }
    press();
    for (int step = 1; step <= 4; ++step) {
        moveTo(fromX + (toX - fromX) * step / 4, fromY + (toY - fromY) * step / 4);
    }
    release();
    if (withShift) {
        shift(false);
    }
}

void UiTestHost::wheel(double x, double y, bool up, bool withShift) {
    moveTo(x, y);
    if (withShift) {
        shift(true);
    }
    press(up ? 4 : 5);
    release(up ? 4 : 5);
    if (withShift) {
        shift(false);
    }
}

void UiTestHost::click(double x, double y) {
    moveTo(x, y);
    press();
    release();
}

void UiTestHost::resizeWindow(int w, int h) {
    XResizeWindow(display_, window_, static_cast<unsigned>(w), static_cast<unsigned>(h));
    settle();
}

std::pair<int, int> UiTestHost::minimumSize() const {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display_, window_, &hints, &supplied) == 0 || (hints.flags & PMinSize) == 0) {
        return {0, 0};
    }
    return {hints.min_width, hints.min_height};
}

int UiTestHost::width() const {
    XWindowAttributes a;
    XGetWindowAttributes(display_, window_, &a);
    return a.width;
}

int UiTestHost::height() const {
    XWindowAttributes a;
    XGetWindowAttributes(display_, window_, &a);
    return a.height;
}

std::vector<std::uint32_t> UiTestHost::capture(int& w, int& h) const {
    w = width();
    h = height();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    XImage* image =
        XGetImage(display_, window_, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return {};
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff);
        }
    }
    XDestroyImage(image);
    return pixels;
}

bool UiTestHost::savePng(const std::string& path) const {
    int w = 0, h = 0;
    const std::vector<std::uint32_t> pixels = capture(w, h);
    if (pixels.empty()) {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    auto* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    for (int y = 0; y < h; ++y) {
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride,
                    pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                    static_cast<std::size_t>(w) * 4);
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}
