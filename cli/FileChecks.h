// Checks made before a file is coded, so that a run refuses with a reason
// instead of failing half-way. Each throws FileError with a message that
// completes "zorvel-cli: <input>: ...".
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "files/FileError.h"

namespace zorvel::cli {

// How an output that exists is overwritten: the end of the message that
// refuses it, here and when one appears while the run goes on.
inline constexpr const char* kOverwriteAdvice = "use -y to overwrite it";

// The input exists, is a regular file, can be opened for reading and its
// first read does not fail with an error: the coder's own test of its input.
void checkInput(const std::filesystem::path& input);

// The output is not the input itself and not a directory; an existing output
// (also a device or a FIFO, which is then written in place) is refused unless
// `overwrite`. "-" (standard output) always passes; a name the system cannot
// look up is refused with the system's reason. The first look at a directory
// removes the temporary files that processes now gone left there.
void checkOutput(const std::filesystem::path& input, const std::filesystem::path& output,
                 bool overwrite);

// The outputs of a run checked together, so that no result depends on which
// file came first: `outputs[k]` is the output of `inputs[k]`, or empty when
// that input writes none (refused or skipped); "-" (standard output) is left
// to checkStandardOutput. For each, the refusal or an empty string: an
// output that an earlier input writes too ("output 'o' is also the output of
// 'a'"), or that is an input of the run by any name or link ("output 'o'
// would replace the input 'i' of this run").
std::vector<std::string> outputClashes(std::span<const std::filesystem::path> inputs,
                                       std::span<const std::filesystem::path> outputs);

// outputClashes over the jobs of a run, each with its `input`, `output`,
// `refusal` (empty when it runs) and `skipped`: a clash becomes the refusal
// of the later job.
template <class Job>
void refuseOutputClashes(std::vector<Job>& jobs) {
    std::vector<std::filesystem::path> inputs;
    std::vector<std::filesystem::path> outputs;
    for (const Job& job : jobs) {
        inputs.push_back(job.input);
        outputs.push_back(job.refusal.empty() && !job.skipped ? job.output
                                                              : std::filesystem::path());
    }
    const std::vector<std::string> clashes = outputClashes(inputs, outputs);
    for (std::size_t k = 0; k < jobs.size(); ++k)
        if (!clashes[k].empty()) jobs[k].refusal = clashes[k];
}

// For a run that writes to standard output: it was open when the program
// started, and it is not `input` itself (the same file by device and inode,
// whatever name or link leads there), which the run would read back as it
// writes or overwrite. Called before the input is read.
void checkStandardOutput(const std::filesystem::path& input);

// The `-d` directory of a run, made as mkdir -p makes it (with any missing
// parents); throws FileError naming it with the system's reason.
void makeOutputDirectory(const std::filesystem::path& directory);

// The same for a subcommand's -d: true when `directory` is empty or there;
// otherwise the reason is reported on standard error ("zorvel-cli: ...").
bool prepareOutputDirectory(const std::filesystem::path& directory);

}  // namespace zorvel::cli
