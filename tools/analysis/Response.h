// The effect's response, as complex gains of the sum path (L = R) and the difference
// path (L = -R) at chosen frequencies: computed from the core's filters, as the
// plug-in's window and the web page draw it, or measured through a loaded plug-in
// instance by a common-mode and a differential impulse.
#pragma once

#include <complex>
#include <string>
#include <vector>

class PluginInstance;
class ShufflerCore;

struct ResponsePoint {
    double frequencyHz;
    std::complex<double> sum;         // output sum over input sum
    std::complex<double> difference;  // output difference over input difference
};

// `count` frequencies spaced evenly on a log scale from `fromHz` to `toHz`, both included
// exactly; one gives `fromHz`, fewer than one none. Throws std::invalid_argument unless
// 0 < fromHz <= toHz, both finite.
std::vector<double> logFrequencies(double fromHz, double toHz, int count);

// Measures both paths: switches the instance off (clearing its states), announces
// `sampleRateHz`, and sends each impulse, followed by silence, to the instance
// switched on, switching it off again after each. The responses run for at least the
// power of two at or above two seconds, and on until they have decayed below 1e-12;
// their transforms are evaluated directly at each frequency, in double precision.
// Parameters are whatever the instance holds, and it keeps them; it is left switched
// off, at the new rate. Throws std::invalid_argument for a rate that is not positive
// or a frequency that is not finite, and std::runtime_error when a response does not
// decay within 60 s (settings outside the parameter ranges can make it unstable).
std::vector<ResponsePoint> measureResponse(PluginInstance& effect, float sampleRateHz,
                                           const std::vector<double>& frequenciesHz);

// The core's exact response at each frequency, from its running sections' transfer
// functions (ShufflerCore::pathResponse), at the rate they were designed for: the very
// figures the plug-in's window and the web page compute. Throws std::invalid_argument
// for a frequency that is not finite.
std::vector<ResponsePoint> computeResponse(const ShufflerCore& core, const std::vector<double>& frequenciesHz);

// CSV with one row per point: frequency in Hz, then magnitude in dB and phase in
// degrees of each path, then the phase difference (sum minus difference) in degrees.
// Columns: frequency_hz,sum_db,sum_phase_deg,difference_db,difference_phase_deg,
// phase_difference_deg. Phases lie in (-180, 180] as written (six decimals); an exact
// zero has phase 0 and -200 dB. Throws std::invalid_argument for a point that is not
// finite and std::runtime_error("cannot write PATH") when the file cannot be written.
void writeResponseCsv(const std::string& path, const std::vector<ResponsePoint>& points);

// The picture format a path's extension asks for, in any case: "png", "svg" or
// "pdf"; empty for any other extension or none.
std::string imageFormatFor(const std::string& path);

// Draws the plot in `imageFormat` (png, svg or pdf) from such a CSV with the plotting
// script (see plotScriptPath), run by the build's python3 with MPLBACKEND=Agg and its
// arguments passed as they are, with no shell. Throws std::runtime_error with a
// one-line message, ending with the script's
// last line on stderr, when python cannot be run or the script fails.
void plotResponse(const std::string& csvPath, const std::string& imagePath, const std::string& title,
                  const std::string& imageFormat);

// Checks the outputs of a plot and its data before the work that fills them: either
// name may be empty, and both may not be one file. Throws ToolError.
void checkPlotOutputs(const std::string& imagePath, const std::string& csvPath, bool overwrite);

// Writes `csv` to `csvPath` and draws it at `imagePath` with the plotting script (which
// knows the response's CSV and the band analysis's by their first lines); either
// name may be empty. Both are outputs under the tool's one rule and are committed
// only once the plot is drawn; the plotter's own data file is a hidden temporary.
// Throws ToolError for a refused output or a stop, std::runtime_error when drawing fails.
void writeCsvAndPlot(const std::string& csv, const std::string& csvPath, const std::string& imagePath,
                     const std::string& title, bool overwrite);

// The plot's 400 frequencies, log-spaced from 10 Hz to 20 kHz.
std::vector<double> plotFrequencies();

// Measures the instance at plotFrequencies() (or, in the second form, computes the
// core's response there) and draws the plot at `imagePath`, in the format its
// extension names; `csvPath`, when not empty, keeps the data too. Both are outputs under the tool's one rule (see
// checkOutputTarget: an existing file is replaced only with `overwrite`), checked
// before the measurement and committed only once the plot is drawn; the plotter's
// own data file is a hidden temporary. Throws ToolError for a refused output and
// std::invalid_argument, before measuring, for an image name with no known format.
void writeResponsePlot(PluginInstance& effect, float sampleRateHz, const std::string& imagePath,
                       const std::string& csvPath, const std::string& title, bool overwrite);
void writeResponsePlot(const ShufflerCore& core, const std::string& imagePath, const std::string& csvPath,
                       const std::string& title, bool overwrite);
