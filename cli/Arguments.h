// The command line of zorvel-cli: what its subcommands take and the exit
// codes. Parsing is CLI11's, kept inside Arguments.cpp so that no other unit
// compiles the library's headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/InputFormat.h"
#include "cli/InputList.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"

namespace zorvel::cli {

// How zorvel-cli fails: each subcommand catches what the core throws
// (files/FileError.h) at its edge, for each file where files run on, and
// prints "zorvel-cli: INPUT: reason" on standard error with the core's words;
// the exit code says the kind.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // a file could not be read, coded or written
    kExitUsage = 2,   // the command line itself is wrong
};

// What every subcommand needs to build a coder.
struct CoderChoice {
    CoderMode mode = CoderMode::rate12_2;
    // --settings FILE and --set NAME=VALUE in the order given, the later
    // winning; --no-adaptive is adaptive-codebook=off.
    CoderSettings settings;
};

struct EncodeArguments {
    std::vector<std::string> inputs;  // INPUT, then the list's (see InputList.h)
    InputSelection list;
    CoderChoice coder;
    InputFormatChoice inputFormat;
    bool postProcessed = false;  // write sp(n) instead of s'(n)
    std::string output;          // -o, one input only; "-": standard output
    std::string directory;       // -d, made with its parents when missing
    unsigned jobs = 0;           // 0: one per core
    bool overwrite = false;      // -y
    bool csv = false;
    std::string jsonl;      // --jsonl: one record a file appended
    bool measures = false;  // the file means of the spectral distances in the table
};

struct FramesArguments {
    std::string input;  // the one INPUT
    // With --files-from or --shard the inputs are a list, and each input's
    // frames go to a file of their own (see FramesCommand.h).
    std::vector<std::string> inputs;
    InputSelection list;
    std::string directory;  // -d for the files of a list
    CoderChoice coder;
    InputFormatChoice inputFormat;
    std::string format = "csv";
    bool signals = false;
    bool measures = false;       // the spectral distances of every frame
    bool postProcessed = false;  // the distances measure sp(n) instead of s'(n)
    std::string output;          // empty or "-": standard output
    bool overwrite = false;      // -y
};

struct PlotArguments {
    std::string input;
    int frame = 0;
    CoderChoice coder;
    InputFormatChoice inputFormat;
    std::string prefix;      // empty: named after the input
    bool overwrite = false;  // -y
    bool oneFrame = false;
    bool light = false;
    double scalePercent = 100.0;
    std::vector<std::string> traces;   // short names; empty: the window's start state
    std::vector<std::string> spectra;  // short names; empty: the window's start state
    bool svg = false;                  // SVG pictures instead of PNG
};

struct SweepArguments {
    std::vector<std::string> inputs;
    InputSelection list;
    std::string jsonl;  // --jsonl: one record a file and mode appended
    InputFormatChoice inputFormat;
    CoderSettings settings;      // as CoderChoice's
    bool postProcessed = false;  // as encode --post: the SNRs always compare s'(n) with s(n)
    bool measures = false;       // the spectral distances beside the SNRs (of sp(n) with --post)
    // The ablation (cli/Ablation.h): each tool changed alone, or one number
    // varied, in the modes of -m (every mode when none is given).
    bool ablation = false;
    std::string vary;  // NAME=FROM:TO:STEP
    std::vector<CoderMode> modes;
    bool csv = false;
    std::string plot;        // OUT.png or OUT.svg; empty: no chart
    bool overwrite = false;  // -y
    unsigned jobs = 0;       // 0: one per core
};

struct ImportArguments {
    std::vector<std::string> inputs;
    InputSelection list;
    std::string output;          // -o, one input only; "-": standard output
    std::string directory;       // -d, made with its parents when missing
    unsigned jobs = 0;           // 0: one per core
    bool overwrite = false;      // -y
    bool zeroNonFinite = false;  // --zero-non-finite: NaN and infinite samples taken as 0
};

struct TrainArguments {
    std::vector<std::string> inputs;  // the training speech, in the order given
    InputSelection list;
    InputFormatChoice inputFormat;
    std::string output;      // -o: the tables file
    std::string heldOut;     // --held-out: a list of files to measure the quantisers on
    unsigned jobs = 0;       // files analysed at once; 0: one per core
    bool overwrite = false;  // -y
    bool csv = false;
};

// `quantisers`: LSF quantisers of many budgets trained on the inputs and
// measured on a held-out list (cli/QuantisersCommand.h).
struct QuantisersArguments {
    std::vector<std::string> inputs;  // the training speech, in the order given
    InputSelection list;
    InputFormatChoice inputFormat;
    std::string heldOut;           // --held-out: the list of files to measure on
    std::string bits = "18:40:2";  // --bits FROM:TO:STEP
    bool csv = false;
    bool json = false;
    std::string plot;        // OUT.png or OUT.svg; empty: no chart
    bool overwrite = false;  // -y
    unsigned jobs = 0;       // 0: one per core
};

struct AggregateArguments {
    std::vector<std::string> records;  // JSONL files of encode and sweep runs
    bool csv = false;
};

// `settings`: the listing, or with --write the configuration the options give.
struct SettingsArguments {
    CoderSettings settings;  // --settings FILE, --set NAME=VALUE, --no-adaptive
    std::string write;       // --write FILE; "-": standard output
    bool overwrite = false;  // -y
};

struct CompareArguments {
    std::string reference;  // the clean recording
    std::string degraded;   // the one scored against it
    bool csv = false;
    bool json = false;
    std::optional<long long> delay;  // --delay N: samples the degraded lags behind
    bool align = false;              // --align: the delay found by cross-correlation
};

struct ListeningArguments {
    std::vector<std::string> files;  // the ratings files (JSONL)
    bool csv = false;
    bool json = false;
    std::string plot;        // OUT.png or OUT.svg; empty: no chart
    bool overwrite = false;  // -y
};

struct Arguments {
    SettingsArguments settings;
    ListeningArguments listening;
    EncodeArguments encode;
    FramesArguments frames;
    PlotArguments plot;
    SweepArguments sweep;
    ImportArguments import;
    TrainArguments train;
    QuantisersArguments quantisers;
    AggregateArguments aggregate;
    CompareArguments compare;
};

// Parses the command line and runs the subcommand it names; returns the
// exit code. --help, --version and usage errors print CLI11's text.
int runCommandLine(int argc, char** argv);

// A usage error found after parsing: the message on standard error, kExitUsage.
int usageError(std::string_view command, std::string_view message);

}  // namespace zorvel::cli
