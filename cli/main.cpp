// zorvel-cli: the Zorvel speech coder for scripts. See `zorvel-cli --help`.
#include "cli/Arguments.h"
#include "cli/StandardDescriptors.h"

int main(int argc, char** argv) {
    zorvel::cli::openClosedStandardDescriptors();
    return zorvel::cli::runCommandLine(argc, argv);
}
