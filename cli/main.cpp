// zorvel-cli: the Zorvel speech coder for scripts. See `zorvel-cli --help`.
#include "cli/Arguments.h"
#include "cli/EncodeCommand.h"
#include "cli/FramesCommand.h"
#include "cli/PlotCommand.h"
#include "cli/SweepCommand.h"

int main(int argc, char** argv) {
    using namespace zorvel::cli;
    // Named here, so that help and errors do not show the path it was started by.
    CLI::App app{"zorvel-cli: the Zorvel ACELP speech coder for scripts", "zorvel-cli"};
    Arguments arguments;
    const Subcommands commands = defineCommandLine(app, arguments);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return reportParseOutcome(app, error);
    }
    if (commands.encode->parsed()) return runEncode(arguments.encode);
    if (commands.frames->parsed()) return runFrames(arguments.frames);
    if (commands.sweep->parsed()) return runSweep(arguments.sweep);
    return runPlot(arguments.plot);
}
