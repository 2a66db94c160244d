// Refuses what cannot be done before anything is read (an output that is an
// input, or exists without -y; an input or a held-out file that cannot be
// read: tables trained on a part of what was asked would pass for the
// whole), analyses the files on a pool of threads, trains on one thread in
// the order of the list, writes the tables and prints the held-out table.
#include "cli/TrainCommand.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/FileChecks.h"
#include "cli/InterruptCleanup.h"
#include "cli/LsfInputs.h"
#include "cli/NumberText.h"
#include "cli/SweepInputs.h"
#include "coder/GainTraining.h"
#include "coder/LsfTraining.h"
#include "coder/WorkPool.h"
#include "files/StagedOutput.h"

namespace zorvel::cli {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The gain observations of every input, in the order of the list, coded
// with the LSF quantisers of `tables`; nothing when an input failed.
std::optional<std::vector<GainTrainingFile>> observeFiles(const std::vector<std::string>& names,
                                                          const InputFormatChoice& format,
                                                          unsigned jobs,
                                                          const QuantiserTables& tables) {
    const SweepInputs inputs = readableInputs(names, format);
    if (inputs.refused) return std::nullopt;
    std::vector<GainTrainingFile> files(inputs.paths.size());
    std::vector<std::string> failures(inputs.paths.size());
    runOnPool(inputs.paths.size(), poolThreads(jobs, inputs.paths.size()), [&](std::size_t k) {
        try {
            files[k] = observeGains([&] { return inputs.open(k); }, tables);
        } catch (const FileError& error) {
            failures[k] = error.what();
        }
        return true;
    });
    for (std::size_t k = 0; k < failures.size(); ++k) {
        if (failures[k].empty()) continue;
        std::cerr << "zorvel-cli: " << inputs.paths[k].string() << ": " << failures[k] << '\n';
        return std::nullopt;
    }
    return files;
}

std::string fixed(double value, int decimals) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

void printDistortionRow(std::ostream& out, const LsfDistortion& d, const std::string& set,
                        const SpectralDistortionStatistics& s, bool csv) {
    const std::string modes = modesText(d.design);
    if (csv) {
        out << d.design.bits << ',' << csvField(modes) << ',' << set << ',' << s.frames() << ','
            << numberText(s.mean()) << ',' << numberText(100.0 * s.outlierShare()) << ','
            << numberText(100.0 * s.largeShare()) << ',' << numberText(s.maximum()) << '\n';
        return;
    }
    out << std::left << std::setw(10) << d.design.bits << std::setw(22) << modes << std::setw(5)
        << set << std::right << std::setw(9) << s.frames() << std::setw(14) << fixed(s.mean(), 3)
        << std::setw(12) << fixed(100.0 * s.outlierShare(), 2) << std::setw(11)
        << fixed(100.0 * s.largeShare(), 3) << std::setw(10) << fixed(s.maximum(), 2) << '\n';
}

void printDistortion(std::ostream& out, const std::vector<LsfDistortion>& distortions, bool csv) {
    if (csv)
        out << "lsf_bits,modes,set,frames,mean_sd_db,share_2_4_db_percent,share_above_4_db_percent,"
               "max_sd_db\n";
    else
        out << std::left << std::setw(10) << "LSF bits" << std::setw(22) << "modes" << std::setw(5)
            << "set" << std::right << std::setw(9) << "frames" << std::setw(14) << "mean SD [dB]"
            << std::setw(12) << "2-4 dB [%]" << std::setw(11) << ">4 dB [%]" << std::setw(10)
            << "max [dB]" << '\n';
    for (const LsfDistortion& d : distortions) {
        if (d.design.twoSets) {
            printDistortionRow(out, d, "I", d.setI, csv);
            printDistortionRow(out, d, "II", d.set, csv);
        } else {
            printDistortionRow(out, d, "-", d.set, csv);
        }
    }
}

// The output may be no input (of either list) and no existing file without -y.
bool outputAccepted(const TrainArguments& a, const std::vector<std::string>& heldOut) {
    std::vector<std::string> inputs = a.inputs;
    inputs.insert(inputs.end(), heldOut.begin(), heldOut.end());
    for (const std::string& input : inputs) {
        try {
            checkStandardOutput(input);
            checkOutput(input, a.output, a.overwrite);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            return false;
        }
    }
    return true;
}

}  // namespace

int runTrain(const TrainArguments& a) {
    std::vector<std::string> heldOut;
    if (!a.heldOut.empty()) {
        const std::optional<std::vector<std::string>> list = readHeldOutList(a.heldOut);
        if (!list) return kExitFailed;
        heldOut = *list;
        if (heldOut.empty()) return usageError("train", "--held-out: the list names no file");
    }
    if (!outputAccepted(a, heldOut)) return kExitFailed;

    Clock::time_point start = Clock::now();
    const std::optional<std::vector<LsfTrainingFile>> files =
        analyseLsfInputs(a.inputs, a.inputFormat, a.jobs);
    if (!files) return kExitFailed;
    const double analysed = secondsSince(start);
    // The held-out speech is read before anything is trained or written.
    std::optional<std::vector<LsfTrainingFile>> test;
    if (!heldOut.empty()) {
        const Clock::time_point heldOutStart = Clock::now();
        test = analyseLsfInputs(heldOut, a.inputFormat, a.jobs);
        if (!test) return kExitFailed;
        start += Clock::now() - heldOutStart;  // not part of the training's time
    }
    const std::int64_t frames = framesOf(*files);
    QuantiserTables tables;
    try {
        trainLsfTables(*files, tables);
        // The gains are observed in the coder quantising with those LSF
        // quantisers.
        addProvisionalGainTables(tables);
        const std::optional<std::vector<GainTrainingFile>> gains =
            observeFiles(a.inputs, a.inputFormat, a.jobs, tables);
        if (!gains) return kExitFailed;
        trainGainTables(*gains, tables);
    } catch (const std::invalid_argument& error) {
        std::cerr << "zorvel-cli train: " << error.what() << '\n';
        return kExitFailed;
    }
    tables.setText("provenance", "zorvel-cli train: " + std::to_string(files->size()) + " files, " +
                                     std::to_string(frames) + " frames");
    const double trained = secondsSince(start);

    StagingArea area(kOverwriteAdvice);
    InterruptCleanup cleanup(area);
    try {
        StagedFile staged(area, a.output);
        const std::string bytes = tablesBytes(tables);
        writeAll(staged.descriptor(), bytes.data(), bytes.size(), a.output);
        staged.commit(a.overwrite);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli: " << a.output << ": " << error.what() << '\n';
        return kExitFailed;
    }
    std::cerr << "zorvel-cli train: " << files->size() << " files, " << frames << " frames ("
              << fixed(static_cast<double>(frames) * kFrameSamples / kSampleRate / 60.0, 1)
              << " min of speech): analysed in " << fixed(analysed, 1) << " s, trained in "
              << fixed(trained - analysed, 1) << " s\n";

    if (!test) return kExitOk;
    printDistortion(std::cout, measureLsfQuantisers(tables, *test), a.csv);
    std::cout.flush();
    if (std::cout.fail()) {
        std::cerr << "zorvel-cli: could not write the table to standard output\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace zorvel::cli
