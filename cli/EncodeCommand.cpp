// Plans the batch (output names, checks that refuse a file before anything is
// written), codes the runnable files on a pool of threads, then prints the
// result table. A file that fails is reported on standard error by name and
// reason; the others go on, and a run over a list ends with a summary of the
// failures. With --jsonl each file's figures are appended as a record. A new
// file is staged and named when complete; standard output, a device or a FIFO
// gets the output as it is coded.
#include "cli/EncodeCommand.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <optional>
#include <system_error>

#include "cli/CorpusRecords.h"
#include "cli/FailureSummary.h"
#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/Progress.h"
#include "cli/ResultTable.h"
#include "cli/StandardDescriptors.h"
#include "coder/FrameDistances.h"
#include "coder/ModeSweep.h"
#include "coder/SpeechCoder.h"
#include "coder/WorkPool.h"
#include "files/StagedOutput.h"
#include "sound/DescriptorStream.h"
#include "sound/Wave.h"

namespace zorvel::cli {
namespace {

constexpr double kFrameSeconds = static_cast<double>(kFrameSamples) / kSampleRate;

struct EncodeJob {
    std::filesystem::path input;  // as given
    std::filesystem::path output;
    std::string refusal;   // why the file is not coded; empty when it is
    bool convert = false;  // converted in memory (--resample) before it is coded
    bool skipped = false;  // --skip-existing: the output is there
    std::optional<ResultRow> result;
    std::string failure;  // why coding it failed
};

// Where the records of a run go, if anywhere.
struct RunRecords {
    RecordFile* file = nullptr;
    std::string setting;

    void coded(const EncodeJob& job, const SpeechCoder& coder,
               const std::optional<MeasureMeans>& measures) const {
        if (file == nullptr) return;
        ModeFigures figures = figuresOf(coder);
        figures.measures = measures;
        file->append(
            {job.input.string(), "encode", setting, true, {}, figures, job.output.string()});
    }
    // Left out once a record could not be written: that error is reported
    // with the file it failed.
    void failed(const EncodeJob& job, CoderMode mode, std::string_view reason) const {
        if (file == nullptr || file->failed()) return;
        ModeFigures figures;
        figures.mode = mode;
        file->append(
            {job.input.string(), "encode", setting, false, std::string(reason), figures, {}});
    }
};

// True when the output is a file already: --skip-existing leaves its input out.
bool outputExists(const std::filesystem::path& output) {
    std::error_code error;
    return output != "-" && std::filesystem::is_regular_file(output, error);
}

std::string failureLine(const std::filesystem::path& input, std::string_view reason) {
    return "zorvel-cli: " + input.string() + ": " + std::string(reason);
}

std::vector<EncodeJob> planJobs(const EncodeArguments& a) {
    std::vector<EncodeJob> jobs;
    for (const std::string& input : a.inputs) {
        EncodeJob job{input, {}, {}, false, false, {}, {}};
        job.output = a.output.empty() ? defaultOutputName(job.input, a.coder.mode, a.postProcessed,
                                                          a.directory, a.coder.settings)
                                      : std::filesystem::path(a.output);
        if (a.list.skipExisting && outputExists(job.output)) {
            job.skipped = true;
            jobs.push_back(std::move(job));
            continue;
        }
        try {
            checkInput(job.input);
            job.convert = convertsInput(job.input, a.inputFormat);
            checkOutput(job.input, job.output, a.overwrite);
        } catch (const FileError& error) {
            job.refusal = error.what();
        }
        jobs.push_back(std::move(job));
    }
    // Two inputs must not share an output, and no output may replace another
    // input of the same run.
    refuseOutputClashes(jobs);
    return jobs;
}

SaveOption saveOption(const EncodeArguments& a) {
    return a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
}

// `readError`: the coder's runReadError().
void checkRun(RunResult result, const DescriptorStream& stream, const EncodeJob& job,
              int readError) {
    if (readError != 0)
        throw FileError(
            "the input could not be read: " + std::generic_category().message(readError),
            readError);
    if (result == RunResult::inputChanged)
        throw FileError("the input changed its length while it was coded: the output '" +
                        job.output.string() + "' does not match its header");
    if (result != RunResult::completed || stream.fail()) {
        const int error = stream.firstError();
        throw FileError("could not write the output '" + job.output.string() + "'" +
                        (error != 0 ? ": " + std::generic_category().message(error) : ""));
    }
}

// What a run with --measures reports; nothing without.
std::optional<MeasureMeans> means(std::optional<RunMeasures>& measures) {
    if (!measures) return std::nullopt;
    return measures->finish();
}

// The run into a staged output. It writes through the staged file's
// descriptor and never opens the output by a name, so nothing it does can
// make a file an interrupt missed.
//
// The record goes out before the output is named: a run killed between the
// two codes the file again when started with --skip-existing, and aggregate
// keeps the later of the two equal records; the other way round, the file
// would be skipped with no record at all.
void encodeStaged(SpeechCoder& coder, const EncodeJob& job, const EncodeArguments& a,
                  StagingArea& area, BatchProgress& progress, std::size_t slot,
                  const RunRecords& records, std::optional<RunMeasures>& measures) {
    StagedFile staged(area, job.output);
    progress.begin(slot, staged.temporary());
    DescriptorStream stream(staged.descriptor());
    const RunResult result = coder.encodeFile(stream, saveOption(a));
    stream.flush();
    checkRun(result, stream, job, coder.runReadError());
    records.coded(job, coder, means(measures));
    staged.commit(a.overwrite);
}

// Standard output, or a device or a FIFO written in place, cannot be staged
// without holding the whole output: the run sends it front to back as it
// codes, the header first (a regular input's length is known at the start).
void encodeInOrder(SpeechCoder& coder, const EncodeJob& job, const EncodeArguments& a,
                   OutputPlace place, BatchProgress& progress, std::size_t slot) {
    const bool toStandardOutput = place == OutputPlace::StandardOutput;
    DescriptorStream stream = toStandardOutput ? DescriptorStream(STDOUT_FILENO)
                                               : DescriptorStream(openInPlace(job.output));
    progress.begin(slot, "/proc/self/fd/" + std::to_string(stream.descriptor()));
    const RunResult result = coder.encodeFileInOrder(stream, saveOption(a));
    stream.flush();
    checkRun(result, stream, job, coder.runReadError());
}

// One encoding run, exactly the desktop program's.
ResultRow encodeOne(const EncodeJob& job, const EncodeArguments& a, StagingArea& area,
                    BatchProgress& progress, std::size_t slot, const RunRecords& records) {
    SpeechCoder coder(openCoderInput(job.input, job.convert, a.inputFormat), a.coder.mode,
                      a.coder.settings);
    // The distances are taken from each record as its frame is written, of
    // the samples as written: the run itself and its output stay those of a
    // run without them.
    std::optional<RunMeasures> measures;
    if (a.measures) {
        measures.emplace(saveOption(a));
        coder.frameWritten = [&coder, &measures](std::int64_t) {
            measures->add(coder.currentFrame());
            return true;
        };
    }
    const auto start = std::chrono::steady_clock::now();
    const OutputPlace place = outputPlace(job.output);
    if (place == OutputPlace::NewFile) {
        encodeStaged(coder, job, a, area, progress, slot, records, measures);
    } else {
        encodeInOrder(coder, job, a, place, progress, slot);
        records.coded(job, coder, means(measures));
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    ResultRow row{
        job.input.string(), coder.frameCount(), coder.segmentalSnr(), coder.overallSnr(), 0.0,
        means(measures)};
    const double speechSeconds = coder.frameCount() * kFrameSeconds;
    if (elapsed.count() > 0.0) row.timesRealTime = speechSeconds / elapsed.count();
    return row;
}

// Codes the runnable jobs on `threads` threads, each taking the next file.
void codeJobs(std::vector<EncodeJob*>& runnable, const EncodeArguments& a, unsigned threads,
              StagingArea& area, BatchProgress& progress, ProgressBar& bar,
              const RunRecords& records) {
    runOnPool(runnable.size(), threads, [&](std::size_t slot) {
        EncodeJob& job = *runnable[slot];
        try {
            job.result = encodeOne(job, a, area, progress, slot, records);
        } catch (const std::exception& error) {
            // A file that fails is reported and the others go on.
            job.failure = error.what();
            bar.message(failureLine(job.input, error.what()));
            try {
                records.failed(job, a.coder.mode, job.failure);
            } catch (const FileError& recordError) {
                bar.message("zorvel-cli: " + std::string(recordError.what()));
            }
        }
        progress.finish(slot);
        return true;
    });
}

}  // namespace

std::filesystem::path defaultOutputName(const std::filesystem::path& input, CoderMode mode,
                                        bool postProcessed, const std::filesystem::path& directory,
                                        const CoderSettings& settings) {
    const std::filesystem::path base = directory.empty() ? input : directory / input.filename();
    return base.string() + outputNameSuffix(mode, postProcessed, settings);
}

int runEncode(const EncodeArguments& arguments) {
    if (!arguments.output.empty() && arguments.inputs.size() > 1)
        return usageError("encode", "-o names one output file; use -d for several inputs");
    if (arguments.output == "-" && arguments.overwrite)
        return usageError("encode", "-y: -o - writes to standard output, which replaces no file");
    // Standard output takes the table, or the WAV file with -o -.
    for (const std::string& input : arguments.inputs) {
        try {
            checkStandardOutput(input);
        } catch (const FileError& error) {
            std::cerr << failureLine(input, error.what()) << '\n';
            return kExitFailed;
        }
    }

    // The outputs are planned first: the records may be none of them, and
    // nothing is made or written before that is known.
    std::vector<EncodeJob> jobs = planJobs(arguments);
    std::vector<std::filesystem::path> outputs;
    for (const EncodeJob& job : jobs) outputs.push_back(job.output);
    std::optional<RecordFile> recordFile;
    if (!openRecordFile(arguments.jsonl, arguments.inputs, outputs, recordFile)) return kExitFailed;
    if (!prepareOutputDirectory(arguments.directory)) return kExitFailed;
    const RunRecords records{recordFile ? &*recordFile : nullptr,
                             settingName(arguments.coder.settings)};
    std::vector<EncodeJob*> runnable;
    std::vector<std::int64_t> expected;
    std::size_t skipped = 0;
    for (EncodeJob& job : jobs) {
        if (job.skipped) {
            ++skipped;
        } else if (!job.refusal.empty()) {
            std::cerr << failureLine(job.input, job.refusal) << '\n';
            job.failure = job.refusal;
            try {
                records.failed(job, arguments.coder.mode, job.refusal);
            } catch (const FileError& error) {
                std::cerr << "zorvel-cli: " << error.what() << '\n';
            }
        } else {
            runnable.push_back(&job);
            expected.push_back(framesToCode(job.input, job.convert));
        }
    }
    if (arguments.list.skipExisting) printSkipped(std::cerr, skipped, jobs.size());

    StagingArea area(kOverwriteAdvice);
    {
        InterruptCleanup cleanup(area);
        BatchProgress progress(std::move(expected));
        ProgressBar bar(progress, standardErrorIsTerminal() && !runnable.empty());
        codeJobs(runnable, arguments, poolThreads(arguments.jobs, runnable.size()), area, progress,
                 bar, records);
    }

    std::vector<ResultRow> rows;
    std::vector<std::string> failures;
    for (const EncodeJob& job : jobs) {
        if (job.result) rows.push_back(*job.result);
        if (!job.failure.empty()) failures.push_back(job.failure);
    }
    printFailureSummary(std::cerr, failures, jobs.size());
    // With the output on standard output the table goes to standard error.
    std::ostream& table = arguments.output == "-" ? std::cerr : std::cout;
    if (arguments.csv)
        printCsv(table, rows, arguments.measures);
    else if (!rows.empty())
        printTable(table, rows, arguments.measures);
    if (standardOutputFailed()) return kExitFailed;
    return rows.size() + skipped == jobs.size() ? kExitOk : kExitFailed;
}

}  // namespace zorvel::cli
