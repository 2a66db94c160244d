// JSON: an array with one object per frame, keyed by the names of the frame
// fields, in their order; lists stay lists. CSV: one column per number, a
// list field `name` giving the columns name_0, name_1, ... Numbers are the
// shortest text that reads back to the same double. With --measures the
// spectral distances follow the parameters, one key or column each: null in
// JSON and an empty cell in CSV where a frame has no value.
#include "cli/FramesCommand.h"

#include <future>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/FailureSummary.h"
#include "cli/FileChecks.h"
#include "cli/FrameFields.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/NumberText.h"
#include "cli/StandardDescriptors.h"
#include "coder/FrameDistances.h"
#include "files/StagedOutput.h"
#include "sound/DescriptorStream.h"

namespace zorvel::cli {
namespace {

using Json = nlohmann::ordered_json;

template <class T>
constexpr bool kIsList =
    std::is_same_v<T, std::span<const std::int32_t>> || std::is_same_v<T, std::span<const double>>;

// A code's index as JSON and CSV read it: exactly, as a whole number.
Json jsonValue(const FieldValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::span<const ParameterCode>>) {
                Json codes = Json::array();
                for (const ParameterCode& code : v)
                    codes.push_back({{"parameter", codedParameterName(code.parameter)},
                                     {"subframe", code.subframe},
                                     {"index", code.index},
                                     {"bits", code.bits}});
                return codes;
            } else if constexpr (kIsList<T>) {
                return Json(std::vector(v.begin(), v.end()));
            } else {
                return Json(v);
            }
        },
        value);
}

void addFields(Json& object, std::span<const FrameField> fields, const SpeechCoder& coder) {
    for (const FrameField& field : fields)
        object[std::string(field.name)] = jsonValue(field.read(coder));
}

void writeJson(SpeechCoder& coder, bool signals, std::ostream& out) {
    out << '[';
    const char* separator = "\n";
    while (coder.nextFrame() == FrameStep::coded) {
        Json frame = Json::object();
        addFields(frame, parameterFields(coder), coder);
        if (signals) addFields(frame, signalFields(), coder);
        out << separator << frame.dump();
        separator = ",\n";
    }
    out << "\n]\n";
}

std::string csvNumber(std::int32_t value) { return numberText(static_cast<std::int64_t>(value)); }
std::string csvNumber(double value) { return numberText(value); }

// The field's CSV cells, header names or values.
void appendCells(std::vector<std::string>& cells, const FrameField& field, const FieldValue& value,
                 bool header) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::span<const ParameterCode>>) {
                // Four cells a code: its parameter's name, subframe, index and bits.
                for (std::size_t i = 0; i < v.size(); ++i) {
                    const std::string name = std::string(field.name) + "_" + std::to_string(i);
                    cells.push_back(header ? name + "_parameter"
                                           : std::string(codedParameterName(v[i].parameter)));
                    cells.push_back(header ? name + "_subframe" : csvNumber(v[i].subframe));
                    cells.push_back(header ? name + "_index"
                                           : numberText(static_cast<std::int64_t>(v[i].index)));
                    cells.push_back(header ? name + "_bits" : csvNumber(v[i].bits));
                }
            } else if constexpr (kIsList<T>) {
                for (std::size_t i = 0; i < v.size(); ++i)
                    cells.push_back(header ? std::string(field.name) + "_" + std::to_string(i)
                                           : csvNumber(v[i]));
            } else {
                cells.push_back(header ? std::string(field.name) : csvNumber(v));
            }
        },
        value);
}

// The parameter cells of the current frame (or their names) joined by commas.
std::string csvParameters(const SpeechCoder& coder, bool header) {
    std::vector<std::string> cells;
    for (const FrameField& field : parameterFields(coder))
        appendCells(cells, field, field.read(coder), header);
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) line += (i == 0 ? "" : ",") + cells[i];
    return line;
}

void writeCsv(SpeechCoder& coder, std::ostream& out) {
    // The list lengths are fixed, so the cleared coder names them.
    out << csvParameters(coder, true) << '\n';
    while (coder.nextFrame() == FrameStep::coded) out << csvParameters(coder, false) << '\n';
}

// With --measures each row waits for its distances, computed a batch of
// frames at a time on another thread while the coder codes the next batch.
// A row's text before and after the distances is made as its frame is coded
// (the next frame replaces the record); the distances' text once they are in.
struct PendingRow {
    std::string before;
    std::string after;
    Signal s{};
    Signal out{};
};
using RowBatch = std::vector<PendingRow>;
constexpr std::size_t kRowsPerBatch = 128;

std::vector<FrameMeasures> measureRows(const RowBatch& rows) {
    std::vector<FrameMeasures> values;
    values.reserve(rows.size());
    for (const PendingRow& row : rows) values.push_back(measureFrame(row.s, row.out));
    return values;
}

// Codes every frame; `makeRow` gives a frame's text, `measureText` that of
// its distances; the rows go out in order.
template <class MakeRow, class MeasureText>
void writeMeasuredRows(SpeechCoder& coder, SaveOption output, MakeRow makeRow,
                       MeasureText measureText, std::ostream& out) {
    std::shared_ptr<const RowBatch> measuring;
    std::future<std::vector<FrameMeasures>> values;
    auto writeMeasured = [&] {
        if (!measuring) return;
        const std::vector<FrameMeasures> v = values.get();
        for (std::size_t i = 0; i < measuring->size(); ++i)
            out << (*measuring)[i].before << measureText(v[i]) << (*measuring)[i].after;
        measuring.reset();
    };
    auto measureInBackground = [&](RowBatch batch) {
        writeMeasured();
        measuring = std::make_shared<const RowBatch>(std::move(batch));
        values = std::async(std::launch::async, [rows = measuring] { return measureRows(*rows); });
    };
    RowBatch filling;
    while (coder.nextFrame() == FrameStep::coded) {
        const FrameRecord& record = coder.currentFrame();
        PendingRow row = makeRow(coder);
        // A frame silent as read is measured as silence, whatever filter followed.
        if (!record.inputSilent) row.s = record.speech;
        row.out = output == SaveOption::postProcessed ? record.postProcessedSpeech
                                                      : record.synthesizedSpeech;
        filling.push_back(std::move(row));
        if (filling.size() == kRowsPerBatch) measureInBackground(std::exchange(filling, {}));
    }
    if (!filling.empty()) measureInBackground(std::move(filling));
    writeMeasured();
}

void writeJsonWithMeasures(SpeechCoder& coder, bool signals, SaveOption output, std::ostream& out) {
    out << '[';
    const char* separator = "\n";
    auto makeRow = [&](const SpeechCoder& c) {
        Json parameters = Json::object();
        addFields(parameters, parameterFields(c), c);
        PendingRow row;
        row.before = separator + parameters.dump();
        row.before.pop_back();  // the object goes on with the distances
        separator = ",\n";
        if (signals) {
            Json arrays = Json::object();
            addFields(arrays, signalFields(), c);
            row.after = "," + arrays.dump().substr(1);
        } else {
            row.after = "}";
        }
        return row;
    };
    auto measureText = [](const FrameMeasures& values) {
        std::string text;
        for (SpectralMeasure measure : kAllSpectralMeasures) {
            const std::optional<double> value = valueOf(values, measure);
            text += ",\"";
            text += infoOf(measure).key;
            text += "\":";
            text += (value ? Json(*value) : Json(nullptr)).dump();
        }
        return text;
    };
    writeMeasuredRows(coder, output, makeRow, measureText, out);
    out << "\n]\n";
}

void writeCsvWithMeasures(SpeechCoder& coder, SaveOption output, std::ostream& out) {
    out << csvParameters(coder, true);
    for (SpectralMeasure measure : kAllSpectralMeasures) out << ',' << infoOf(measure).key;
    out << '\n';
    auto makeRow = [](const SpeechCoder& c) {
        PendingRow row;
        row.before = csvParameters(c, false);
        row.after = "\n";
        return row;
    };
    auto measureText = [](const FrameMeasures& values) {
        std::string text;
        for (SpectralMeasure measure : kAllSpectralMeasures) {
            const std::optional<double> value = valueOf(values, measure);
            text += ',';
            if (value) text += numberText(*value);
        }
        return text;
    };
    writeMeasuredRows(coder, output, makeRow, measureText, out);
}

void writeFrames(const FramesArguments& a, bool convert, std::ostream& out) {
    SpeechCoder coder(openCoderInput(a.input, convert, a.inputFormat), a.coder.mode,
                      a.coder.settings);
    coder.setCheckpoints(nullptr);  // straight through: memory stays that of one frame
    const SaveOption output = a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
    if (a.measures && a.format == "json")
        writeJsonWithMeasures(coder, a.signals, output, out);
    else if (a.measures)
        writeCsvWithMeasures(coder, output, out);
    else if (a.format == "json")
        writeJson(coder, a.signals, out);
    else
        writeCsv(coder, out);
}

void checkWritten(DescriptorStream& stream, const std::string& name) {
    stream.flush();
    if (!stream.fail()) return;
    const int error = stream.firstError();
    throw FileError("could not write '" + name + "'" +
                    (error != 0 ? ": " + std::generic_category().message(error) : ""));
}

// A new file is staged and named when complete; a device or a FIFO is
// written as the rows come.
void writeFramesToFile(const FramesArguments& a, bool convert, StagingArea& area) {
    if (outputPlace(a.output) == OutputPlace::InPlace) {
        DescriptorStream stream(openInPlace(a.output));
        writeFrames(a, convert, stream);
        checkWritten(stream, a.output);
        return;
    }
    StagedFile staged(area, a.output);
    DescriptorStream stream(staged.descriptor());
    writeFrames(a, convert, stream);
    checkWritten(stream, a.output);
    staged.commit(a.overwrite);
}

// Writes the frames of arguments.input to arguments.output; the reason,
// reported on standard error, when that failed.
std::optional<std::string> framesOfOne(const FramesArguments& arguments) {
    try {
        const bool toFile = !arguments.output.empty() && arguments.output != "-";
        if (!toFile) checkStandardOutput(arguments.input);
        checkInput(arguments.input);
        const bool convert = convertsInput(arguments.input, arguments.inputFormat);
        if (toFile) checkOutput(arguments.input, arguments.output, arguments.overwrite);
        StagingArea area(kOverwriteAdvice);
        InterruptCleanup cleanup(area);
        if (toFile) {
            writeFramesToFile(arguments, convert, area);
        } else {
            writeFrames(arguments, convert, std::cout);
            if (const std::optional<std::string> problem = takeStandardOutputProblem())
                throw FileError(*problem);
        }
    } catch (const std::exception& error) {
        std::cerr << "zorvel-cli: " << arguments.input << ": " << error.what() << '\n';
        return error.what();
    }
    return std::nullopt;
}

int framesOfList(const FramesArguments& arguments) {
    if (!prepareOutputDirectory(arguments.directory)) return kExitFailed;
    // Every input's output is named before any is written: none may be
    // another input's or replace an input of this run.
    std::vector<std::filesystem::path> inputs;
    std::vector<std::filesystem::path> outputs;  // empty: skipped
    std::size_t skipped = 0;
    for (const std::string& input : arguments.inputs) {
        std::filesystem::path output =
            framesOutputName(input, arguments.coder.mode, arguments.format, arguments.directory,
                             arguments.coder.settings);
        std::error_code error;
        if (arguments.list.skipExisting && std::filesystem::is_regular_file(output, error)) {
            ++skipped;
            output.clear();
        }
        inputs.emplace_back(input);
        outputs.push_back(std::move(output));
    }
    const std::vector<std::string> clashes = outputClashes(inputs, outputs);
    std::vector<std::string> failures;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        if (outputs[k].empty()) continue;
        if (!clashes[k].empty()) {
            std::cerr << "zorvel-cli: " << inputs[k].string() << ": " << clashes[k] << '\n';
            failures.push_back(clashes[k]);
            continue;
        }
        FramesArguments one = arguments;
        one.input = inputs[k].string();
        one.output = outputs[k].string();
        if (std::optional<std::string> failure = framesOfOne(one))
            failures.push_back(std::move(*failure));
    }
    if (arguments.list.skipExisting) printSkipped(std::cerr, skipped, arguments.inputs.size());
    printFailureSummary(std::cerr, failures, arguments.inputs.size());
    return failures.empty() ? kExitOk : kExitFailed;
}

}  // namespace

std::filesystem::path framesOutputName(const std::filesystem::path& input, CoderMode mode,
                                       const std::string& format,
                                       const std::filesystem::path& directory,
                                       const CoderSettings& settings) {
    const std::filesystem::path base = directory.empty() ? input : directory / input.filename();
    return base.string() + std::string(rulesOf(mode).fileSuffix) + "_frames" +
           settingsSuffix(settings) + "." + format;
}

int runFrames(const FramesArguments& arguments) {
    if (arguments.signals && arguments.format != "json")
        return usageError("frames", "--signals needs --format json");
    const InputSelection& list = arguments.list;
    const bool listed =
        !list.filesFrom.empty() || !list.shard.empty() || !arguments.directory.empty();
    if (!listed) {
        if (list.skipExisting) return usageError("frames", "--skip-existing needs a list or -d");
        if (arguments.overwrite && (arguments.output.empty() || arguments.output == "-"))
            return usageError("frames",
                              "-y: the frames go to standard output, which replaces no file");
        return framesOfOne(arguments) ? kExitFailed : kExitOk;
    }
    if (!arguments.output.empty())
        return usageError("frames", "-o names one output file; use -d for a list");
    return framesOfList(arguments);
}

}  // namespace zorvel::cli
