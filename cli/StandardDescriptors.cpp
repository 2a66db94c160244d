#include "cli/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace zorvel::cli {
namespace {

std::atomic<bool> outputClosed{false};

bool isClosed(int fd) { return fcntl(fd, F_GETFD) == -1 && errno == EBADF; }

// The lowest free number goes to the next file opened: `fd` itself, as the
// ones below it are open. Without /dev/null (a bare chroot), the root
// directory holds the number: writes to it fail instead of going astray.
void fill(int fd) {
    int opened = open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened < 0) opened = open("/", O_PATH | O_DIRECTORY);
    if (opened >= 0 && opened != fd) close(opened);
}

}  // namespace

void openClosedStandardDescriptors() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (!isClosed(fd)) continue;
        if (fd == STDOUT_FILENO) outputClosed = true;
        fill(fd);
    }
}

bool standardOutputWasClosed() { return outputClosed; }

}  // namespace zorvel::cli
