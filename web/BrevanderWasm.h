// Brevander in a web page: the C interface that the WebAssembly module exports to
// JavaScript, a binding over the effect's core (ShufflerCore.h) beside the VST 2
// and LV2 ones. The module imports nothing and its memory never grows; an
// instance lives in that memory with its own sample and response buffers, which
// JavaScript views as typed arrays.
//
// Values given between two blocks are held and applied at the start of the next
// block (or response), changed ones only and in parameter order, each redesigning
// just what the VST 2 binding's setParameter would: as the LV2 binding applies its
// control ports.
#pragma once

#include <cstdint>

struct BrevanderWeb;
struct BrevanderBands;

extern "C" {

// The parameters as the page shows them, from the table every binding reads
// (ParameterTable.h): for an index outside 0 to 6, null texts and 0.
std::int32_t brevander_parameter_count();
// The name as hosts show it (one ends in a blank, which the page trims).
const char* brevander_parameter_name(std::int32_t index);
// The unit a user types: "Hz", "%", "cm", "dB", or "" for a switch.
const char* brevander_parameter_unit(std::int32_t index);
std::int32_t brevander_parameter_is_switch(std::int32_t index);
// Range, default and a slider's step in that unit (the gain in dB; a switch 0 to 1).
double brevander_parameter_minimum(std::int32_t index);
double brevander_parameter_maximum(std::int32_t index);
double brevander_parameter_default(std::int32_t index);
double brevander_parameter_step(std::int32_t index);

// The factory presets (FactoryPresets.h), the list the tool's --preset takes: for
// a preset outside 0 to count - 1, null texts and NaN.
std::int32_t brevander_preset_count();
const char* brevander_preset_id(std::int32_t preset);
const char* brevander_preset_name(std::int32_t preset);
// The value the preset gives parameter `index`, in the unit a user reads, to be set
// as brevander_set_value takes it; NaN for a parameter it leaves at its default.
double brevander_preset_value(std::int32_t preset, std::int32_t index);

// Block and response buffers' capacities.
std::int32_t brevander_max_block_frames();
std::int32_t brevander_max_response_points();

// An instance with every value at its default, designed for `sampleRateHz`; null
// for a rate no filter can be designed for (not finite, or 0 Hz or less) or when
// the module's memory is exhausted.
BrevanderWeb* brevander_create(float sampleRateHz);
void brevander_destroy(BrevanderWeb* instance);

// Parameter `index` given in the unit a user reads (Hz, %, cm, dB; a switch 0 to
// 1, on above 0.5), mapped as the command-line tool's --set maps it. 0, with
// nothing changed, for an index outside 0 to 6 or a value outside the range.
std::int32_t brevander_set_value(BrevanderWeb* instance, std::int32_t index, double value);
// Parameter `index` as a VST 2 host sends it, normalised; values outside 0 to 1
// are taken as a host's are. 0 for an index outside 0 to 6.
std::int32_t brevander_set_normalised(BrevanderWeb* instance, std::int32_t index, float normalised);
// The text a host shows for the value parameter `index` will hold ("20.0", "-1.6",
// "On"), the plug-in's answer to effGetParamDisplay; held by the instance until the
// next call. Null for an index outside 0 to 6.
const char* brevander_display_text(BrevanderWeb* instance, std::int32_t index);
// Parameter `index` back to its default (the gain's is a linear 0.83, which no
// value in dB gives exactly). 0 for an index outside 0 to 6.
std::int32_t brevander_set_default(BrevanderWeb* instance, std::int32_t index);

// The block buffers: brevander_max_block_frames() floats each.
float* brevander_left(BrevanderWeb* instance);
float* brevander_right(BrevanderWeb* instance);
// Applies the values given since the last block, then processes the first
// `frames` frames of the block buffers in place (none for 0 or less; at most
// brevander_max_block_frames()).
void brevander_process(BrevanderWeb* instance, std::int32_t frames);
// Silence in every filter, as after a switch-off: for a jump in the material.
void brevander_clear(BrevanderWeb* instance);

// brevander_max_response_points() frequencies in Hz, to fill before asking.
double* brevander_frequencies(BrevanderWeb* instance);
// Applies the values given, then the sum and difference paths' exact complex
// responses at the first `count` frequencies: per point sum real, sum imaginary,
// difference real, difference imaginary. Returns that array.
const double* brevander_response(BrevanderWeb* instance, std::int32_t count);

// The band analysis of `brevander analyze` (BandAnalysis.h), the same code: a
// stereo stream's octave bands, fed in blocks, for the page's before-and-after
// table. An analyser takes some 610 KB of the module's memory, 230 KB more while
// it measures.
//
// An analyser for a stream at `sampleRateHz`; null for a rate that is not positive
// and finite.
BrevanderBands* brevander_bands_create(double sampleRateHz);
void brevander_bands_destroy(BrevanderBands* analyser);
// Its block buffers: brevander_max_block_frames() floats each.
float* brevander_bands_left(BrevanderBands* analyser);
float* brevander_bands_right(BrevanderBands* analyser);
// Adds the first `frames` frames of the block buffers to the stream (none for 0
// or less; at most brevander_max_block_frames()).
void brevander_bands_add(BrevanderBands* analyser, std::int32_t frames);
// Forgets the stream, keeping the rate.
void brevander_bands_reset(BrevanderBands* analyser);
// Measures the bands of the stream so far, kept until the next call; returns how
// many there are (the rate decides). With `before`, the same stream's measure before
// the effect, a band quiet or silent there is quiet here too, as the tool has it
// (carryQuietBands); null for a stream of its own.
std::int32_t brevander_bands_measure(BrevanderBands* analyser, const BrevanderBands* before);
// Of band `band` as last measured: its centre in Hz, its level in dBFS, its
// difference-to-sum ratio in dB and its correlation; NaN for a figure the band is
// too silent to have, for a ratio or correlation of a quiet band (the rounding
// noise's, not the recording's), and for a band outside the measure.
double brevander_bands_centre_hz(const BrevanderBands* analyser, std::int32_t band);
double brevander_bands_level_dbfs(const BrevanderBands* analyser, std::int32_t band);
double brevander_bands_dif_to_sum_db(const BrevanderBands* analyser, std::int32_t band);
double brevander_bands_correlation(const BrevanderBands* analyser, std::int32_t band);
// The texts of band `band` between two analysers' last measures, as the tool prints
// them: field 0 the band, 1 and 2 the level before and after, 3 to 5 the ratio
// before, after and its change, 6 to 8 the correlation's, 9 the tool's whole line
// of the table, 10 the table's heading. Held by `after` until the next call; null
// for a band or field outside them.
const char* brevander_bands_text(const BrevanderBands* before, BrevanderBands* after, std::int32_t band,
                                 std::int32_t field);
}
