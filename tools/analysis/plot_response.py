#!/usr/bin/env python3
"""Plots the CSVs that `brevander` writes. A response CSV (from `response`) gives
magnitude, phase and the phase difference of the sum and difference paths over
10 Hz to 20 kHz; a band CSV (from `analyze`), told by its first line, gives bars
per octave band before and after the effect: the difference-to-sum energy and the
correlation, a pair of panels for each file.

usage: plot_response.py RESPONSE.csv|BANDS.csv OUTPUT TITLE [FORMAT]

FORMAT is png (the default), svg or pdf; it is given apart from OUTPUT's name
because the caller may draw to a temporary name with another extension.

Exits with status 1 and a one-line message on stderr when the input cannot be
used or the picture cannot be written; status 2 for wrong arguments.
"""

import csv
import math
import os
import signal
import sys
import tempfile

COLUMNS = [
    "frequency_hz",
    "sum_db",
    "sum_phase_deg",
    "difference_db",
    "difference_phase_deg",
    "phase_difference_deg",
]
X_RANGE_HZ = (10.0, 20000.0)
X_TICKS_HZ = [10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000]
SUM_COLOUR = "tab:blue"
DIFFERENCE_COLOUR = "tab:orange"
PHASE_DIFFERENCE_COLOUR = "tab:green"


BAND_COLUMNS = [
    "file",
    "band_hz",
    "level_before_dbfs",
    "level_after_dbfs",
    "difference_to_sum_before_db",
    "difference_to_sum_after_db",
    "difference_to_sum_change_db",
    "correlation_before",
    "correlation_after",
    "correlation_change",
]
BEFORE_COLOUR = "0.6"
AFTER_COLOUR = "tab:blue"


class InputError(Exception):
    pass


def first_line(path):
    try:
        with open(path, newline="") as f:
            return [name.strip() for name in next(csv.reader(f), [])]
    except (OSError, UnicodeDecodeError) as e:
        raise InputError(f"cannot read {path}: {getattr(e, 'strerror', None) or e}")


def read_bands(path):
    """Each file's bands in the order given, as (file, [(band_hz, ds_before, ds_after,
    corr_before, corr_after, level_before, level_after)]), with None for a figure
    left empty (silent, or quiet where the level is given)."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))[1:]
    files = []
    for line_number, row in enumerate(rows, start=2):
        if not row:
            continue
        if len(row) != len(BAND_COLUMNS):
            raise InputError(f"{path}:{line_number}: {len(row)} fields, expected {len(BAND_COLUMNS)}")
        try:
            values = [float(field) if field.strip() else None for field in row[1:]]
        except ValueError:
            raise InputError(f"{path}:{line_number}: not a number")
        if values[0] is None or not all(v is None or math.isfinite(v) for v in values):
            raise InputError(f"{path}:{line_number}: values must be finite, and the band given")
        if not files or files[-1][0] != row[0]:
            files.append((row[0], []))
        column = {name: values[i - 1] for i, name in enumerate(BAND_COLUMNS) if i > 0}
        files[-1][1].append(
            tuple(
                column[name]
                for name in (
                    "band_hz",
                    "difference_to_sum_before_db",
                    "difference_to_sum_after_db",
                    "correlation_before",
                    "correlation_after",
                    "level_before_dbfs",
                    "level_after_dbfs",
                )
            )
        )
    if not files:
        raise InputError(f"{path} holds no bands")
    return files


def band_label(hz):
    return f"{hz / 1000:g}k" if hz >= 1000 else f"{hz:g}"


def draw_bands(files, title):
    import matplotlib

    matplotlib.use("Agg")
    from matplotlib import pyplot

    figure, axes = pyplot.subplots(len(files), 2, figsize=(12, 1.0 + 3.4 * len(files)), dpi=110, squeeze=False)
    figure.suptitle(title, fontsize=13)
    all_db = [v for _, bands in files for band in bands for v in band[1:3] if v is not None]
    db_bottom = min(-3.0, 3.0 * math.floor((min(all_db, default=-30.0) - 1.0) / 3.0))
    db_top = max(3.0, 3.0 * math.ceil((max(all_db, default=0.0) + 1.0) / 3.0))
    width = 0.4
    for row, (name, bands) in enumerate(files):
        positions = range(len(bands))
        ds, correlation = axes[row]
        for panel, first, bottom, top in ((ds, 1, db_bottom, db_top), (correlation, 3, -1.05, 1.05)):
            for offset, column, level, colour, label in (
                (-width / 2, first, 5, BEFORE_COLOUR, "before"),
                (width / 2, first + 1, 6, AFTER_COLOUR, "after"),
            ):
                heights = [band[column] if band[column] is not None else 0.0 for band in bands]
                panel.bar([p + offset for p in positions], heights, width, color=colour, label=label)
                for p, band in zip(positions, bands):
                    if band[column] is None:
                        why = "silent" if band[level] is None else "quiet"
                        panel.text(p + offset, 0.0, why, rotation=90, ha="center", va="bottom", fontsize=7)
            panel.axhline(0.0, color="black", linewidth=0.8)
            panel.set_ylim(bottom, top)
            panel.set_xticks(list(positions))
            panel.set_xticklabels([band_label(band[0]) for band in bands])
            panel.grid(axis="y", color="0.85", linewidth=0.6)
            panel.set_axisbelow(True)
            panel.legend(loc="best", fontsize=9, framealpha=0.9)
        ds.set_ylabel("difference to sum (dB)")
        correlation.set_ylabel("correlation")
        ds.set_title(f"{os.path.basename(name)}: difference to sum", loc="left", fontsize=10)
        correlation.set_title(f"{os.path.basename(name)}: correlation of left and right", loc="left", fontsize=10)
        if row == len(files) - 1:
            ds.set_xlabel("octave band (Hz)")
            correlation.set_xlabel("octave band (Hz)")
    figure.tight_layout()
    return figure


def read_response(path):
    """The CSV's columns as lists of floats, keyed by column name."""
    try:
        with open(path, newline="") as f:
            rows = list(csv.reader(f))
    except (OSError, UnicodeDecodeError) as e:
        raise InputError(f"cannot read {path}: {getattr(e, 'strerror', None) or e}")
    if not rows or [name.strip() for name in rows[0]] != COLUMNS:
        raise InputError(f"{path} is not a response CSV: its first line must be {','.join(COLUMNS)}")
    data = {name: [] for name in COLUMNS}
    for line_number, row in enumerate(rows[1:], start=2):
        if not row:
            continue
        if len(row) != len(COLUMNS):
            raise InputError(f"{path}:{line_number}: {len(row)} fields, expected {len(COLUMNS)}")
        try:
            values = [float(field) for field in row]
        except ValueError:
            raise InputError(f"{path}:{line_number}: not a number")
        if not all(math.isfinite(v) for v in values) or values[0] <= 0.0:
            raise InputError(f"{path}:{line_number}: values must be finite and the frequency positive")
        for name, value in zip(COLUMNS, values):
            data[name].append(value)
    frequencies = data["frequency_hz"]
    if len(frequencies) < 2:
        raise InputError(f"{path} holds fewer than two points")
    if any(b <= a for a, b in zip(frequencies, frequencies[1:])):
        raise InputError(f"{path}: frequencies must increase")
    return data


def plot_phase(axes, frequencies, degrees, **style):
    """Draws a wrapped phase with a gap wherever it jumps between +180 and -180, so
    that the wrap is not drawn as a vertical line across the panel."""
    xs, ys = [], []
    for i, value in enumerate(degrees):
        if i > 0 and abs(value - degrees[i - 1]) > 180.0:
            xs.append(math.sqrt(frequencies[i] * frequencies[i - 1]))
            ys.append(math.nan)
        xs.append(frequencies[i])
        ys.append(value)
    axes.plot(xs, ys, **style)


def magnitude_limits(data):
    """dB limits covering both paths inside the plotted range, from at most 60 dB
    below the highest value (the -200 dB floor of an exact zero would flatten
    everything else), with a margin."""
    values = [
        value
        for name in ("sum_db", "difference_db")
        for f, value in zip(data["frequency_hz"], data[name])
        if X_RANGE_HZ[0] <= f <= X_RANGE_HZ[1]
    ] or data["sum_db"] + data["difference_db"]
    top = max(values)
    bottom = max(min(values), top - 60.0)
    top = 3.0 * math.ceil((top + 0.5) / 3.0)
    bottom = 3.0 * math.floor((bottom - 0.5) / 3.0)
    return bottom, top


def phase_difference_limit(data):
    """A symmetric range in steps of 45 degrees covering the phase difference inside
    the plotted range: the shuffler keeps it small over most of the band, and a
    full +-180 would flatten that detail."""
    largest = max(
        (abs(value) for f, value in zip(data["frequency_hz"], data["phase_difference_deg"]) if X_RANGE_HZ[0] <= f <= X_RANGE_HZ[1]),
        default=180.0,
    )
    return min(180.0, max(45.0, 45.0 * math.ceil((largest + 2.0) / 45.0)))


def draw(data, title):
    import matplotlib

    matplotlib.use("Agg")
    from matplotlib import pyplot, ticker

    frequencies = data["frequency_hz"]
    figure, (magnitude, phase, phase_difference) = pyplot.subplots(
        3, 1, sharex=True, figsize=(10, 9), dpi=110, gridspec_kw={"height_ratios": [1.2, 1, 1]}
    )
    figure.suptitle(title, fontsize=13)

    magnitude.plot(frequencies, data["sum_db"], color=SUM_COLOUR, label="sum (L+R)")
    magnitude.plot(frequencies, data["difference_db"], color=DIFFERENCE_COLOUR, label="difference (L−R)")
    magnitude.set_ylim(*magnitude_limits(data))
    magnitude.yaxis.set_major_locator(ticker.MaxNLocator(nbins=8, steps=[1, 2, 3, 5, 6, 10]))
    magnitude.set_ylabel("magnitude (dB)")
    magnitude.set_title("(a) magnitude", loc="left", fontsize=10)

    plot_phase(phase, frequencies, data["sum_phase_deg"], color=SUM_COLOUR, label="sum (L+R)")
    plot_phase(phase, frequencies, data["difference_phase_deg"], color=DIFFERENCE_COLOUR, label="difference (L−R)")
    phase.set_ylim(-180, 180)
    phase.yaxis.set_major_locator(ticker.MultipleLocator(90))
    phase.set_ylabel("phase (degrees)")
    phase.set_title("(b) phase", loc="left", fontsize=10)

    phase_difference.axhline(0.0, color="black", linewidth=0.8, label="0°")
    plot_phase(
        phase_difference,
        frequencies,
        data["phase_difference_deg"],
        color=PHASE_DIFFERENCE_COLOUR,
        label="sum − difference",
    )
    limit = phase_difference_limit(data)
    phase_difference.set_ylim(-limit, limit)
    phase_difference.yaxis.set_major_locator(ticker.MultipleLocator(45 if limit <= 90 else 90))
    phase_difference.set_ylabel("phase difference (degrees)")
    phase_difference.set_xlabel("frequency (Hz)")
    phase_difference.set_title("(c) phase difference, sum minus difference", loc="left", fontsize=10)

    phase_difference.set_xscale("log")
    phase_difference.set_xlim(*X_RANGE_HZ)
    phase_difference.xaxis.set_major_locator(ticker.FixedLocator(X_TICKS_HZ))
    phase_difference.xaxis.set_major_formatter(
        ticker.FixedFormatter([f"{f // 1000}k" if f >= 1000 else str(f) for f in X_TICKS_HZ])
    )
    phase_difference.xaxis.set_minor_locator(ticker.LogLocator(base=10, subs=range(2, 10), numticks=12))
    phase_difference.xaxis.set_minor_formatter(ticker.NullFormatter())
    for axes in (magnitude, phase, phase_difference):
        axes.grid(which="major", color="0.75", linewidth=0.8)
        axes.grid(which="minor", color="0.9", linewidth=0.5)
        axes.legend(loc="lower right", fontsize=9, framealpha=0.9)
    figure.align_ylabels()
    figure.tight_layout()
    return figure


FORMATS = ("png", "svg", "pdf")


def save(figure, png_path, image_format):
    """Into a temporary file beside the target, then renamed: a reader never sees a half-written picture."""
    directory = os.path.dirname(os.path.abspath(png_path))
    handle, temporary = tempfile.mkstemp(dir=directory, prefix=".brevander-", suffix=".partial")
    try:
        with os.fdopen(handle, "wb") as f:
            figure.savefig(f, format=image_format)
        os.chmod(temporary, 0o666 & ~current_umask())
        os.replace(temporary, png_path)
    except BaseException:
        os.unlink(temporary)
        raise


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def stopped(number, frame):
    """Ended like an interruption, so that save() still removes its temporary file."""
    raise SystemExit(128 + number)


def main(arguments):
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, stopped)
    if len(arguments) not in (4, 5) or (len(arguments) == 5 and arguments[4] not in FORMATS):
        print(f"usage: {os.path.basename(arguments[0])} RESPONSE.csv|BANDS.csv OUTPUT TITLE [png|svg|pdf]", file=sys.stderr)
        return 2
    csv_path, png_path, title = arguments[1:4]
    image_format = arguments[4] if len(arguments) == 5 else "png"
    name = os.path.basename(arguments[0])
    try:
        if first_line(csv_path) == BAND_COLUMNS:
            figure = draw_bands(read_bands(csv_path), title)
        else:
            figure = draw(read_response(csv_path), title)
        save(figure, png_path, image_format)
    except InputError as e:
        print(f"{name}: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{name}: cannot write {png_path}: {e.strerror or e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
