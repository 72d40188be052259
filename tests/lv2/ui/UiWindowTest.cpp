// The plug-in's window in a host of our own under Xvfb: values from the host move
// it, the pointer writes values back with touch gestures, the drawing follows the
// settings, it sizes and scales as asked, and its band table for a file that went
// through the plug-in reads as `brevander analyze` prints it for that file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FloatWav.h"
#include "TestSignal.h"
#include "UiTestHost.h"
#include "ViewLayout.h"
#include "lv2/Lv2TestHost.h"

namespace {

XvfbServer* server = nullptr;
UiLibrary* library = nullptr;

class UiWindow : public testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new XvfbServer;
        library = new UiLibrary(BREVANDER_LV2_UI_BINARY);
    }
    static void TearDownTestSuite() {
        delete library;
        delete server;
    }
    void SetUp() override {
        ASSERT_TRUE(server->running()) << "Xvfb did not start";
        ASSERT_NE(library->descriptor, nullptr);
    }
};

constexpr std::uint32_t port(ParameterIndex index) { return kFirstControlPort + static_cast<std::uint32_t>(index); }

// The difference's corner as the docs give it: 342 m/s times the width over
// 2 pi^2 times the spacing.
double cornerHz(double spacingCm, double widthPercent) {
    return widthPercent / 100.0 * 342.0 / (2.0 * M_PI * M_PI * spacingCm / 100.0);
}

bool isDifferenceOrange(std::uint32_t p) {
    const unsigned r = p >> 16, g = (p >> 8) & 0xff, b = p & 0xff;
    return r > 200 && g > 70 && g < 150 && b < 80;
}

// The rows, within `from` to `to`, of the orange run in column x nearest to `nearY`.
double nearestOrangeRun(const std::vector<std::uint32_t>& pixels, int width, int x, double from, double to,
                        double nearY) {
    double best = 1e9;
    for (int y = static_cast<int>(from); y < static_cast<int>(to);) {
        if (!isDifferenceOrange(pixels[static_cast<std::size_t>(y * width + x)])) {
            ++y;
            continue;
        }
        const int start = y;
        while (y < static_cast<int>(to) && isDifferenceOrange(pixels[static_cast<std::size_t>(y * width + x)])) {
            ++y;
        }
        const double centre = (start + y - 1) / 2.0;
        if (std::fabs(centre - nearY) < std::fabs(best - nearY)) {
            best = centre;
        }
    }
    return best;
}

}  // namespace

TEST_F(UiWindow, TheDifferenceCurveCrossesMinusThreeDecibelsAtTheMarkedCorner) {
    UiTestHost host(*library, 1.0);
    ASSERT_TRUE(host.open());
    for (const auto& [spacing, width] : {std::pair{30.0f, 100.0f}, std::pair{10.0f, 100.0f}, std::pair{18.0f, 40.0f}}) {
        SCOPED_TRACE(std::to_string(spacing) + " cm, " + std::to_string(width) + " %");
        host.portEvent(port(kMicSpacing), spacing);
        host.portEvent(port(kLfWidth), width);
        host.settle();
        int w = 0, h = 0;
        const std::vector<std::uint32_t> pixels = host.capture(w, h);
        ASSERT_FALSE(pixels.empty());
        const ViewLayout layout = layoutFor(w, h, 1.0);
        const double minus3 = layout.plotY(-10.0 * std::log10(2.0));
        const int x = static_cast<int>(std::lround(layout.plotX(cornerHz(spacing, width))));
        const double y = nearestOrangeRun(pixels, w, x, layout.plot.y, layout.plot.y + layout.plot.h, minus3);
        EXPECT_NEAR(y, minus3, 1.5);
        // An octave below, a first-order high-pass is 1/sqrt 5 of its gain, 7 dB down.
        const int below = static_cast<int>(std::lround(layout.plotX(cornerHz(spacing, width) / 2.0)));
        const double minus7 = layout.plotY(-10.0 * std::log10(5.0));
        EXPECT_NEAR(nearestOrangeRun(pixels, w, below, layout.plot.y, layout.plot.y + layout.plot.h, minus7), minus7,
                    1.5);
    }
}

TEST_F(UiWindow, PointerInputWritesValuesInsideTouchGestures) {
    enum Action { dragRightHalf, dragLeftHalf, shiftDragRightHalf, wheelUp, shiftWheelDown, doubleClick, click };
    struct Row {
        const char* what;
        ParameterIndex index;
        float fromHost;  // what the host set first
        Action action;
        float expected;
    };
    const Row rows[] = {
        {"a drag over half the slider", kMicSpacing, 18.0f, dragRightHalf, 43.0f},
        {"a drag from where the host put it", kMicSpacing, 30.0f, dragLeftHalf, 5.0f},
        {"a fine drag with Shift", kMicSpacing, 18.0f, shiftDragRightHalf, 20.5f},
        {"a notch of the wheel: ten steps", kLfWidth, 100.0f, wheelUp, 101.0f},
        {"a notch with Shift: one step", kLfWidth, 100.0f, shiftWheelDown, 99.9f},
        {"a notch on the gain", kMidBassCutGain, 0.0f, wheelUp, 0.1f},
        {"a double-click: the default", kVlfCutOff, 50.0f, doubleClick, 20.0f},
        {"a click on a switch that is on", kEnableSumShelf, 1.0f, click, 0.0f},
        {"a click on a switch that is off", kEnableDifVlf, 0.0f, click, 1.0f},
    };
    UiTestHost host(*library, 1.0);
    ASSERT_TRUE(host.open());
    const ViewLayout layout = layoutFor(host.width(), host.height(), 1.0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host.portEvent(port(row.index), row.fromHost);
        host.settle();
        host.written.clear();
        host.touches.clear();
        const Rect& track = layout.tracks[row.index];
        const double x = track.x + track.w / 2, y = track.y + track.h / 2;
        switch (row.action) {
            case dragRightHalf:
            case dragLeftHalf:
            case shiftDragRightHalf:
                host.drag(x, y, x + (row.action == dragLeftHalf ? -1 : 1) * track.w / 2, y,
                          row.action == shiftDragRightHalf);
                break;
            case wheelUp:
            case shiftWheelDown:
                host.wheel(x, y, row.action == wheelUp, row.action == shiftWheelDown);
                break;
            case doubleClick:
                host.click(x, y);
                host.click(x, y);
                break;
            case click:
                host.click(x, y);
                break;
        }
        ASSERT_FALSE(host.written.empty());
        EXPECT_EQ(host.written.back().port, port(row.index));
        EXPECT_EQ(host.written.back().format, 0u);
        EXPECT_FLOAT_EQ(host.written.back().value(), row.expected);
        EXPECT_FLOAT_EQ(host.controlValue(port(row.index)), row.expected);
        ASSERT_GE(host.touches.size(), 2u);
        EXPECT_EQ(host.touches.front(), std::make_pair(port(row.index), true));
        EXPECT_EQ(host.touches.back(), std::make_pair(port(row.index), false));
    }
}

TEST_F(UiWindow, SizesItselfByTheScaleAndAsksForTheAudio) {
    for (const double scale : {1.0, 2.0}) {
        UiTestHost host(*library, scale);
        ASSERT_TRUE(host.open());
        ASSERT_FALSE(host.sizesAsked.empty());
        EXPECT_EQ(host.sizesAsked.front(),
                  std::make_pair(static_cast<int>(kDefaultWidth * scale), static_cast<int>(kDefaultHeight * scale)));
        EXPECT_EQ(host.width(), static_cast<int>(kDefaultWidth * scale));
        // The Monitor message that switches the plug-in's monitoring on.
        ASSERT_FALSE(host.written.empty());
        const Written& asked = host.written.front();
        EXPECT_EQ(asked.port, kPortControl);
        EXPECT_EQ(asked.format, host.urids.eventTransfer);
        LV2_Atom atom;
        std::memcpy(&atom, asked.bytes.data(), sizeof atom);
        EXPECT_EQ(monitorRequest(atom, asked.bytes.data() + sizeof atom, host.urids), 1);
        const std::string name =
            std::string(BREVANDER_UI_SCREENS) + "/scale-" + std::to_string(static_cast<int>(scale));
        host.savePng(name + ".png");
        const auto minimum = host.minimumSize();
        EXPECT_EQ(minimum,
                  std::make_pair(static_cast<int>(kMinimumWidth * scale), static_cast<int>(kMinimumHeight * scale)));
        host.resizeWindow(minimum.first, minimum.second);
        EXPECT_EQ(host.width(), minimum.first);
        host.savePng(name + "-minimum.png");
    }
}

TEST_F(UiWindow, ShowsTheBandTableOfTheAudioThePluginSentAsTheToolPrintsIt) {
    constexpr std::uint32_t kRateHz = 48000;
    const StereoSignal signal = makeTestSignal(kRateHz);
    const std::string folder = std::string(BREVANDER_UI_SCREENS);
    const std::string wav = folder + "/monitored.wav";
    writeFloatWav(wav, signal, kRateHz);

    // Two windows on two instances at once: one at the defaults, one at another setting.
    UiTestHost first(*library, 1.0), second(*library, 1.0);
    ASSERT_TRUE(first.open() && second.open());
    const std::string nothingYet = second.bandTable();
    struct Run {
        UiTestHost& ui;
        float spacing, width;
        const char* set;
    } runs[] = {{first, 18.0f, 100.0f, ""}, {second, 40.0f, 150.0f, " --set 'Mic Spacing=40' --set 'LF Width=150'"}};
    for (Run& run : runs) {
        Lv2TestHost dsp(kRateHz);
        dsp.control(kMicSpacing) = run.spacing;
        dsp.control(kLfWidth) = run.width;
        run.ui.portEvent(port(kMicSpacing), run.spacing);
        run.ui.portEvent(port(kLfWidth), run.width);
        dsp.connectWindowPorts();
        // The UI's request, handed on as a host hands it: into the next run's sequence.
        for (const Written& w : run.ui.written) {
            if (w.port == kPortControl) {
                dsp.send(w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()));
            }
        }
        // Runs of 1024 frames and an odd last one; each Block to the UI as an atom.
        for (std::size_t at = 0; at < signal.frames(); at += 1024) {
            const std::size_t n = std::min<std::size_t>(1024, signal.frames() - at);
            StereoBlock block(n);
            std::copy_n(signal.left.begin() + static_cast<std::ptrdiff_t>(at), n, block.left.begin());
            std::copy_n(signal.right.begin() + static_cast<std::ptrdiff_t>(at), n, block.right.begin());
            dsp.runWithWindow(block);
            const auto* notify = reinterpret_cast<const LV2_Atom*>(dsp.notifyBytes());
            forEachEvent(reinterpret_cast<const unsigned char*>(notify) + sizeof(LV2_Atom), notify->size,
                         [&](const LV2_Atom& atom, const unsigned char* body) {
                             std::vector<unsigned char> message(sizeof atom + atom.size);
                             std::memcpy(message.data(), &atom, sizeof atom);
                             std::memcpy(message.data() + sizeof atom, body, atom.size);
                             run.ui.atomEvent(kPortNotify, reinterpret_cast<const LV2_Atom*>(message.data()));
                         });
            run.ui.settle();
        }
        const std::string command =
            std::string("'") + BREVANDER_TOOL + "' analyze '" + wav + "'" + run.set + " > '" + folder + "/analyze.txt'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::ifstream in(folder + "/analyze.txt");
        std::stringstream printed;
        printed << in.rdbuf();
        const std::string tool = printed.str();
        const std::string table = run.ui.bandTable();
        ASSERT_GT(table.size(), 200u);
        // The tool's first line names the file; the heading and the rows follow.
        EXPECT_EQ(tool.substr(tool.find('\n') + 1), table) << "the tool printed:\n" << tool;
    }
    // The second window lies over the first, and X keeps no hidden pixels.
    second.settle();
    second.savePng(folder + "/with-audio.png");
    // Reset starts the integration over.
    const Rect reset = layoutFor(second.width(), second.height(), 1.0).reset;
    second.click(reset.x + reset.w / 2, reset.y + reset.h / 2);
    EXPECT_EQ(second.bandTable(), nothingYet);
    EXPECT_NE(first.bandTable(), nothingYet) << "the other window's table stays";
    std::filesystem::remove(wav);
}
