#include "cli/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <system_error>

#include "sound/DescriptorStream.h"

namespace zorvel::cli {
namespace {

std::atomic<bool> inputClosed{false};
std::atomic<bool> outputClosed{false};
std::atomic<bool> outputProblemTaken{false};

bool isClosed(int fd) { return fcntl(fd, F_GETFD) == -1 && errno == EBADF; }

// The lowest free number goes to the next file opened: `fd` itself, as the
// ones below it are open. Standard output gets the root directory opened
// only as a path, to which every write fails (EBADF); the others /dev/null,
// or the root directory too without it (a bare chroot).
void fill(int fd) {
    int opened = fd == STDOUT_FILENO ? -1 : open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened < 0) opened = open("/", O_PATH | O_DIRECTORY);
    if (opened >= 0 && opened != fd) close(opened);
}

// std::cout through a buffer on descriptor 1 for the whole run; the stream
// gets its own buffer back before this one goes.
struct StandardOutput {
    DescriptorBuffer buffer{STDOUT_FILENO};
    std::streambuf* original = std::cout.rdbuf(&buffer);

    ~StandardOutput() {
        std::cout.flush();
        std::cout.rdbuf(original);
    }
};

StandardOutput& standardOutput() {
    static StandardOutput output;
    return output;
}

}  // namespace

void openClosedStandardDescriptors() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (!isClosed(fd)) continue;
        if (fd == STDIN_FILENO) inputClosed = true;
        if (fd == STDOUT_FILENO) outputClosed = true;
        fill(fd);
    }
    standardOutput();
}

bool standardInputWasClosed() { return inputClosed; }

bool standardOutputWasClosed() { return outputClosed; }

std::optional<std::string> takeStandardOutputProblem() {
    std::cout.flush();
    if (!std::cout.fail() || outputProblemTaken.exchange(true)) return std::nullopt;
    if (outputClosed) return "standard output is closed";
    const int error = standardOutput().buffer.firstError();
    return std::string("could not write to standard output") +
           (error != 0 ? ": " + std::generic_category().message(error) : "");
}

bool standardOutputFailed() {
    if (const std::optional<std::string> problem = takeStandardOutputProblem())
        std::cerr << "zorvel-cli: " << *problem << '\n';
    return std::cout.fail();
}

}  // namespace zorvel::cli
