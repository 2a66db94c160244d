// zorvel-cli: the Zorvel speech coder for scripts. See `zorvel-cli --help`.
#include <csignal>

#include "cli/Arguments.h"
#include "cli/StandardDescriptors.h"

int main(int argc, char** argv) {
    // A write past the limit of a file's size (ulimit -f) then fails with
    // EFBIG and is reported for its file, as any failed write is, while the
    // other files go on; the signal's default would end the whole run unsaid.
    std::signal(SIGXFSZ, SIG_IGN);
    zorvel::cli::openClosedStandardDescriptors();
    const int exitCode = zorvel::cli::runCommandLine(argc, argv);
    // Whatever wrote to standard output (a table, --help), a write that failed
    // fails the run.
    if (zorvel::cli::standardOutputFailed() && exitCode == zorvel::cli::kExitOk)
        return zorvel::cli::kExitFailed;
    return exitCode;
}
