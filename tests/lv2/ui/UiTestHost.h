// A host for the plug-in's window: an X server of its own (Xvfb, started in a
// temporary folder and stopped by its pid), a parent window, the UI binary loaded
// through lv2ui_descriptor, what the UI writes recorded, pointer input through the
// XTEST extension, and the window's pixels read back.
#pragma once

#include <lv2/ui/ui.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Lv2Monitor.h"
#include "TestUridMap.h"

// Xvfb on a free display, for as long as the object lives; DISPLAY points at it.
class XvfbServer {
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
    std::string folder_;
};

// The UI binary, opened once.
struct UiLibrary {
    explicit UiLibrary(const std::string& path);
    ~UiLibrary();
    void* handle = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
};

struct Written {
    std::uint32_t port;
    std::uint32_t format;
    std::vector<unsigned char> bytes;
    float value() const;
};

class UiTestHost {
public:
    // Opens the window inside a parent window of the host's, offering a scale factor
    // when `scale` is not 0.
    UiTestHost(const UiLibrary& library, double scale = 0.0);
    ~UiTestHost();
    UiTestHost(const UiTestHost&) = delete;
    UiTestHost& operator=(const UiTestHost&) = delete;

    bool open() const { return handle_ != nullptr; }
    void portEvent(std::uint32_t port, float value);
    void atomEvent(std::uint32_t port, const LV2_Atom* atom);
    // Calls idle until the X server has seen everything and the window drew.
    void settle();
    float controlValue(std::uint32_t port) const;
    std::string bandTable() const;

    // Pointer input at window coordinates, through XTEST.
    void moveTo(double x, double y);
    void press(unsigned button = 1);
    void release(unsigned button = 1);
    void shift(bool down);
    void drag(double fromX, double fromY, double toX, double toY, bool withShift = false);
    void wheel(double x, double y, bool up, bool withShift = false);
    void click(double x, double y);

    // Resizes the window as a host does, and reads back the smallest size it allows.
    void resizeWindow(int w, int h);
    std::pair<int, int> minimumSize() const;
    int width() const;
    int height() const;
    // The window's pixels, 0xRRGGBB, row by row.
    std::vector<std::uint32_t> capture(int& w, int& h) const;
    bool savePng(const std::string& path) const;

    std::vector<Written> written;
    std::vector<std::pair<std::uint32_t, bool>> touches;
    std::vector<std::pair<int, int>> sizesAsked;
    TestUridMap uridMap;
    MonitorUrids urids;

private:
    const UiLibrary& library_;
    // Xlib's types by their own names: its macros (None, Bool) would clash with the tests'.
    struct _XDisplay* display_ = nullptr;
    unsigned long parent_ = 0;
    unsigned long window_ = 0;
    LV2UI_Handle handle_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    // Features the UI may keep for its lifetime.
    LV2UI_Touch touch_{};
    LV2UI_Resize resize_{};
    const void* probe_ = nullptr;
};
