// The Python module zorvel: the coder, its frames, measures, sweep and
// ablation as numpy arrays. The work is the core's (Encoding.h gathers a
// run); this file turns Python values into the core's and back, words
// failures as the command line does (ValueError for a mode or a setting,
// OSError with the system's error number for a file) and releases the
// interpreter's lock while anything is coded.
#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/Modes.h"
#include "cli/SettingTexts.h"
#include "cli/SweepTable.h"
#include "coder/Ablation.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/FrameDistances.h"
#include "coder/FrameTransforms.h"
#include "coder/ModeSweep.h"
#include "python/Encoding.h"
#include "python/OwnedArrays.h"
#include "sound/Conversion.h"
#include "sound/Recording.h"
#include "sound/SpeechInput.h"

namespace zorvel::python {
namespace {

namespace fs = std::filesystem;

// Errors -------------------------------------------------------------------

// OSError(errno, message, path), which Python makes FileNotFoundError and
// the like; without an error number, OSError("path: message"), as the
// command line words a file's refusal after its name.
[[noreturn]] void raiseFileError(const std::string& message, int error, const fs::path& path) {
    const py::object osError = py::reinterpret_borrow<py::object>(PyExc_OSError);
    const py::object exception = error != 0 ? osError(error, message, path.string())
                                            : osError(path.string() + ": " + message);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

// The system's error number behind a file that cannot be used: what open()
// says now, EISDIR for a directory; 0 when it opens and is none.
int openError(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    std::error_code ignored;
    return fs::is_directory(path, ignored) ? EISDIR : 0;
}

// A file the coder cannot take as it stands: unusable, or a recording of
// another format.
void checkCoderInput(const fs::path& path) {
    if (const SpeechInput input(path); !input.usable())
        raiseFileError(input.problem(), openError(path), path);
    const RecordingFormat format = describeRecording(path);
    if (format.kind == RecordingKind::otherFormat)
        raiseFileError(otherFormatProblem(format) + ": convert it with zorvel.import_recording()",
                       0, path);
}

// Modes and settings -------------------------------------------------------

CoderMode modeOf(const py::handle& value) {
    const std::string text = py::str(value);
    if (py::isinstance<py::bool_>(value)) throw py::value_error(cli::unknownModeText(text));
    const std::optional<CoderMode> mode = cli::modeFromText(text);
    if (!mode) throw py::value_error(cli::unknownModeText(text));
    return *mode;
}

// A setting's value as NAME=VALUE writes it: True and False are on and off,
// None is off, numbers are their shortest text.
std::string settingValueText(const py::handle& value) {
    if (value.is_none()) return "off";
    if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "on" : "off";
    if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value))
        return numberText(value.cast<double>());
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    throw py::type_error("a setting's value is a str, a number, a bool or None, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
}

CoderSettings settingsOf(const py::object& given) {
    CoderSettings settings;
    if (given.is_none()) return settings;
    if (!py::isinstance<py::dict>(given))
        throw py::type_error("settings are a dict of NAME: VALUE, e.g. {\"gamma1\": 0.9}");
    std::vector<std::string> assignments;
    for (const auto& [name, value] : given.cast<py::dict>())
        assignments.push_back(std::string(py::str(name)) + "=" + settingValueText(value));
    if (const std::optional<SettingProblem> problem = applySettings(settings, assignments))
        throw py::value_error(cli::settingProblemText(*problem));
    return settings;
}

py::dict settingsDict(const CoderSettings& settings) {
    py::dict values;
    for (const SettingDescriptor& setting : settingDescriptors())
        values[py::str(std::string(setting.name))] = settingText(setting, settings);
    return values;
}

py::dict modeDict(CoderMode mode) {
    const CoderModeRules& rules = rulesOf(mode);
    py::dict entry;
    entry["number"] = modeNumber(mode);
    entry["rate"] = std::string(rules.rate);
    entry["bit_rate_kbps"] = modeBitRate(mode);
    entry["file_suffix"] = std::string(rules.fileSuffix);
    return entry;
}

// Samples --------------------------------------------------------------------

// The samples of a 1-D array of integers within 16 bits, as the bytes of an
// input file (inputBytes).
std::string samplesAsInput(const py::handle& given) {
    const py::array any = py::array::ensure(given);
    if (!any) throw py::type_error("samples are a 1-D numpy array of 16-bit integers");
    if (any.ndim() != 1)
        throw py::value_error("samples are one channel: a 1-D array, not " +
                              std::to_string(any.ndim()) + "-D");
    const char kind = any.dtype().kind();
    if (kind != 'i' && kind != 'u')
        throw py::value_error("samples are 16-bit integers, not " +
                              std::string(py::str(any.dtype())) +
                              ": round and clip them to np.int16 first");
    if (any.size() > 0 && !any.dtype().is(py::dtype::of<std::int16_t>())) {
        const auto low = any.attr("min")().cast<long long>();
        const auto high = any.attr("max")().cast<long long>();
        if (low < std::numeric_limits<std::int16_t>::min() ||
            high > std::numeric_limits<std::int16_t>::max())
            throw py::value_error("samples lie outside the 16-bit range -32768..32767");
    }
    const auto samples =
        py::array_t<std::int16_t, py::array::c_style | py::array::forcecast>::ensure(any);
    return inputBytes({samples.data(), static_cast<std::size_t>(samples.size())});
}

std::optional<double> meanOrNone(const std::optional<MeasureMeans>& means,
                                 SpectralMeasure measure) {
    return means ? means->mean(measure) : std::nullopt;
}

// The distances' means and the file figures by the names of the result
// tables' CSV columns; None for a measure no frame (or file) had.
py::dict measuresDict(const MeasureMeans& means) {
    py::dict values;
    for (SpectralMeasure measure : kAllSpectralMeasures)
        values[py::str(std::string(infoOf(measure).csvName))] = py::cast(means.mean(measure));
    for (FileMeasure measure : kAllFileMeasures)
        values[py::str(std::string(infoOf(measure).csvName))] = py::cast(means.mean(measure));
    return values;
}

// Results --------------------------------------------------------------------

class Result {
  public:
    Result(std::unique_ptr<EncodeResult> run, CoderMode mode, const CoderSettings& settings)
        : mode_(mode), settings_(settings) {
        synthesis = ownedArray(std::move(run->synthesis));
        post = ownedArray(std::move(run->post));
        synthesisFloat = ownedArray(std::move(run->synthesisFloat));
        postFloat = ownedArray(std::move(run->postFloat));
        const auto rows = static_cast<py::ssize_t>(run->frameCount);
        for (FieldColumn& column : run->frames) {
            std::vector<py::ssize_t> shape{rows};
            if (column.width > 0) shape.push_back(static_cast<py::ssize_t>(column.width));
            frames[py::str(column.name)] = std::visit(
                [&](auto& values) -> py::object { return ownedArray(std::move(values), shape); },
                column.values);
        }
        measures = run->measures ? py::object(measuresDict(*run->measures)) : py::none();
        run->frames.clear();
        run_ = std::move(run);
    }

    py::array synthesis, post, synthesisFloat, postFloat;
    py::dict frames;
    py::object measures;

    int frameCount() const { return run_->frameCount; }
    double segmentalSnr() const { return run_->segmentalSnr; }
    double overallSnr() const { return run_->overallSnr; }
    std::string mode() const { return std::string(rulesOf(mode_).rate); }
    py::dict settings() const { return settingsDict(settings_); }

    py::dict signals(int row) {
        const int frames = run_->frameCount;
        if (row < 0) row += frames;
        if (row < 0 || row >= frames)
            throw py::index_error("frame row " + std::to_string(row) + " is not among 0.." +
                                  std::to_string(frames - 1));
        FrameSignals found;
        {
            py::gil_scoped_release unlocked;
            found = frameSignals(*run_, row + 1);
        }
        py::dict values;
        for (auto& [name, samples] : found.signals)
            values[py::str(name)] = ownedArray(std::move(samples));
        py::dict spectra;
        for (int curve = 0; curve < kSpectrumCurves; ++curve) {
            const auto& levels = found.spectra[curve];
            spectra[py::str(std::string(curveKey(static_cast<SpectrumCurve>(curve))))] =
                ownedArray(std::vector<double>(levels.begin(), levels.end()));
        }
        values["spectra"] = spectra;
        std::vector<double> hertz;
        for (int k = 0; k < kSpectrumBins; ++k)
            hertz.push_back(static_cast<double>(k) * kSampleRate / kFrameSamples);
        values["spectrum_hz"] = ownedArray(std::move(hertz));
        return values;
    }

    py::bytes wav(bool postProcessed) const {
        const auto samples =
            py::array_t<std::int16_t, py::array::c_style | py::array::forcecast>::ensure(
                postProcessed ? post : synthesis);
        return py::bytes(waveFileBytes({samples.data(), static_cast<std::size_t>(samples.size())}));
    }

    std::string repr() const {
        char snr[96];
        std::snprintf(snr, sizeof snr, "SNRseg %.2f dB, SNR %.2f dB", segmentalSnr(), overallSnr());
        return "<zorvel.Result " + mode() + " kbit/s: " + std::to_string(frameCount()) +
               " frames, " + snr + ">";
    }

  private:
    CoderMode mode_;
    CoderSettings settings_;
    std::unique_ptr<EncodeResult> run_;
};

class Coder {
  public:
    Coder(const py::object& mode, const py::object& settings)
        : mode_(modeOf(mode)), settings_(settingsOf(settings)) {}

    Result encode(const py::handle& samples, bool measures, bool postProcessed) const {
        std::string bytes = samplesAsInput(samples);
        const EncodeOptions options{
            measures, postProcessed ? SaveOption::postProcessed : SaveOption::synthesized};
        std::unique_ptr<EncodeResult> run;
        {
            py::gil_scoped_release unlocked;
            run = encodeBytes(std::move(bytes), mode_, settings_, options);
        }
        return Result(std::move(run), mode_, settings_);
    }

    std::string mode() const { return std::string(rulesOf(mode_).rate); }
    int modeNumber() const { return zorvel::modeNumber(mode_); }
    py::dict settings() const { return settingsDict(settings_); }
    std::string repr() const {
        const std::string changed = settingsSummary(settings_);
        return "<zorvel.Coder " + mode() + " kbit/s" + (changed.empty() ? "" : ", " + changed) +
               ">";
    }

  private:
    CoderMode mode_;
    CoderSettings settings_;
};

// Files ----------------------------------------------------------------------

py::array_t<std::int16_t> readSamples(const fs::path& path) {
    checkCoderInput(path);
    FileSamples read;
    {
        py::gil_scoped_release unlocked;
        read = readFileSamples(path);
    }
    if (read.outcome != ReadOutcome::read) raiseFileError(read.problem, openError(path), path);
    std::vector<std::int16_t> samples(read.samples.begin(), read.samples.end());
    return ownedArray(std::move(samples));
}

py::tuple importRecording(const fs::path& path, bool zeroNonFinite) {
    // Refused as the command line refuses an input before converting it.
    if (const SpeechInput input(path); !input.usable())
        raiseFileError(input.problem(), openError(path), path);
    auto recording = std::make_unique<ConvertedRecording>();
    try {
        py::gil_scoped_release unlocked;
        *recording = convertRecording(
            path, zeroNonFinite ? NonFiniteSamples::zero : NonFiniteSamples::refuse);
    } catch (const FileError& error) {
        raiseFileError(error.what(), error.error() != 0 ? error.error() : openError(path), path);
    }
    py::dict info;
    const RecordingFormat& source = recording->source;
    info["description"] = source.description;
    info["sample_rate"] = source.sampleRate;
    info["channels"] = source.channels;
    info["frames"] = source.frames;
    info["sample_type"] = source.sampleName;
    info["container"] = source.container;
    info["samples"] = recording->samples;
    info["seconds"] = recording->seconds();
    info["peak"] = recording->peak;
    info["clipped"] = recording->clipped;
    info["non_finite"] = recording->nonFinite;
    // The samples are the converted file's bytes from byte 60 on, as they lie.
    const auto* data =
        reinterpret_cast<const std::int16_t*>(recording->bytes.data() + kSampleDataOffset);
    const auto count = static_cast<py::ssize_t>(recording->samples);
    py::capsule base = owningCapsule(std::move(recording));
    return py::make_tuple(py::array_t<std::int16_t>({count}, data, base), info);
}

// Sweep and ablation ---------------------------------------------------------

// The inputs of a sweep or an ablation: paths, read from byte 60, or arrays
// of samples, coded from memory.
struct RunInputs {
    std::vector<fs::path> names;
    std::vector<std::optional<std::string>> bytes;  // an array's, or none for a path

    SweepInputOpener opener() const {
        return [this](std::size_t file) {
            return bytes[file] ? memoryInput(*bytes[file]) : SpeechInput(names[file]);
        };
    }
};

RunInputs runInputs(const py::iterable& given) {
    RunInputs inputs;
    for (const py::handle item : given) {
        if (py::isinstance<py::array>(item)) {
            inputs.names.emplace_back("<array " + std::to_string(inputs.names.size()) + ">");
            inputs.bytes.emplace_back(samplesAsInput(item));
        } else {
            const fs::path path = item.cast<fs::path>();
            checkCoderInput(path);
            inputs.names.push_back(path);
            inputs.bytes.emplace_back();
        }
    }
    if (inputs.names.empty()) throw py::value_error("no inputs: give paths or arrays of samples");
    return inputs;
}

// The columns of the distances' means and STOI and ESTOI, by the CLI's CSV
// names; NaN where no frame (or file) had a value, as an empty CSV cell.
void addMeasureColumns(std::map<std::string, std::vector<double>>& columns,
                       std::vector<std::string>& order, const ModeFigures& figures) {
    for (SpectralMeasure measure : kAllSpectralMeasures) {
        const std::string name(infoOf(measure).csvName);
        if (!columns.contains(name)) order.push_back(name);
        const std::optional<double> value = meanOrNone(figures.measures, measure);
        columns[name].push_back(value.value_or(std::numeric_limits<double>::quiet_NaN()));
    }
    for (FileMeasure measure : kAllFileMeasures) {
        const std::string name(infoOf(measure).csvName);
        if (!columns.contains(name)) order.push_back(name);
        const std::optional<double> value =
            figures.measures ? figures.measures->mean(measure) : std::nullopt;
        columns[name].push_back(value.value_or(std::numeric_limits<double>::quiet_NaN()));
    }
}

[[noreturn]] void raiseRunFileError(const SweepFileError& error, const RunInputs& inputs) {
    raiseFileError(error.what(), error.error(), inputs.names[error.file()]);
}

py::dict sweep(const py::iterable& given, const py::object& settingsGiven, unsigned threads,
               bool measures, bool postProcessed) {
    const RunInputs inputs = runInputs(given);
    SweepRun run;
    run.inputs = inputs.names;
    run.open = inputs.opener();
    run.threads = threads;
    run.settings = settingsOf(settingsGiven);
    if (measures)
        run.measured = postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
    std::optional<SweepResult> result;
    try {
        py::gil_scoped_release unlocked;
        result = sweepModes(run);
    } catch (const SweepFileError& error) {
        raiseRunFileError(error, inputs);
    }

    std::vector<std::string> files;
    std::vector<std::int32_t> modes, frames;
    std::vector<double> rates, segmental, overall;
    std::map<std::string, std::vector<double>> measureColumns;
    std::vector<std::string> measureOrder;
    auto addRow = [&](const std::string& file, const ModeFigures& f) {
        files.push_back(file);
        modes.push_back(zorvel::modeNumber(f.mode));
        rates.push_back(modeBitRate(f.mode));
        frames.push_back(f.frames);
        segmental.push_back(f.segmentalSnr);
        overall.push_back(f.overallSnr);
        if (measures) addMeasureColumns(measureColumns, measureOrder, f);
    };
    for (std::size_t i = 0; i < result->files.size(); ++i)
        for (const ModeFigures& f : result->files[i]) addRow(inputs.names[i].string(), f);
    for (const ModeFigures& f : result->total) addRow(cli::kTotalRowName, f);

    py::dict table;
    table["file"] = py::array(py::cast(files));
    table["mode"] = ownedArray(std::move(modes));
    table["bit_rate_kbps"] = ownedArray(std::move(rates));
    table["frames"] = ownedArray(std::move(frames));
    table["segmental_snr_db"] = ownedArray(std::move(segmental));
    table["overall_snr_db"] = ownedArray(std::move(overall));
    for (const std::string& name : measureOrder)
        table[py::str(name)] = ownedArray(std::move(measureColumns[name]));
    return table;
}

py::dict ablation(const py::iterable& given, const py::object& modesGiven,
                  const py::object& settingsGiven, const py::object& vary, unsigned threads,
                  bool measures, bool postProcessed) {
    AblationRun run;
    const CoderSettings base = settingsOf(settingsGiven);
    if (!vary.is_none()) {
        const std::string text = py::str(vary);
        if (auto problem = variedRows(base, text, run.rows))
            throw py::value_error(cli::variationProblemText(*problem, text));
    } else {
        run.rows = ablationRows(base);
    }
    if (modesGiven.is_none()) {
        run.modes.assign(kAllCoderModes.begin(), kAllCoderModes.end());
    } else if (py::isinstance<py::str>(modesGiven) || py::isinstance<py::int_>(modesGiven)) {
        run.modes.push_back(modeOf(modesGiven));
    } else {
        for (const py::handle mode : modesGiven.cast<py::iterable>())
            run.modes.push_back(modeOf(mode));
    }
    const RunInputs inputs = runInputs(given);
    run.inputs = inputs.names;
    run.open = inputs.opener();
    run.threads = threads;
    if (measures)
        run.options.measured = postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
    std::optional<AblationTable> result;
    try {
        py::gil_scoped_release unlocked;
        result = computeAblation(run);
    } catch (const SweepFileError& error) {
        raiseRunFileError(error, inputs);
    }
    if (!result) throw std::runtime_error("the ablation could not code its inputs");

    std::vector<std::int32_t> modes, frames;
    std::vector<double> rates, segmental, overall, segmentalChange, overallChange, values;
    std::vector<std::string> rows;
    std::map<std::string, std::vector<double>> measureColumns;
    std::vector<std::string> measureOrder;
    for (std::size_t m = 0; m < result->modes.size(); ++m) {
        for (std::size_t r = 0; r < result->rows.size(); ++r) {
            const ModeFigures& f = result->figures[r][m];
            modes.push_back(zorvel::modeNumber(result->modes[m]));
            rates.push_back(modeBitRate(result->modes[m]));
            rows.push_back(result->rows[r].name);
            frames.push_back(f.frames);
            segmental.push_back(f.segmentalSnr);
            overall.push_back(f.overallSnr);
            segmentalChange.push_back(result->segmentalChange(r, m));
            overallChange.push_back(result->overallChange(r, m));
            values.push_back(
                result->rows[r].value.value_or(std::numeric_limits<double>::quiet_NaN()));
            if (measures) addMeasureColumns(measureColumns, measureOrder, f);
        }
    }
    py::dict table;
    table["mode"] = ownedArray(std::move(modes));
    table["rate_kbps"] = ownedArray(std::move(rates));
    table["row"] = py::array(py::cast(rows));
    table["frames"] = ownedArray(std::move(frames));
    table["segmental_snr_db"] = ownedArray(std::move(segmental));
    table["overall_snr_db"] = ownedArray(std::move(overall));
    table["segmental_change_db"] = ownedArray(std::move(segmentalChange));
    table["overall_change_db"] = ownedArray(std::move(overallChange));
    if (!vary.is_none()) table["value"] = ownedArray(std::move(values));
    for (const std::string& name : measureOrder)
        table[py::str(name)] = ownedArray(std::move(measureColumns[name]));
    return table;
}

py::list modes() {
    py::list list;
    for (CoderMode mode : kAllCoderModes) list.append(modeDict(mode));
    return list;
}

py::list settings() {
    py::list list;
    const CoderSettings defaults;
    for (const SettingDescriptor& setting : settingDescriptors()) {
        py::dict entry;
        entry["name"] = std::string(setting.name);
        entry["values"] = std::string(setting.values);
        entry["default"] = settingText(setting, defaults);
        entry["meaning"] = std::string(setting.meaning);
        list.append(entry);
    }
    return list;
}

constexpr const char* kModuleDoc = R"doc(Zorvel's ACELP speech coder from Python.

The coder works on 8000 Hz mono 16-bit speech, 160 samples (20 ms) a frame,
in eight bit-rate modes (modes()). Samples are numpy int16 arrays: read()
takes them from a file of the coder's layout (samples from byte 60), and
import_recording() converts any recording to it. A Coder codes them, and its
Result holds both outputs, the parameters of every frame and, when asked,
the spectral distances and STOI/ESTOI. sweep() codes inputs in all eight
modes; ablation() shows what each coder setting buys.

Arrays handed out own their memory: they stay valid after the coder and the
result are gone. Coding releases the interpreter's lock, so threads code
several inputs side by side. A bad mode or setting raises ValueError with
the command line's reason; a file that cannot be used raises OSError (with
its errno where the system gave one).

    >>> import zorvel
    >>> samples = zorvel.read("/usr/share/zorvel/mowa.wav")
    >>> result = zorvel.Coder("12.2").encode(samples)
    >>> result.frames["frameSnr"][:3]
)doc";

constexpr const char* kCoderDoc = R"doc(Coder(mode="12.2", settings=None)

A coder in one bit-rate mode with one set of settings.

mode: the rate in kbit/s as a str ("12.2", "7.95", "7.4", "07.40") or the
    mode number 1..8, as zorvel-cli -m takes it.
settings: a dict NAME: VALUE of the settings that differ from the defaults
    (see zorvel.settings()), e.g. {"pitch-resolution": "1/3", "gamma1": 0.9,
    "enhancement": False, "high-pass": 80}; True/False stand for on/off and
    None for off.

Raises ValueError with the command line's reason for an unknown mode or a
setting it refuses.)doc";

constexpr const char* kEncodeDoc =
    R"doc(encode(samples, measures=False, post_processed=False) -> Result

Codes all of `samples` (a 1-D array of 16-bit integers; a trailing part
frame is not coded) as an encoding run does, releasing the interpreter's
lock meanwhile.

measures: also the spectral distances of every frame (in result.frames)
    and their means with STOI and ESTOI (result.measures), which cost time.
post_processed: the distances are taken against sp(n) instead of s'(n),
    as zorvel-cli's --post.)doc";

constexpr const char* kResultDoc = R"doc(What one encoding run gave.

synthesis: s'(n) as the encoding run writes it (int16), one per sample coded.
post: sp(n), the post-processed speech, as written with --post (int16).
synthesis_float, post_float: the same signals as the coder computed them.
frames: dict of arrays, one per field of zorvel-cli frames (the same names,
    in its order), one row per frame; list fields such as pulsePositions
    are 2-D. With measures, the six distances follow (NaN: no value).
measures: dict of the distances' means and STOI and ESTOI by the names of
    zorvel-cli encode --measures --csv ("lsd_lp_db", ..., "stoi", "estoi";
    None where there is no value), or None when not asked for.
frame_count, segmental_snr, overall_snr: the run's figures (dB).
signals(k): the time signals and spectra of the frame in row k.
wav(post_processed=False): the bytes of the file zorvel-cli encode writes.)doc";

constexpr const char* kSignalsDoc = R"doc(signals(k) -> dict

What the chart window shows of the frame in row k of `frames` (frame number
k + 1; negative k counts from the end): the 160-sample arrays of zorvel-cli
frames --signals by their names ("speech", "synthesizedSpeech",
"lpResidual", ...), and "spectra": a dict of the chart's ten curves at bins
0..79 (50 Hz apart, "spectrum_hz"), each at level 10 ln|X(k)|^2 of the plain
160-point transform, the synthesis filters' responses ("responseI",
"responseII") as 10 ln(E / |A(k)|^2). The frame is coded again from the
nearest checkpoint, with the interpreter's lock released.)doc";

constexpr const char* kSweepDoc =
    R"doc(sweep(inputs, settings=None, threads=1, measures=False, post_processed=False) -> dict

Codes every input in all eight modes, as zorvel-cli sweep: the table as a
dict of columns with its CSV names (file, mode, bit_rate_kbps, frames,
segmental_snr_db, overall_snr_db; with measures the distances' means and
stoi, estoi), one row per input and mode, then one per mode in total over
all inputs (file "(total)"). An input is a path (samples from byte 60) or
an int16 array. The lock is released while the threads code.)doc";

constexpr const char* kAblationDoc =
    R"doc(ablation(inputs, modes=None, settings=None, vary=None, threads=1, measures=False, post_processed=False) -> dict

What each setting buys, as zorvel-cli sweep --ablation (or --vary): the
inputs coded with `settings` and with each setting changed alone from them,
or with vary="NAME=FROM:TO:STEP" at each value; in `modes` (a mode, a list
of them, or None for all eight). The table as a dict of columns with its
CSV names (mode, rate_kbps, row, frames, segmental_snr_db, overall_snr_db,
segmental_change_db, overall_change_db; "value" of the varied setting with
vary; the distances' means with measures).)doc";

}  // namespace
}  // namespace zorvel::python

PYBIND11_MODULE(zorvel, m) {
    using namespace zorvel::python;
    namespace py = pybind11;
    m.doc() = kModuleDoc;
    // The docstrings open with their own signatures, in Python's words.
    py::options options;
    options.disable_function_signatures();

    m.def("modes", &modes,
          "modes() -> list of dict\n\nThe eight modes in the order of their numbers: each a dict "
          "of number (1..8), rate "
          "(\"12.2\"), bit_rate_kbps and file_suffix (\"_12.20\").");
    m.def("settings", &settings,
          "settings() -> list of dict\n\nThe coder settings as zorvel-cli settings lists them: "
          "each a dict of name, values, "
          "default and meaning.");
    m.def("read", &readSamples, py::arg("path"),
          "read(path) -> numpy.ndarray of int16\n\nThe samples of a file in the coder's layout "
          "(16-bit little-endian from byte 60 on, as written by the coder). A recording of "
          "another format is refused: convert it with import_recording(). OSError for a file "
          "that cannot be read.");
    m.def("import_recording", &importRecording, py::arg("path"), py::arg("zero_non_finite") = false,
          "import_recording(path, zero_non_finite=False) -> (samples, info)\n\nAny recording "
          "libsndfile reads, converted as zorvel-cli import converts it: channels averaged, "
          "resampled to 8000 Hz, rounded to 16 bits and clipped. `info` says what was converted "
          "(description, sample_rate, channels, frames, sample_type, container) and what came "
          "of it (samples, seconds, peak, clipped, non_finite). Samples that are NaN or "
          "infinite are refused unless zero_non_finite takes them as 0. OSError when the file "
          "cannot be converted.");

    py::class_<Result>(m, "Result", kResultDoc)
        .def_readonly("synthesis", &Result::synthesis,
                      "s'(n) as the encoding run writes it: int16.")
        .def_readonly("post", &Result::post,
                      "sp(n) as the encoding run writes it with --post: int16.")
        .def_readonly("synthesis_float", &Result::synthesisFloat, "s'(n) as the coder computed it.")
        .def_readonly("post_float", &Result::postFloat, "sp(n) as the coder computed it.")
        .def_readonly("frames", &Result::frames,
                      "The frames export: one array per field, one row per frame.")
        .def_readonly("measures", &Result::measures,
                      "The distances' means, STOI and ESTOI; None unless asked for.")
        .def_property_readonly("frame_count", &Result::frameCount, "Frames coded.")
        .def_property_readonly("segmental_snr", &Result::segmentalSnr,
                               "Mean of the frame SNRs, dB.")
        .def_property_readonly("overall_snr", &Result::overallSnr, "SNR of the whole run, dB.")
        .def_property_readonly("mode", &Result::mode, "The rate in kbit/s of the coder that ran.")
        .def_property_readonly("settings", &Result::settings, "Every setting's value in the run.")
        .def("signals", &Result::signals, py::arg("k"), kSignalsDoc)
        .def("wav", &Result::wav, py::arg("post_processed") = false,
             "wav(post_processed=False) -> bytes\n\nThe file zorvel-cli encode writes of this "
             "run (with --post when post_processed): the WAV header, zeros up to byte 60, then the "
             "samples of `synthesis` (or `post`).")
        .def("__repr__", &Result::repr);

    py::class_<Coder>(m, "Coder", kCoderDoc)
        .def(py::init<const py::object&, const py::object&>(), py::arg("mode") = "12.2",
             py::arg("settings") = py::none())
        .def("encode", &Coder::encode, py::arg("samples"), py::arg("measures") = false,
             py::arg("post_processed") = false, kEncodeDoc)
        .def_property_readonly("mode", &Coder::mode, "The rate in kbit/s, e.g. \"12.2\".")
        .def_property_readonly("mode_number", &Coder::modeNumber, "The mode's number, 1..8.")
        .def_property_readonly("settings", &Coder::settings,
                               "Every setting's value, as NAME=VALUE writes it.")
        .def("__repr__", &Coder::repr);

    m.def("sweep", &sweep, py::arg("inputs"), py::arg("settings") = py::none(),
          py::arg("threads") = 1, py::arg("measures") = false, py::arg("post_processed") = false,
          kSweepDoc);
    m.def("ablation", &ablation, py::arg("inputs"), py::arg("modes") = py::none(),
          py::arg("settings") = py::none(), py::arg("vary") = py::none(), py::arg("threads") = 1,
          py::arg("measures") = false, py::arg("post_processed") = false, kAblationDoc);
}
