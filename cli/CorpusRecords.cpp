#include "cli/CorpusRecords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iomanip>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <system_error>
#include <tuple>

#include "cli/NumberText.h"
#include "cli/TextLines.h"
#include "files/FileError.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kStatusOk = "ok";
// What records of the adaptive codebook switched off said before it was named as a setting.
constexpr const char* kOldAdaptiveCodebookName = "no-adaptive";
constexpr const char* kStatusFailed = "failed";

bool isNumber(const Json& object, const char* key) {
    return object.contains(key) && object[key].is_number();
}

bool isString(const Json& object, const char* key) {
    return object.contains(key) && object[key].is_string();
}

std::string systemMessage(int error) { return std::generic_category().message(error); }

// The same file, or the same place for one that is not there yet.
bool samePlace(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (sameFile(a, b)) return true;
    std::error_code errorA;
    std::error_code errorB;
    const std::filesystem::path keyA = std::filesystem::weakly_canonical(a, errorA);
    const std::filesystem::path keyB = std::filesystem::weakly_canonical(b, errorB);
    return !errorA && !errorB && keyA == keyB;
}

// Whether standard output is the regular file at `path`: appended records
// and the run's table or output would mix there.
bool isStandardOutput(const std::filesystem::path& path) {
    struct stat output {};
    struct stat file {};
    return fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode) &&
           stat(path.c_str(), &file) == 0 && file.st_dev == output.st_dev &&
           file.st_ino == output.st_ino;
}

}  // namespace

std::string settingName(const CoderSettings& settings) {
    return settings.isDefault() ? "default" : settingsSummary(settings);
}

std::string recordLine(const CorpusRecord& record) {
    const ModeFigures& f = record.figures;
    Json line = {{"file", record.file},        {"command", record.command},
                 {"mode", modeNumber(f.mode)}, {"bit_rate_kbps", modeBitRate(f.mode)},
                 {"setting", record.setting},  {"status", record.ok ? kStatusOk : kStatusFailed}};
    if (record.ok) {
        line["frames"] = f.frames;
        line["signal_energy"] = f.signalEnergy;
        line["noise_energy"] = f.noiseEnergy;
        line["segmental_snr_db"] = f.segmentalSnr;
        line["overall_snr_db"] = f.overallSnr;
        if (f.measures) {
            for (SpectralMeasure measure : kAllSpectralMeasures) {
                const std::optional<double> mean = f.measures->mean(measure);
                line[std::string(infoOf(measure).csvName)] = mean ? Json(*mean) : Json(nullptr);
            }
            for (FileMeasure measure : kAllFileMeasures) {
                const std::optional<double> mean = f.measures->mean(measure);
                line[std::string(infoOf(measure).csvName)] = mean ? Json(*mean) : Json(nullptr);
            }
        }
        if (!record.output.empty()) line["output"] = record.output;
    } else {
        line["reason"] = record.reason;
    }
    // Names that are not UTF-8 are written with the replacement character.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

std::optional<CorpusRecord> parseRecord(std::string_view line, std::string& problem) {
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        problem = "not a JSON object";
        return std::nullopt;
    }
    for (const char* key : {"file", "command", "setting", "status"}) {
        if (!isString(object, key)) {
            problem = std::string("no text \"") + key + "\"";
            return std::nullopt;
        }
    }
    const std::optional<CoderMode> mode =
        object.contains("mode") && object["mode"].is_number_integer()
            ? modeFromNumber(object["mode"].get<int>())
            : std::nullopt;
    if (!mode) {
        problem = "no mode number 1..8";
        return std::nullopt;
    }
    CorpusRecord record;
    record.file = object["file"].get<std::string>();
    record.command = object["command"].get<std::string>();
    record.setting = object["setting"].get<std::string>();
    if (record.setting == kOldAdaptiveCodebookName)
        record.setting = settingName({.adaptiveCodebook = false});
    record.figures.mode = *mode;
    const std::string status = object["status"].get<std::string>();
    if (status == kStatusFailed) {
        record.ok = false;
        record.reason = isString(object, "reason") ? object["reason"].get<std::string>() : "";
        return record;
    }
    if (status != kStatusOk) {
        problem = "status is neither \"ok\" nor \"failed\"";
        return std::nullopt;
    }
    for (const char* key :
         {"signal_energy", "noise_energy", "segmental_snr_db", "overall_snr_db"}) {
        if (!isNumber(object, key)) {
            problem = std::string("no number \"") + key + "\"";
            return std::nullopt;
        }
    }
    if (!object.contains("frames") || !object["frames"].is_number_integer() ||
        object["frames"].get<std::int64_t>() < 0) {
        problem = "no frame count";
        return std::nullopt;
    }
    ModeFigures& f = record.figures;
    f.frames = object["frames"].get<int>();
    f.signalEnergy = object["signal_energy"].get<double>();
    f.noiseEnergy = object["noise_energy"].get<double>();
    f.segmentalSnr = object["segmental_snr_db"].get<double>();
    f.overallSnr = object["overall_snr_db"].get<double>();
    if (isString(object, "output")) record.output = object["output"].get<std::string>();
    return record;
}

RecordFile::RecordFile(const std::filesystem::path& path) : path_(path) {
    descriptor_ = Descriptor(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!descriptor_)
        throw FileError("cannot open '" + path.string() +
                        "' for the results: " + systemMessage(errno));
}

void RecordFile::append(const CorpusRecord& record) {
    const std::string line = recordLine(record);
    // aggregate reads no longer line; one would take only a name written
    // with every byte escaped, near the longest argument the system passes.
    if (line.size() - 1 > kLongestLine)
        throw FileError("could not write to '" + path_.string() + "': the record is " +
                        tooLongText());
    ssize_t written = 0;
    do {
        written = write(descriptor_.get(), line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0 || static_cast<std::size_t>(written) != line.size()) failed_ = true;
    if (written < 0)
        throw FileError("could not write to '" + path_.string() + "': " + systemMessage(errno));
    // A short write to a regular file means the disk or a limit is full: the
    // part written is a broken line, which aggregate reports and skips.
    if (static_cast<std::size_t>(written) != line.size())
        throw FileError("could not write a whole line to '" + path_.string() + "'");
}

bool openRecordFile(const std::string& path, std::span<const std::string> inputs,
                    std::span<const std::filesystem::path> outputs,
                    std::optional<RecordFile>& records) {
    if (path.empty()) return true;
    try {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw FileError("the results file '" + path + "' is a directory");
        for (const std::string& input : inputs)
            if (sameFile(input, path))
                throw FileError("the results file '" + path + "' is the input '" + input + "'");
        for (const std::filesystem::path& output : outputs)
            if (output != "-" && samePlace(output, path))
                throw FileError("the results file '" + path + "' is the output '" +
                                output.string() + "'");
        if (isStandardOutput(path))
            throw FileError("the results file '" + path + "' is standard output");
        records.emplace(path);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli: " << error.what() << '\n';
        return false;
    }
    return true;
}

std::vector<CorpusTotal> corpusTotals(std::span<const CorpusRecord> records) {
    // (setting, mode, file): the map's order is that of the totals and, within
    // one total, the order in which the files are summed.
    using Key = std::tuple<std::string, int, std::string>;
    std::map<Key, const CorpusRecord*> latest;
    for (const CorpusRecord& record : records)
        latest[Key{record.setting, modeIndex(record.figures.mode), record.file}] = &record;

    std::vector<CorpusTotal> totals;
    std::vector<ModeFigures> coded;
    auto close = [&] {
        if (totals.empty()) return;
        const CoderMode mode = totals.back().figures.mode;
        totals.back().figures = totalFigures(coded);
        totals.back().figures.mode = mode;
        coded.clear();
    };
    for (const auto& [key, record] : latest) {
        const auto& [setting, mode, file] = key;
        if (totals.empty() || totals.back().setting != setting ||
            modeIndex(totals.back().figures.mode) != mode) {
            close();
            CorpusTotal total;
            total.setting = setting;
            total.figures.mode = record->figures.mode;
            totals.push_back(std::move(total));
        }
        if (record->ok) {
            coded.push_back(record->figures);
            ++totals.back().files;
        } else {
            ++totals.back().failed;
        }
    }
    close();
    return totals;
}

void printCorpusTable(std::ostream& out, std::span<const CorpusTotal> totals) {
    std::size_t settingWidth = 7;
    for (const CorpusTotal& total : totals)
        settingWidth = std::max(settingWidth, tableText(total.setting).size());
    const auto w = static_cast<int>(settingWidth);
    out << std::left << std::setw(w) << "setting" << std::right << std::setw(6) << "mode"
        << std::setw(8) << "kbit/s" << std::setw(8) << "files" << std::setw(8) << "failed"
        << std::setw(10) << "frames" << std::setw(14) << "SNRseg [dB]" << std::setw(12)
        << "SNR [dB]" << '\n';
    out << std::fixed;
    for (const CorpusTotal& total : totals) {
        const ModeFigures& f = total.figures;
        out << std::left << std::setw(w) << tableText(total.setting) << std::right << std::setw(6)
            << modeNumber(f.mode) << std::setw(8) << rulesOf(f.mode).rate << std::setw(8)
            << total.files << std::setw(8) << total.failed << std::setw(10) << f.frames
            << std::setprecision(2) << std::setw(14) << f.segmentalSnr << std::setw(12)
            << f.overallSnr << '\n';
    }
    out << std::defaultfloat;
}

void printCorpusCsv(std::ostream& out, std::span<const CorpusTotal> totals) {
    out << "setting,mode,bit_rate_kbps,files,failed,frames,segmental_snr_db,overall_snr_db,"
           "signal_energy,noise_energy\n";
    for (const CorpusTotal& total : totals) {
        const ModeFigures& f = total.figures;
        out << csvField(total.setting) << ',' << modeNumber(f.mode) << ',' << rulesOf(f.mode).rate
            << ',' << total.files << ',' << total.failed << ',' << f.frames << ','
            << numberText(f.segmentalSnr) << ',' << numberText(f.overallSnr) << ','
            << numberText(f.signalEnergy) << ',' << numberText(f.noiseEnergy) << '\n';
    }
}

}  // namespace zorvel::cli
