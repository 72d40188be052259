// A progress bar on the terminal's error stream, redrawn only at whole percents so
// that a fast render does not spend its time drawing.
#pragma once

#include <ostream>
#include <string>

class ProgressBar {
public:
    ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar() { clear(); }

    void update(double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (!enabled_ || percent == lastPercent_) {
            return;
        }
        lastPercent_ = percent;
        shown_ = true;
        const int filled = percent * 40 / 100;
        err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%" << std::flush;
    }

    // Erases the bar, so that a message can take its line; the next update draws it again.
    void clear() {
        if (shown_) {
            err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
            shown_ = false;
        }
        lastPercent_ = -1;
    }

private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    int lastPercent_ = -1;
};
