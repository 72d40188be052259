// Where each part of the window goes, for a window of any size at any scale: the
// seven controls in three groups down the left, the response top right and the
// band table below it. The view draws by it and the tests find things by it.
#pragma once

#include <cmath>

#include "ParameterTable.h"

struct Rect {
    double x = 0.0, y = 0.0, w = 0.0, h = 0.0;
    bool contains(double px, double py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// The window's smallest and usual sizes in logical pixels, times the scale on screen.
inline constexpr int kMinimumWidth = 980;
inline constexpr int kMinimumHeight = 540;
inline constexpr int kDefaultWidth = 1120;
inline constexpr int kDefaultHeight = 640;

// The response plot's ranges: 10 Hz to 20 kHz on a log axis, magnitude on the left
// axis, the difference's phase lead on the right.
inline constexpr double kPlotLowHz = 10.0;
inline constexpr double kPlotHighHz = 20000.0;
inline constexpr double kPlotTopDb = 6.0;
inline constexpr double kPlotBottomDb = -30.0;
inline constexpr double kPlotTopDegrees = 90.0;

// The groups of controls, top to bottom: the width of the low end, the rumble filter,
// the mid-bass shelf.
struct ControlGroup {
    const char* title;
    int count;
    ParameterIndex members[3];
};
inline constexpr ControlGroup kControlGroups[3] = {
    {"Low-end width", 2, {kMicSpacing, kLfWidth, kNumParams}},
    {"Rumble filter (sum)", 2, {kEnableDifVlf, kVlfCutOff, kNumParams}},
    {"Mid-bass shelf (sum)", 3, {kEnableSumShelf, kMidBassCutGain, kMidBassCutFc}},
};

struct ViewLayout {
    double scale = 1.0;
    Rect title;
    Rect groupTitles[3];
    Rect labels[kNumParams];  // a control's name and value text
    Rect tracks[kNumParams];  // its slider, or its switch
    Rect plot;
    Rect table;
    Rect reset;
    Rect tableArea;  // the table, the line under it and Reset: nothing else draws there

    // The control whose row holds the point, or kNumParams.
    ParameterIndex controlAt(double px, double py) const {
        for (int i = 0; i < kNumParams; ++i) {
            const Rect& t = tracks[i];
            if (px >= t.x && px < t.x + t.w && py >= labels[i].y && py < t.y + t.h) {
                return static_cast<ParameterIndex>(i);
            }
        }
        return kNumParams;
    }
    double plotX(double hz) const {
        return plot.x + plot.w * std::log(hz / kPlotLowHz) / std::log(kPlotHighHz / kPlotLowHz);
    }
    double plotHz(double px) const { return kPlotLowHz * std::pow(kPlotHighHz / kPlotLowHz, (px - plot.x) / plot.w); }
    double plotY(double db) const { return plot.y + plot.h * (kPlotTopDb - db) / (kPlotTopDb - kPlotBottomDb); }
    double phaseY(double degrees) const { return plot.y + plot.h * (1.0 - degrees / kPlotTopDegrees); }
};

inline ViewLayout layoutFor(int widthPx, int heightPx, double scale) {
    ViewLayout l;
    l.scale = scale;
    const double s = scale;
    const double w = widthPx / s, h = heightPx / s;  // logical
    auto rect = [s](double x, double y, double rw, double rh) { return Rect{x * s, y * s, rw * s, rh * s}; };
    constexpr double kMargin = 14.0, kColumn = 240.0, kRow = 46.0, kGroupTitle = 24.0, kTop = 46.0;
    l.title = rect(kMargin, 8.0, w - 2 * kMargin, 28.0);
    double y = kTop;
    for (int g = 0; g < 3; ++g) {
        l.groupTitles[g] = rect(kMargin, y, kColumn, kGroupTitle);
        y += kGroupTitle;
        for (int m = 0; m < kControlGroups[g].count; ++m) {
            const ParameterIndex index = kControlGroups[g].members[m];
            l.labels[index] = rect(kMargin, y, kColumn, 18.0);
            l.tracks[index] = isSwitch(kParameterTable[static_cast<std::size_t>(index)])
                                  ? rect(kMargin, y + 19.0, 56.0, 20.0)
                                  : rect(kMargin, y + 19.0, kColumn, 20.0);
            y += kRow;
        }
    }
    const double right = kMargin + kColumn + 26.0;
    const double rightWidth = w - right - kMargin - 34.0;  // room for the phase axis's labels
    const double plotHeight = (h - kTop - kMargin) * 0.44;
    l.plot = rect(right + 34.0, kTop + 8.0, rightWidth - 34.0, plotHeight - 30.0);
    const double tableTop = kTop + plotHeight + 10.0;
    l.table = rect(right, tableTop, w - right - kMargin, h - tableTop - kMargin - 28.0);
    l.reset = rect(w - kMargin - 70.0, h - kMargin - 22.0, 70.0, 22.0);
    l.tableArea = rect(right, tableTop, w - right, h - tableTop);
    return l;
}
