#include "cli/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "cli/StandardDescriptors.h"
#include "files/Descriptor.h"
#include "files/TemporaryNames.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

// Appended: GCC 12 warns wrongly about "'" + std::string here.
std::string quoted(const std::filesystem::path& path) {
    std::string text = "'";
    return text.append(path.string()).append("'");
}

// Removes what processes now gone left in the output's directory, once per
// directory: a run that refuses every output there still cleans up.
void removeLeftoversBeside(const std::filesystem::path& output) {
    static std::mutex mutex;
    static std::set<std::filesystem::path> searched;
    const std::filesystem::path parent = output.parent_path();
    const std::filesystem::path directory = parent.empty() ? std::filesystem::path(".") : parent;
    std::error_code error;
    const std::filesystem::path key = std::filesystem::absolute(directory, error);
    const std::lock_guard lock(mutex);
    if (error || !searched.insert(key).second) return;
    const Descriptor fd(open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (fd) removeLeftoverTemporaries(fd.get());
}

// The key that names one file whatever path leads there (the missing part
// of a path that does not exist yet as written).
std::filesystem::path canonicalKey(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path key = std::filesystem::weakly_canonical(path, error);
    return error ? std::filesystem::absolute(path) : key;
}

// A file that exists, by device and inode: the same through every link.
using FileIdentity = std::pair<dev_t, ino_t>;
std::optional<FileIdentity> identityOf(const std::filesystem::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace

void checkInput(const std::filesystem::path& input) {
    const SpeechInput opened(input);
    if (!opened.usable()) throw FileError(opened.problem());
}

void checkOutput(const std::filesystem::path& input, const std::filesystem::path& output,
                 bool overwrite) {
    if (output == "-") return;
    removeLeftoversBeside(output);
    struct stat status {};
    if (stat(output.c_str(), &status) != 0) {
        if (errno == ENOENT) return;  // a missing directory is reported when it is written
        throw FileError("cannot use the output " + quoted(output) + ": " +
                        std::generic_category().message(errno));
    }
    if (sameFile(input, output))
        throw FileError("output " + quoted(output) + " is the input file itself");
    if (S_ISDIR(status.st_mode)) throw FileError("output " + quoted(output) + " is a directory");
    if (!overwrite) throw FileError("output " + quoted(output) + " exists; " + kOverwriteAdvice);
}

std::vector<std::string> outputClashes(std::span<const std::filesystem::path> inputs,
                                       std::span<const std::filesystem::path> outputs) {
    std::map<std::filesystem::path, const std::filesystem::path*> inputKeys;
    std::map<FileIdentity, const std::filesystem::path*> inputFiles;
    for (const std::filesystem::path& input : inputs) {
        inputKeys.emplace(canonicalKey(input), &input);
        if (const std::optional<FileIdentity> file = identityOf(input))
            inputFiles.emplace(*file, &input);
    }
    // The input an output would replace: by its name, or as a link to it.
    const auto replacedInput =
        [&](const std::filesystem::path& output,
            const std::filesystem::path& key) -> const std::filesystem::path* {
        if (const auto input = inputKeys.find(key); input != inputKeys.end()) return input->second;
        const std::optional<FileIdentity> file = identityOf(output);
        const auto input = file ? inputFiles.find(*file) : inputFiles.end();
        return input != inputFiles.end() ? input->second : nullptr;
    };
    std::map<std::filesystem::path, const std::filesystem::path*> writers;
    std::vector<std::string> clashes(outputs.size());
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const std::filesystem::path& output = outputs[k];
        if (output.empty() || output == "-") continue;
        const std::filesystem::path key = canonicalKey(output);
        if (const auto other = writers.find(key); other != writers.end()) {
            clashes[k] =
                "output " + quoted(output) + " is also the output of " + quoted(*other->second);
        } else if (const std::filesystem::path* input = replacedInput(output, key)) {
            clashes[k] = "output " + quoted(output) + " would replace the input " + quoted(*input) +
                         " of this run";
        } else {
            writers.emplace(key, &inputs[k]);
        }
    }
    return clashes;
}

void checkStandardOutput(const std::filesystem::path& input) {
    if (standardOutputWasClosed()) throw FileError("standard output is closed");
    struct stat output {};
    struct stat file {};
    if (fstat(STDOUT_FILENO, &output) != 0 || !S_ISREG(output.st_mode)) return;
    if (stat(input.c_str(), &file) == 0 && file.st_dev == output.st_dev &&
        file.st_ino == output.st_ino)
        throw FileError("standard output is the input file itself");
}

void makeOutputDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error)
        throw FileError("cannot create the directory " + quoted(directory) + ": " +
                        error.message());
}

bool prepareOutputDirectory(const std::filesystem::path& directory) {
    if (directory.empty()) return true;
    try {
        makeOutputDirectory(directory);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli: " << error.what() << '\n';
        return false;
    }
    return true;
}

}  // namespace zorvel::cli
