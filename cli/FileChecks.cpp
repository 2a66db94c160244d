#include "cli/FileChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <mutex>
#include <set>
#include <system_error>

#include "cli/StandardDescriptors.h"
#include "files/Descriptor.h"
#include "files/TemporaryNames.h"
#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

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
