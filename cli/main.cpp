// zorvel-cli: the Zorvel speech coder for scripts. See `zorvel-cli --help`.
#include "cli/Arguments.h"

int main(int argc, char** argv) { return zorvel::cli::runCommandLine(argc, argv); }
