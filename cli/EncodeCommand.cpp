// Plans the batch (output names, checks that refuse a file before anything is
// written), codes the runnable files on a pool of threads, then prints the
// result table. A file that fails is reported on standard error by name and
// reason; the others go on. A new file is staged and named when complete;
// standard output, a device or a FIFO gets the output as it is coded.
#include "cli/EncodeCommand.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/Progress.h"
#include "cli/ResultTable.h"
#include "coder/SpeechCoder.h"
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
    std::optional<ResultRow> result;
};

std::string failureLine(const std::filesystem::path& input, std::string_view reason) {
    return "zorvel-cli: " + input.string() + ": " + std::string(reason);
}

std::filesystem::path canonicalKey(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path key = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::absolute(path) : key;
}

// Two inputs must not share an output, and no output may replace another
// input of the same run (the result would depend on which file came first).
void refuseCollisions(std::vector<EncodeJob>& jobs) {
    std::map<std::filesystem::path, std::filesystem::path> inputs;
    for (const EncodeJob& job : jobs) inputs.emplace(canonicalKey(job.input), job.input);
    std::map<std::filesystem::path, const EncodeJob*> outputs;
    for (EncodeJob& job : jobs) {
        if (!job.refusal.empty()) continue;
        const std::filesystem::path key = canonicalKey(job.output);
        if (const auto other = outputs.find(key); other != outputs.end()) {
            job.refusal = "output '" + job.output.string() + "' is also the output of '" +
                          other->second->input.string() + "'";
        } else if (const auto input = inputs.find(key); input != inputs.end()) {
            job.refusal = "output '" + job.output.string() + "' would replace the input '" +
                          input->second.string() + "' of this run";
        } else {
            outputs.emplace(key, &job);
        }
    }
}

std::vector<EncodeJob> planJobs(const EncodeArguments& a) {
    std::vector<EncodeJob> jobs;
    for (const std::string& input : a.inputs) {
        EncodeJob job{input, {}, {}, false, {}};
        job.output = a.output.empty() ? defaultOutputName(job.input, a.coder.mode, a.postProcessed,
                                                          a.coder.noAdaptiveCodebook, a.directory)
                                      : std::filesystem::path(a.output);
        try {
            checkInput(job.input);
            job.convert = convertsInput(job.input, a.inputFormat);
            checkOutput(job.input, job.output, a.overwrite);
        } catch (const FileError& error) {
            job.refusal = error.what();
        }
        jobs.push_back(std::move(job));
    }
    refuseCollisions(jobs);
    return jobs;
}

SaveOption saveOption(const EncodeArguments& a) {
    return a.postProcessed ? SaveOption::postProcessed : SaveOption::synthesized;
}

void checkRun(RunResult result, const DescriptorStream& stream, const EncodeJob& job) {
    if (result == RunResult::inputChanged)
        throw FileError("the input changed its length while it was coded: the output '" +
                        job.output.string() + "' does not match its header");
    if (result != RunResult::completed || stream.fail()) {
        const int error = stream.firstError();
        throw FileError("could not write the output '" + job.output.string() + "'" +
                        (error != 0 ? ": " + std::generic_category().message(error) : ""));
    }
}

// The run into a staged output. It writes through the staged file's
// descriptor and never opens the output by a name, so nothing it does can
// make a file an interrupt missed.
void encodeStaged(SpeechCoder& coder, const EncodeJob& job, const EncodeArguments& a,
                  StagingArea& area, BatchProgress& progress, std::size_t slot) {
    StagedFile staged(area, job.output);
    progress.begin(slot, staged.temporary());
    DescriptorStream stream(staged.descriptor(), false);
    const RunResult result = coder.encodeFile(stream, saveOption(a));
    stream.flush();
    checkRun(result, stream, job);
    staged.commit(a.overwrite);
}

// Standard output, or a device or a FIFO written in place, cannot be staged
// without holding the whole output: the run sends it front to back as it
// codes, the header first (a regular input's length is known at the start).
void encodeInOrder(SpeechCoder& coder, const EncodeJob& job, const EncodeArguments& a,
                   OutputPlace place, BatchProgress& progress, std::size_t slot) {
    const bool toStandardOutput = place == OutputPlace::StandardOutput;
    DescriptorStream stream(toStandardOutput ? STDOUT_FILENO : openInPlace(job.output),
                            !toStandardOutput);
    progress.begin(slot, "/proc/self/fd/" + std::to_string(stream.descriptor()));
    const RunResult result = coder.encodeFileInOrder(stream, saveOption(a));
    stream.flush();
    checkRun(result, stream, job);
}

// One encoding run, exactly the desktop program's.
ResultRow encodeOne(const EncodeJob& job, const EncodeArguments& a, StagingArea& area,
                    BatchProgress& progress, std::size_t slot) {
    SpeechCoder coder(openCoderInput(job.input, job.convert), a.coder.mode);
    coder.noAdaptiveCodebook = a.coder.noAdaptiveCodebook;
    const auto start = std::chrono::steady_clock::now();
    const OutputPlace place = outputPlace(job.output);
    if (place == OutputPlace::NewFile)
        encodeStaged(coder, job, a, area, progress, slot);
    else
        encodeInOrder(coder, job, a, place, progress, slot);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    ResultRow row{job.input.string(), coder.frameCount(), coder.segmentalSnr(), coder.overallSnr(),
                  0.0};
    const double speechSeconds = coder.frameCount() * kFrameSeconds;
    if (elapsed.count() > 0.0) row.timesRealTime = speechSeconds / elapsed.count();
    return row;
}

unsigned threadCount(unsigned requested, std::size_t files) {
    unsigned threads = requested != 0 ? requested : std::thread::hardware_concurrency();
    threads = std::max(threads, 1u);
    return static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(files, 1)));
}

// Codes the runnable jobs on `threads` threads, each taking the next file.
void codeJobs(std::vector<EncodeJob*>& runnable, const EncodeArguments& a, unsigned threads,
              StagingArea& area, BatchProgress& progress, ProgressBar& bar) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t slot = next++; slot < runnable.size(); slot = next++) {
            EncodeJob& job = *runnable[slot];
            try {
                job.result = encodeOne(job, a, area, progress, slot);
            } catch (const std::exception& error) {
                bar.message(failureLine(job.input, error.what()));
            }
            progress.finish(slot);
        }
    };
    std::vector<std::jthread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
}

}  // namespace

std::filesystem::path defaultOutputName(const std::filesystem::path& input, CoderMode mode,
                                        bool postProcessed, bool noAdaptiveCodebook,
                                        const std::filesystem::path& directory) {
    const std::filesystem::path base = directory.empty() ? input : directory / input.filename();
    return base.string() + outputNameSuffix(mode, postProcessed, noAdaptiveCodebook);
}

int runEncode(const EncodeArguments& arguments) {
    if (!arguments.output.empty() && arguments.inputs.size() > 1)
        return usageError("encode", "-o names one output file; use -d for several inputs");
    // Standard output takes the table, or the WAV file with -o -.
    for (const std::string& input : arguments.inputs) {
        try {
            checkStandardOutput(input);
        } catch (const FileError& error) {
            std::cerr << failureLine(input, error.what()) << '\n';
            return kExitFailed;
        }
    }

    if (!arguments.directory.empty()) {
        try {
            makeOutputDirectory(arguments.directory);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << error.what() << '\n';
            return kExitFailed;
        }
    }
    std::vector<EncodeJob> jobs = planJobs(arguments);
    std::vector<EncodeJob*> runnable;
    std::vector<std::int64_t> expected;
    for (EncodeJob& job : jobs) {
        if (!job.refusal.empty()) {
            std::cerr << failureLine(job.input, job.refusal) << '\n';
            continue;
        }
        runnable.push_back(&job);
        expected.push_back(framesToCode(job.input, job.convert));
    }

    StagingArea area(kOverwriteAdvice);
    {
        InterruptCleanup cleanup(area);
        BatchProgress progress(std::move(expected));
        ProgressBar bar(progress, standardErrorIsTerminal() && !runnable.empty());
        codeJobs(runnable, arguments, threadCount(arguments.jobs, runnable.size()), area, progress,
                 bar);
    }

    std::vector<ResultRow> rows;
    for (const EncodeJob& job : jobs)
        if (job.result) rows.push_back(*job.result);
    // With the output on standard output the table goes to standard error.
    std::ostream& table = arguments.output == "-" ? std::cerr : std::cout;
    if (arguments.csv)
        printCsv(table, rows);
    else if (!rows.empty())
        printTable(table, rows);
    table.flush();
    if (table.fail()) {
        std::cerr << "zorvel-cli: could not write the result table to standard output\n";
        return kExitFailed;
    }
    return rows.size() == jobs.size() ? kExitOk : kExitFailed;
}

}  // namespace zorvel::cli
