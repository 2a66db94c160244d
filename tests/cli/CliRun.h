// Runs the built zorvel-cli as a child process and collects what it wrote.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"

namespace zorvel::test {

struct CliResult {
    int exitCode = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;     // the signal that ended it, if any
    std::string out;    // standard output
    std::string err;    // standard error
};

struct CliLaunch {
    std::filesystem::path workingDirectory;  // empty: the test's
    bool unprivileged = false;               // as user nobody when the test runs as root
    long fileSizeLimit = 0;                  // RLIMIT_FSIZE in bytes; 0: none
};

inline CliLaunch inDirectory(const std::filesystem::path& directory) {
    CliLaunch launch;
    launch.workingDirectory = directory;
    return launch;
}

inline CliLaunch asNobody() {
    CliLaunch launch;
    launch.unprivileged = true;
    return launch;
}

inline CliLaunch withFileSizeLimit(long bytes) {
    CliLaunch launch;
    launch.fileSizeLimit = bytes;
    return launch;
}

inline std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Set up in the child between fork and exec; only async-signal-safe calls.
inline void prepareChild(const CliLaunch& launch, int outFd, int errFd) {
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    if (!launch.workingDirectory.empty() && chdir(launch.workingDirectory.c_str()) != 0) _exit(126);
    if (launch.fileSizeLimit > 0) {
        // As a shell's ulimit -f leaves it: a write past the limit raises
        // SIGXFSZ, whose default ends the process unless it is ignored there.
        signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{static_cast<rlim_t>(launch.fileSizeLimit),
                           static_cast<rlim_t>(launch.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (launch.unprivileged && geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
    }
}

// Starts zorvel-cli with `args`; the caller waits with finishCli.
struct CliProcess {
    pid_t pid = -1;
    std::filesystem::path outFile;
    std::filesystem::path errFile;
};

inline CliProcess startCli(const std::vector<std::string>& args, const TempDir& scratch,
                           const CliLaunch& launch = {}) {
    static int serial = 0;
    CliProcess process;
    process.outFile = scratch / ("cli-out-" + std::to_string(serial));
    process.errFile = scratch / ("cli-err-" + std::to_string(serial++));
    const int outFd = open(process.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = open(process.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot create the capture files");

    std::vector<std::string> words{ZORVEL_CLI};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    process.pid = fork();
    if (process.pid == 0) {
        prepareChild(launch, outFd, errFd);
        execv(ZORVEL_CLI, argv.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    if (process.pid < 0) throw std::runtime_error("fork failed");
    return process;
}

inline CliResult finishCli(const CliProcess& process) {
    int status = 0;
    waitpid(process.pid, &status, 0);
    CliResult result;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = readText(process.outFile);
    result.err = readText(process.errFile);
    return result;
}

// Runs zorvel-cli to its end. The capture files live in a directory of their own.
inline CliResult runCli(const std::vector<std::string>& args, const CliLaunch& launch = {}) {
    const TempDir scratch;
    return finishCli(startCli(args, scratch, launch));
}

// True when the process has a file open in `directory`: an output staged
// there, which has no name yet.
inline bool writesInto(pid_t pid, const std::filesystem::path& directory) {
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.parent_path() == directory) return true;
    }
    return false;
}

// The rows of a CSV text whose fields hold no commas, split at every comma.
using CsvRow = std::vector<std::string>;
inline std::vector<CsvRow> csvRows(const std::string& text) {
    std::vector<CsvRow> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        CsvRow row;
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ',')) row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

// Every cell of a CSV line whose fields hold no commas, the empty ones too
// (a trailing one among them).
inline std::vector<std::string> csvCells(const std::string& line) {
    std::vector<std::string> cells(1);
    for (char c : line) {
        if (c == ',')
            cells.emplace_back();
        else
            cells.back().push_back(c);
    }
    return cells;
}

// The CLI's words for a path.
inline std::string arg(const std::filesystem::path& path) { return path.string(); }

}  // namespace zorvel::test
