#include "ShufflerView.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "Lv2Ports.h"
#include "ParameterText.h"

namespace {

constexpr unsigned long kDoubleClickMs = 400;
constexpr std::uint64_t kTableRefreshMs = 500;
constexpr double kPi = 3.141592653589793;

const ParameterInfo& infoOf(ParameterIndex index) { return kParameterTable[static_cast<std::size_t>(index)]; }

struct Colour {
    double r, g, b;
};
// The sum in blue, the difference in orange; before grey and after dark, both named.
constexpr Colour kInk = {0.12, 0.13, 0.15};
constexpr Colour kMuted = {0.42, 0.44, 0.48};
constexpr Colour kGrid = {0.86, 0.87, 0.89};
constexpr Colour kPaper = {0.975, 0.975, 0.98};
constexpr Colour kPanel = {1.0, 1.0, 1.0};
constexpr Colour kSum = {0.16, 0.38, 0.78};
constexpr Colour kDifference = {0.90, 0.42, 0.05};
constexpr Colour kBefore = {0.50, 0.52, 0.56};
constexpr Colour kAfter = {0.16, 0.38, 0.78};

void setColour(cairo_t* cr, const Colour& c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void text(cairo_t* cr, double x, double y, const std::string& s, double size, bool bold = false,
          double alignRight = 0.0) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    cairo_move_to(cr, x - alignRight * extents.x_advance, y);
    cairo_show_text(cr, s.c_str());
}

void fillRect(cairo_t* cr, const Rect& r, const Colour& c) {
    setColour(cr, c);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_fill(cr);
}

double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

}  // namespace

bool isLogarithmic(ParameterIndex index) { return index == kVlfCutOff || index == kMidBassCutFc; }

double sliderPosition(ParameterIndex index, double portValue) {
    const ParameterInfo& info = infoOf(index);
    const double low = unitMinimum(info), high = unitMaximum(info);
    if (isLogarithmic(index)) {
        return clamp01(std::log(portValue / low) / std::log(high / low));
    }
    return clamp01((portValue - low) / (high - low));
}

double portValueAt(ParameterIndex index, double position) {
    const ParameterInfo& info = infoOf(index);
    const double low = unitMinimum(info), high = unitMaximum(info);
    const double t = clamp01(position);
    const double value = isLogarithmic(index) ? low * std::pow(high / low, t) : low + (high - low) * t;
    // On the control's own step, as the host's and the page's sliders are.
    return std::clamp(std::round(value / info.step) * info.step, low, high);
}

std::string controlText(ParameterIndex index, float portValue) {
    const ParameterInfo& info = infoOf(index);
    char display[kParameterTextLength + 8] = {};
    parameterText(info, storedFromPortValue(index, portValue), display);
    std::string shown = display;
    if (*info.unit != 0) {
        shown += std::string(" ") + info.unit;
    }
    return shown;
}

ShufflerView::ShufflerView(Callbacks callbacks, double sampleRateHz) : callbacks_(std::move(callbacks)), rateHz_(0.0) {
    for (int i = 0; i < kNumParams; ++i) {
        values_[static_cast<std::size_t>(i)] = portDefault(static_cast<ParameterIndex>(i));
    }
    useRate(sampleRateHz > 0.0 ? sampleRateHz : 48000.0);
}

void ShufflerView::useRate(double rateHz) {
    if (rateHz == rateHz_ || !(rateHz > 0.0) || !std::isfinite(rateHz)) {
        return;
    }
    rateHz_ = rateHz;
    core_.redesignForSampleRate(static_cast<float>(rateHz));
    before_ = std::make_unique<StereoBandAnalyser>(rateHz);
    after_ = std::make_unique<StereoBandAnalyser>(rateHz);
    bandsBefore_ = before_->bands();
    bandsAfter_ = after_->bands();
    nextPosition_ = -1;
    changed_ = true;
}

void ShufflerView::setPortValue(ParameterIndex index, float portValue) {
    if (index < 0 || index >= kNumParams || !std::isfinite(portValue)) {
        return;
    }
    values_[static_cast<std::size_t>(index)] = portValue;
    core_.applyStoredValue(index, storedFromPortValue(index, portValue));
    changed_ = true;
}

void ShufflerView::changeTo(ParameterIndex index, float portValue) {
    if (portValue == this->portValue(index)) {
        return;
    }
    setPortValue(index, portValue);
    callbacks_.write(index, portValue);
}

void ShufflerView::addBlock(const MonitorBlock& block) {
    useRate(block.rateHz);
    if (nextPosition_ >= 0 && block.position != nextPosition_) {
        // Pieces the host had no room for: the table covers what arrived.
        missedFrames_ += std::max<std::int64_t>(0, block.position - nextPosition_);
    }
    nextPosition_ = block.position + block.frames;
    std::vector<float> channels[4];
    for (std::uint32_t c = 0; c < 4; ++c) {
        channels[c].resize(block.frames);
        for (std::uint32_t i = 0; i < block.frames; ++i) {
            channels[c][i] = block.sample(c, i);
        }
    }
    before_->add(channels[0].data(), channels[1].data(), block.frames);
    after_->add(channels[2].data(), channels[3].data(), block.frames);
    bandsStale_ = true;
}

void ShufflerView::resetBands() {
    before_->reset();
    after_->reset();
    bandsBefore_ = before_->bands();
    bandsAfter_ = after_->bands();
    missedFrames_ = 0;
    bandsStale_ = false;
    changed_ = true;
}

std::string ShufflerView::bandTableText() const {
    const std::vector<OctaveBand> before = before_->bands();
    std::vector<OctaveBand> after = after_->bands();
    carryQuietBands(before, after);
    std::string table = bandTableHeading();
    for (std::size_t b = 0; b < before.size() && b < after.size(); ++b) {
        table += bandTableRow(before[b], after[b]);
    }
    return table;
}

ShufflerView::Redraw ShufflerView::tick(std::uint64_t nowMs) {
    if (bandsStale_ && nowMs - lastTableMs_ >= kTableRefreshMs) {
        bandsBefore_ = before_->bands();
        bandsAfter_ = after_->bands();
        carryQuietBands(bandsBefore_, bandsAfter_);
        bandsStale_ = false;
        lastTableMs_ = nowMs;
        tableChanged_ = true;
    }
    const Redraw redraw = changed_ ? Redraw::everything : tableChanged_ ? Redraw::table : Redraw::nothing;
    changed_ = false;
    tableChanged_ = false;
    return redraw;
}

void ShufflerView::pointer(const PointerEvent& e, const ViewLayout& l) {
    const ParameterIndex at = l.controlAt(e.x, e.y);
    switch (e.kind) {
        case PointerEvent::press: {
            if (e.button != 1) {
                return;
            }
            if (l.reset.contains(e.x, e.y)) {
                resetBands();
                return;
            }
            if (at == kNumParams) {
                return;
            }
            const bool doubleClick = at == lastPressed_ && e.timeMs - lastPressMs_ <= kDoubleClickMs;
            lastPressed_ = at;
            lastPressMs_ = e.timeMs;
            const ParameterInfo& info = infoOf(at);
            callbacks_.touch(at, true);
            if (isSwitch(info)) {
                changeTo(at, isSwitchOn(portValue(at)) ? 0.0f : 1.0f);
                callbacks_.touch(at, false);
                lastPressed_ = kNumParams;  // a second click toggles again
                return;
            }
            if (doubleClick) {
                changeTo(at, portDefault(at));
                callbacks_.touch(at, false);
                lastPressed_ = kNumParams;
                return;
            }
            dragging_ = at;
            dragStartX_ = dragLastX_ = e.x;
            dragStartPosition_ = sliderPosition(at, portValue(at));
            dragFine_ = e.shift;
            return;
        }
        case PointerEvent::motion: {
            if (dragging_ == kNumParams) {
                return;
            }
            // Shift slows the drag tenfold from where it is, pressed or let go mid-drag.
            if (e.shift != dragFine_) {
                dragStartPosition_ += (dragLastX_ - dragStartX_) / l.tracks[dragging_].w * (dragFine_ ? 0.1 : 1.0);
                dragStartX_ = dragLastX_;
                dragFine_ = e.shift;
            }
            dragLastX_ = e.x;
            if (e.x != dragStartX_) {
                lastPressed_ = kNumParams;  // a drag, not the first click of a double-click
            }
            const double moved = (e.x - dragStartX_) / l.tracks[dragging_].w * (dragFine_ ? 0.1 : 1.0);
            changeTo(dragging_, static_cast<float>(portValueAt(dragging_, dragStartPosition_ + moved)));
            return;
        }
        case PointerEvent::release:
            if (dragging_ != kNumParams && e.button == 1) {
                callbacks_.touch(dragging_, false);
                dragging_ = kNumParams;
            }
            return;
        case PointerEvent::wheelUp:
        case PointerEvent::wheelDown: {
            if (at == kNumParams || dragging_ != kNumParams) {
                return;
            }
            const ParameterInfo& info = infoOf(at);
            const double direction = e.kind == PointerEvent::wheelUp ? 1.0 : -1.0;
            double next;
            if (isSwitch(info)) {
                next = direction > 0 ? 1.0 : 0.0;
            } else {
                // Ten of the control's steps a notch, one with Shift.
                const double step = info.step * (e.shift ? 1.0 : 10.0);
                const double value = std::round((portValue(at) + direction * step) / info.step) * info.step;
                next = std::clamp(value, unitMinimum(info), unitMaximum(info));
            }
            callbacks_.touch(at, true);
            changeTo(at, static_cast<float>(next));
            callbacks_.touch(at, false);
            return;
        }
    }
}

void ShufflerView::draw(cairo_t* cr, const ViewLayout& l) {
    cairo_save(cr);
    setColour(cr, kPaper);
    cairo_paint(cr);
    cairo_restore(cr);
    const double s = l.scale;
    setColour(cr, kInk);
    text(cr, l.title.x, l.title.y + 20 * s, "Brevander", 19 * s, true);
    cairo_text_extents_t title;
    cairo_text_extents(cr, "Brevander", &title);
    setColour(cr, kMuted);
    text(cr, l.title.x + title.x_advance + 10 * s, l.title.y + 20 * s, "stereo shuffler for spaced pairs", 12 * s);
    drawControls(cr, l);
    drawResponse(cr, l);
    drawTable(cr, l);
}

void ShufflerView::drawTableArea(cairo_t* cr, const ViewLayout& l) const {
    fillRect(cr, l.tableArea, kPaper);
    drawTable(cr, l);
}

void ShufflerView::drawControls(cairo_t* cr, const ViewLayout& l) const {
    const double s = l.scale;
    for (int g = 0; g < 3; ++g) {
        setColour(cr, kInk);
        text(cr, l.groupTitles[g].x, l.groupTitles[g].y + 16 * s, kControlGroups[g].title, 13 * s, true);
    }
    for (int i = 0; i < kNumParams; ++i) {
        const auto index = static_cast<ParameterIndex>(i);
        const ParameterInfo& info = infoOf(index);
        const Rect& label = l.labels[i];
        const Rect& track = l.tracks[i];
        const float value = portValue(index);
        setColour(cr, kInk);
        std::string name = info.name;
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
        text(cr, label.x, label.y + 13 * s, name, 12 * s);
        text(cr, label.x + label.w, label.y + 13 * s, controlText(index, value), 12 * s, true, 1.0);
        if (isSwitch(info)) {
            const bool on = isSwitchOn(value);
            fillRect(cr, track, on ? kSum : kGrid);
            setColour(cr, on ? kPanel : kMuted);
            text(cr, track.x + track.w / 2, track.y + 14.5 * s, on ? "On" : "Off", 12 * s, true, 0.5);
            continue;
        }
        const double position = sliderPosition(index, value);
        fillRect(cr, Rect{track.x, track.y + track.h * 0.35, track.w, track.h * 0.3}, kGrid);
        fillRect(cr, Rect{track.x, track.y + track.h * 0.35, track.w * position, track.h * 0.3}, kSum);
        const double knobX = track.x + track.w * position;
        setColour(cr, kPanel);
        cairo_arc(cr, knobX, track.y + track.h / 2, track.h * 0.42, 0, 2 * kPi);
        cairo_fill_preserve(cr);
        setColour(cr, kSum);
        cairo_set_line_width(cr, 2 * s);
        cairo_stroke(cr);
    }
}

void ShufflerView::drawResponse(cairo_t* cr, const ViewLayout& l) const {
    const double s = l.scale;
    const Rect& p = l.plot;
    fillRect(cr, p, kPanel);
    cairo_set_line_width(cr, 1 * s);
    // The grid: every 6 dB, the decades and their halves.
    for (double db = kPlotBottomDb; db <= kPlotTopDb; db += 6.0) {
        setColour(cr, db == 0.0 ? kMuted : kGrid);
        cairo_move_to(cr, p.x, std::round(l.plotY(db)) + 0.5);
        cairo_line_to(cr, p.x + p.w, std::round(l.plotY(db)) + 0.5);
        cairo_stroke(cr);
        setColour(cr, kMuted);
        char label[16];
        std::snprintf(label, sizeof label, "%+.0f", db);
        text(cr, p.x - 5 * s, l.plotY(db) + 4 * s, db == 0.0 ? "0 dB" : label, 10 * s, false, 1.0);
    }
    for (const double degrees : {0.0, 45.0, 90.0}) {
        setColour(cr, kDifference);
        char label[16];
        std::snprintf(label, sizeof label, "%.0f\u00b0", degrees);
        text(cr, p.x + p.w + 5 * s, l.phaseY(degrees) + 4 * s, label, 10 * s);
    }
    const double ticks[] = {10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000};
    const char* names[] = {"10", "20", "50", "100", "200", "500", "1k", "2k", "5k", "10k", "20k Hz"};
    for (std::size_t t = 0; t < std::size(ticks); ++t) {
        const double x = std::round(l.plotX(ticks[t])) + 0.5;
        setColour(cr, kGrid);
        cairo_move_to(cr, x, p.y);
        cairo_line_to(cr, x, p.y + p.h);
        cairo_stroke(cr);
        setColour(cr, kMuted);
        text(cr, x, p.y + p.h + 13 * s, names[t], 10 * s, false, t + 1 == std::size(ticks) ? 0.8 : 0.5);
    }
    // The difference's corner.
    const double corner = core_.differenceCornerHz();
    if (corner >= kPlotLowHz && corner <= kPlotHighHz) {
        const double x = l.plotX(corner);
        setColour(cr, kInk, 0.55);
        const double dash[] = {4 * s, 3 * s};
        cairo_set_dash(cr, dash, 2, 0);
        cairo_move_to(cr, x, p.y);
        cairo_line_to(cr, x, p.y + p.h);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        char label[32];
        std::snprintf(label, sizeof label, "corner %.0f Hz", corner);
        setColour(cr, kInk);
        text(cr, x + 4 * s, p.y + 13 * s, label, 10.5 * s, true);
    }
    // The curves, one point per pixel column.
    cairo_save(cr);
    cairo_rectangle(cr, p.x, p.y, p.w, p.h);
    cairo_clip(cr);
    const int columns = std::max(2, static_cast<int>(p.w));
    std::vector<double> sumDb(static_cast<std::size_t>(columns)), difDb(sumDb.size()), lead(sumDb.size());
    for (int c = 0; c < columns; ++c) {
        const double hz = l.plotHz(p.x + p.w * c / (columns - 1));
        const ShufflerCore::PathResponse h = core_.pathResponse(hz);
        const auto i = static_cast<std::size_t>(c);
        sumDb[i] = 20.0 * std::log10(std::max(std::abs(h.sum), 1e-12));
        difDb[i] = 20.0 * std::log10(std::max(std::abs(h.difference), 1e-12));
        lead[i] = std::remainder(std::arg(h.difference) - std::arg(h.sum), 2 * kPi) * 180.0 / kPi;
    }
    auto curve = [&](const std::vector<double>& ys, bool phase, const Colour& colour, double width, bool dashed) {
        setColour(cr, colour);
        cairo_set_line_width(cr, width * s);
        const double dash[] = {5 * s, 3 * s};
        cairo_set_dash(cr, dash, dashed ? 2 : 0, 0);
        for (int c = 0; c < columns; ++c) {
            const double y =
                phase ? l.phaseY(ys[static_cast<std::size_t>(c)]) : l.plotY(ys[static_cast<std::size_t>(c)]);
            const double x = p.x + p.w * c / (columns - 1);
            c == 0 ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
        }
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    };
    curve(lead, true, kDifference, 1.2, true);
    curve(sumDb, false, kSum, 2.2, false);
    curve(difDb, false, kDifference, 2.2, false);
    cairo_restore(cr);
    // The legend, under the plot.
    const double y = p.y + p.h + 27 * s;
    auto key = [&](double x, const Colour& c, bool dashed, const char* name) {
        setColour(cr, c);
        cairo_set_line_width(cr, 2.2 * s);
        const double dash[] = {5 * s, 3 * s};
        cairo_set_dash(cr, dash, dashed ? 2 : 0, 0);
        cairo_move_to(cr, x, y - 4 * s);
        cairo_line_to(cr, x + 18 * s, y - 4 * s);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        setColour(cr, kInk);
        text(cr, x + 23 * s, y, name, 10.5 * s);
    };
    key(p.x, kSum, false, "sum (L+R)");
    key(p.x + 100 * s, kDifference, false, "difference (L\u2212R)");
    key(p.x + 240 * s, kDifference, true, "difference's phase lead");
}

void ShufflerView::drawTable(cairo_t* cr, const ViewLayout& l) const {
    const double s = l.scale;
    const Rect& t = l.table;
    fillRect(cr, t, kPanel);
    // Columns: band | level before, after | D/S before, after, change | correlation
    // before, after, change. Before stands left of after in each group, and says so.
    const double bandW = 64 * s, levelW = 80 * s, changeW = 58 * s, numberW = 60 * s;
    const double pairW = (t.w - bandW - 2 * levelW - 2 * changeW) / 2;
    const double cellW = pairW / 2;
    const double barLength = std::max(14 * s, cellW - numberW - 6 * s);
    const double headingH = 36 * s;
    const std::size_t rows = std::max<std::size_t>(1, bandsBefore_.size());
    const double rowH = std::min(26 * s, (t.h - headingH - 4 * s) / static_cast<double>(rows));
    const double fontSize = std::min(11.5 * s, rowH * 0.62);
    const double levelX = t.x + bandW, dsX = levelX + 2 * levelW, corrX = dsX + pairW + changeW;
    setColour(cr, kInk);
    text(cr, levelX, t.y + 15 * s, "Level", 12 * s, true);
    text(cr, dsX, t.y + 15 * s, "Difference to sum (D/S)", 12 * s, true);
    text(cr, corrX, t.y + 15 * s, "L/R correlation", 12 * s, true);
    text(cr, t.x + 6 * s, t.y + 31 * s, "Band", 10.5 * s, true);
    setColour(cr, kBefore);
    text(cr, levelX + levelW - 6 * s, t.y + 31 * s, "Before", 10.5 * s, true, 1.0);
    setColour(cr, kAfter);
    text(cr, levelX + 2 * levelW - 6 * s, t.y + 31 * s, "After", 10.5 * s, true, 1.0);
    for (const double x : {dsX, corrX}) {
        setColour(cr, kBefore);
        text(cr, x + 4 * s, t.y + 31 * s, "Before", 10.5 * s, true);
        setColour(cr, kAfter);
        text(cr, x + cellW + 4 * s, t.y + 31 * s, "After", 10.5 * s, true);
        setColour(cr, kInk);
        text(cr, x + pairW + changeW - 6 * s, t.y + 31 * s, "Change", 10.5 * s, true, 1.0);
    }
    // Bars: D/S from -30 dB to +12 dB with a mark at 0 dB, correlation from -1 to +1
    // about a centre line.
    auto dsBar = [&](double x, double y, double db, const Colour& c) {
        const double f = clamp01((db + 30.0) / 42.0);
        fillRect(cr, Rect{x + 4 * s, y + rowH * 0.22, barLength * f, rowH * 0.56}, c);
        setColour(cr, kMuted);
        cairo_rectangle(cr, x + 4 * s + barLength * 30.0 / 42.0 - 0.5 * s, y + rowH * 0.1, 1 * s, rowH * 0.8);
        cairo_fill(cr);
    };
    auto corrBar = [&](double x, double y, double r, const Colour& c) {
        const double mid = x + 4 * s + barLength / 2;
        const double end = mid + barLength / 2 * std::clamp(r, -1.0, 1.0);
        fillRect(cr, Rect{std::min(mid, end), y + rowH * 0.22, std::fabs(end - mid), rowH * 0.56}, c);
        setColour(cr, kMuted);
        cairo_rectangle(cr, mid - 0.5 * s, y + rowH * 0.1, 1 * s, rowH * 0.8);
        cairo_fill(cr);
    };
    for (std::size_t b = 0; b < bandsBefore_.size() && b < bandsAfter_.size(); ++b) {
        const OctaveBand& before = bandsBefore_[b];
        const OctaveBand& after = bandsAfter_[b];
        const BandRowText row = bandRowText(before, after);
        const double y = t.y + headingH + rowH * static_cast<double>(b);
        if (b % 2 == 1) {
            fillRect(cr, Rect{t.x, y, t.w, rowH}, kPaper);
        }
        const double baseline = y + rowH * 0.5 + fontSize * 0.36;
        setColour(cr, kInk);
        text(cr, t.x + 6 * s, baseline, row.band, fontSize, true);
        text(cr, levelX + levelW - 6 * s, baseline, row.levelBefore, fontSize, false, 1.0);
        text(cr, levelX + 2 * levelW - 6 * s, baseline, row.levelAfter, fontSize, false, 1.0);
        // A quiet or silent band shows its word, as the tool prints it, and no bar.
        const struct {
            double x;
            bool shown;
            double value;
            const std::string& shownText;
            const Colour& colour;
            bool correlation;
        } cells[] = {
            {dsX, !before.difToSumSilent() && !before.quiet, before.difToSumDb(), row.difToSumBefore, kBefore, false},
            {dsX + cellW, !after.difToSumSilent() && !after.quiet, after.difToSumDb(), row.difToSumAfter, kAfter,
             false},
            {corrX, !before.correlationSilent() && !before.quiet, before.correlation(), row.correlationBefore, kBefore,
             true},
            {corrX + cellW, !after.correlationSilent() && !after.quiet, after.correlation(), row.correlationAfter,
             kAfter, true},
        };
        for (const auto& cell : cells) {
            if (cell.shown) {
                cell.correlation ? corrBar(cell.x, y, cell.value, cell.colour)
                                 : dsBar(cell.x, y, cell.value, cell.colour);
            }
            setColour(cr, kInk);
            text(cr, cell.x + cellW - 6 * s, baseline, cell.shownText, fontSize, false, 1.0);
        }
        text(cr, dsX + pairW + changeW - 6 * s, baseline, row.difToSumChange, fontSize, true, 1.0);
        text(cr, corrX + pairW + changeW - 6 * s, baseline, row.correlationChange, fontSize, true, 1.0);
    }
    // Under the table: what it covers, and Reset.
    setColour(cr, kMuted);
    char covered[160];
    const double seconds = static_cast<double>(before_->frames()) / rateHz_;
    std::snprintf(covered, sizeof covered, "Measured over %.1f s of audio since the window opened or Reset%s", seconds,
                  missedFrames_ > 0 ? " (some audio did not reach the window)" : "");
    text(cr, t.x, l.reset.y + 15 * s, covered, 10.5 * s);
    fillRect(cr, l.reset, kGrid);
    setColour(cr, kInk);
    text(cr, l.reset.x + l.reset.w / 2, l.reset.y + 15 * s, "Reset", 12 * s, true, 0.5);
}
