// Plans the outputs and refuses what cannot be done before anything is
// written, converts the inputs on a pool of threads, and prints one line per
// file: the source format, the duration, the peak level and the samples
// clipped. A file that fails is reported by name and reason; the others go on.
#include "cli/ImportCommand.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>

#include "cli/FailureSummary.h"
#include "cli/FileChecks.h"
#include "cli/InputFormat.h"
#include "cli/InterruptCleanup.h"
#include "cli/StandardDescriptors.h"
#include "coder/WorkPool.h"
#include "files/StagedOutput.h"
#include "sound/Conversion.h"

namespace zorvel::cli {
namespace {

struct ImportJob {
    std::filesystem::path input;
    std::filesystem::path output;
    std::string refusal;                // why the file is not converted; empty when it is
    std::optional<std::string> report;  // the line printed once converted
    bool skipped = false;               // --skip-existing: the output is there
    std::string failure;                // why converting it failed
};

std::vector<ImportJob> planJobs(const ImportArguments& a) {
    std::vector<ImportJob> jobs;
    for (const std::string& input : a.inputs) {
        ImportJob job;
        job.input = input;
        job.output = a.output.empty() ? convertedFileName(input, a.directory)
                                      : std::filesystem::path(a.output);
        std::error_code exists;
        if (a.list.skipExisting && job.output != "-" &&
            std::filesystem::is_regular_file(job.output, exists)) {
            job.skipped = true;
            jobs.push_back(std::move(job));
            continue;
        }
        try {
            checkInput(job.input);
            if (describeRecording(job.input).kind == RecordingKind::unrecognised)
                throw FileError(
                    "not a recording libsndfile recognises: the coder takes it as it "
                    "stands");
            checkOutput(job.input, job.output, a.overwrite);
        } catch (const FileError& error) {
            job.refusal = error.what();
        }
        jobs.push_back(std::move(job));
    }
    // No output may be another input's, or replace an input of this run.
    refuseOutputClashes(jobs);
    return jobs;
}

std::string decibels(double peak) {
    if (peak <= 0.0) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(peak));
    return text;
}

std::string reportLine(const ImportJob& job, const ConvertedRecording& r) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f s", r.seconds());
    return job.input.string() + " -> " + job.output.string() + ": " + r.source.description + ", " +
           seconds + ", peak " + decibels(r.peak) + ", " + std::to_string(r.clipped) +
           (r.clipped == 1 ? " sample" : " samples") + " clipped" +
           (r.nonFinite == 0
                ? std::string()
                : ", " + std::to_string(r.nonFinite) + (r.nonFinite == 1 ? " sample" : " samples") +
                      " NaN or infinite taken as 0");
}

void importOne(ImportJob& job, const ImportArguments& a, StagingArea& area) {
    const ConvertedRecording r = withNonFiniteAdvice([&] {
        return writeConvertedRecording(job.input, job.output, area, a.overwrite,
                                       nonFiniteSamples(a.zeroNonFinite));
    });
    job.report = reportLine(job, r);
}

}  // namespace

int runImport(const ImportArguments& arguments) {
    if (!arguments.output.empty() && arguments.inputs.size() > 1)
        return usageError("import", "-o names one output file; use -d for several inputs");
    std::ostream& report = arguments.output == "-" ? std::cerr : std::cout;
    for (const std::string& input : arguments.inputs) {
        try {
            if (arguments.output == "-") checkStandardOutput(input);
        } catch (const FileError& error) {
            std::cerr << "zorvel-cli: " << input << ": " << error.what() << '\n';
            return kExitFailed;
        }
    }
    if (!prepareOutputDirectory(arguments.directory)) return kExitFailed;
    std::vector<ImportJob> jobs = planJobs(arguments);
    std::vector<ImportJob*> runnable;
    std::size_t skipped = 0;
    for (ImportJob& job : jobs) {
        if (job.skipped) {
            ++skipped;
        } else if (job.refusal.empty()) {
            runnable.push_back(&job);
        } else {
            std::cerr << "zorvel-cli: " << job.input.string() << ": " << job.refusal << '\n';
            job.failure = job.refusal;
        }
    }
    if (arguments.list.skipExisting) printSkipped(std::cerr, skipped, jobs.size());

    StagingArea area(kOverwriteAdvice);
    {
        InterruptCleanup cleanup(area);
        std::mutex errors;
        runOnPool(runnable.size(), arguments.jobs, [&](std::size_t i) {
            try {
                importOne(*runnable[i], arguments, area);
            } catch (const std::exception& error) {
                // A file that fails is reported and the others go on.
                const std::lock_guard lock(errors);
                runnable[i]->failure = error.what();
                std::cerr << "zorvel-cli: " << runnable[i]->input.string() << ": " << error.what()
                          << '\n';
            }
            return true;
        });
    }
    std::size_t done = 0;
    std::vector<std::string> failures;
    for (const ImportJob& job : jobs) {
        if (!job.failure.empty()) failures.push_back(job.failure);
        if (!job.report) continue;
        report << *job.report << '\n';
        ++done;
    }
    printFailureSummary(std::cerr, failures, jobs.size());
    const bool reported = !standardOutputFailed();
    return done + skipped == jobs.size() && reported ? kExitOk : kExitFailed;
}

}  // namespace zorvel::cli
