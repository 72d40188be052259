// What the window shows and how it answers the pointer, apart from LV2 and X: the
// seven controls with the plug-in's own texts, the response of the current settings
// from the effect's core, and the band table of the audio monitored since the window
// opened or since Reset, from the tool's band analysis. Values go out in the ports'
// units through the callbacks; values coming in move the controls.
#pragma once

#include <cairo/cairo.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BandAnalysis.h"
#include "Lv2Monitor.h"
#include "ShufflerCore.h"
#include "ViewLayout.h"
#include "XWindow.h"

class ShufflerView {
public:
    struct Callbacks {
        std::function<void(ParameterIndex, float portValue)> write;
        std::function<void(ParameterIndex, bool grabbed)> touch;
    };

    ShufflerView(Callbacks callbacks, double sampleRateHz);

    // A value from the host, in the port's unit.
    void setPortValue(ParameterIndex index, float portValue);
    float portValue(ParameterIndex index) const { return values_[static_cast<std::size_t>(index)]; }
    // A block of monitored audio, in the order the plug-in sent it.
    void addBlock(const MonitorBlock& block);
    // Starts the band table's integration over.
    void resetBands();
    // The band table as the tool prints it, for the audio taken so far.
    std::string bandTableText() const;

    void pointer(const PointerEvent& event, const ViewLayout& layout);
    // Called from the idle callback: refreshes the band table now and then while
    // audio comes in, and says what on screen changed since the last draw.
    enum class Redraw { nothing, table, everything };
    Redraw tick(std::uint64_t nowMs);
    void draw(cairo_t* cr, const ViewLayout& layout);
    // The table's area alone (layout.tableArea), for a refresh that changed nothing else.
    void drawTableArea(cairo_t* cr, const ViewLayout& layout) const;

private:
    void changeTo(ParameterIndex index, float portValue);
    void drawControls(cairo_t* cr, const ViewLayout& l) const;
    void drawResponse(cairo_t* cr, const ViewLayout& l) const;
    void drawTable(cairo_t* cr, const ViewLayout& l) const;
    void useRate(double rateHz);

    Callbacks callbacks_;
    std::array<float, kNumParams> values_{};
    ShufflerCore core_;
    double rateHz_;
    std::unique_ptr<StereoBandAnalyser> before_, after_;
    std::vector<OctaveBand> bandsBefore_, bandsAfter_;
    std::int64_t nextPosition_ = -1;
    std::int64_t missedFrames_ = 0;
    bool bandsStale_ = false;
    std::uint64_t lastTableMs_ = 0;
    bool changed_ = true;
    bool tableChanged_ = false;

    // The pointer: the control being dragged, where the drag started, and the last
    // press, for double-clicks.
    ParameterIndex dragging_ = kNumParams;
    double dragStartX_ = 0.0, dragStartPosition_ = 0.0, dragLastX_ = 0.0;
    bool dragFine_ = false;
    ParameterIndex lastPressed_ = kNumParams;
    unsigned long lastPressMs_ = 0;
};

// A control's position along its slider, 0 to 1 (logarithmic for the two corner
// frequencies, as their ports are), and back.
double sliderPosition(ParameterIndex index, double portValue);
double portValueAt(ParameterIndex index, double position);
bool isLogarithmic(ParameterIndex index);
// The text a control shows: the plug-in's display text and the unit.
std::string controlText(ParameterIndex index, float portValue);
