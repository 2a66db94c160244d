#include "cli/Arguments.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <functional>
#include <iostream>
#include <optional>
#include <utility>

#include "cli/AggregateCommand.h"
#include "cli/CompareCommand.h"
#include "cli/EncodeCommand.h"
#include "cli/FileChecks.h"
#include "cli/FramesCommand.h"
#include "cli/ImportCommand.h"
#include "cli/ListeningCommand.h"
#include "cli/Modes.h"
#include "cli/PlotCommand.h"
#include "cli/QuantisersCommand.h"
#include "cli/SettingTexts.h"
#include "cli/StandardDescriptors.h"
#include "cli/SweepCommand.h"
#include "cli/TrainCommand.h"
#include "coder/Ablation.h"
#include "coder/LsfQuantiser.h"
#include "coder/SettingsFile.h"
#include "coder/SpeechCoder.h"
#include "files/FileError.h"
#include "files/StagedOutput.h"

namespace zorvel::cli {
namespace {

// Turns a rate or a mode number into the table index the option stores.
CLI::Validator modeWord() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const std::optional<CoderMode> mode = modeFromText(text);
            if (!mode) return unknownModeText(text);
            text = std::to_string(modeIndex(*mode));
            return {};
        },
        "", "mode");
}

// A count of threads: a whole number from 1 up, said plainly when it is not.
CLI::Validator threadCount() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            unsigned value = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            if (error != std::errc{} || end != text.data() + text.size() || value < 1)
                return "-j takes a number of threads from 1 up, not '" + text + "'";
            return {};
        },
        "", "threads");
}

// --shard I/N: whole numbers with 1 <= I <= N.
CLI::Validator shardPart() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (!shardFromText(text))
                return "I/N with whole numbers 1 <= I <= N, not '" + text + "'";
            return {};
        },
        "", "shard");
}

// The list options of the subcommands that take many inputs. INPUT is not
// required once a list may name the inputs instead; runCommandLine asks for
// one or the other. Returns --skip-existing, for the command to tie to its
// other options.
CLI::Option* addListOptions(CLI::App& command, InputSelection& list, const std::string& skipHelp) {
    CLI::Option* filesFrom =
        command.add_option("--files-from", list.filesFrom,
                           "Read further inputs from FILE, one path a line (- for standard input)");
    filesFrom->type_name("FILE");
    command
        .add_flag("-0,--null", list.nulSeparated,
                  "The list's paths end with a NUL byte, as find -print0 writes them")
        ->needs(filesFrom);
    command
        .add_option("--shard", list.shard,
                    "Take part I of N of the inputs: the k-th path (from 0) is in part k mod N + 1")
        ->type_name("I/N")
        ->check(shardPart());
    return command.add_flag("--skip-existing", list.skipExisting, skipHelp);
}

constexpr const char* kSkipOutputsHelp =
    "Leave out the inputs whose output exists (a run started again finishes the rest)";

// --settings FILE and --set NAME=VALUE, repeatable and applied in the order
// given; each assignment is checked as it is read, and the settings together
// (gamma2 below gamma1) once the command line is read, whatever the order.
void addSettingOption(CLI::App& command, CoderSettings& settings) {
    command
        .add_option_function<std::vector<std::string>>(
            "--settings",
            [&settings](const std::vector<std::string>& files) {
                for (const std::string& file : files) {
                    SettingsFileContents contents;
                    try {
                        contents = readSettingsFile(file, settings);
                    } catch (const FileError& error) {
                        throw CLI::ValidationError("--settings", file + ": " + error.what());
                    }
                    std::string problems;
                    for (const SettingsLineProblem& problem : contents.problems)
                        if (problem.kind != SettingsLineProblemKind::together)
                            problems += "\n  " + settingsLineProblemText(file, problem);
                    if (!problems.empty())
                        throw CLI::ValidationError("--settings",
                                                   file + " cannot be used:" + problems);
                    settings = contents.settings;
                }
            },
            "Read coder settings from a file of NAME=VALUE lines ('zorvel-cli settings --write "
            "FILE' writes one)")
        ->type_name("FILE")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command
        .add_option_function<std::vector<std::string>>(
            "--set",
            [&settings](const std::vector<std::string>& assignments) {
                for (const std::string& assignment : assignments)
                    if (const auto problem = assignSetting(settings, assignment))
                        throw CLI::ValidationError("--set", settingProblemText(*problem));
            },
            "Change a coder setting from the design's (repeatable; 'zorvel-cli settings' lists "
            "them)")
        ->type_name("NAME=VALUE")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    // Applied after every --set, so that it wins over adaptive-codebook=on.
    command.add_flag_callback(
        "--no-adaptive", [&settings] { settings.adaptiveCodebook = false; },
        "Switch the adaptive codebook off (--set adaptive-codebook=off)");
    command.parse_complete_callback([&settings] {
        if (const auto problem = settingsProblem(settings))
            throw CLI::ValidationError("--set", settingProblemText(*problem));
        if (const auto problem = quantiserTablesProblem(settings))
            throw CLI::ValidationError("--set", "quantiser-tables: " + *problem);
    });
}

void addCoderOptions(CLI::App& command, CoderChoice& coder) {
    command.add_option("-m,--mode", coder.mode, "Coder mode: " + acceptedModesText())
        ->transform(modeWord())
        ->type_name("MODE")
        ->default_str("12.2");
    addSettingOption(command, coder.settings);
}

CLI::App* defineSettings(CLI::App& app, SettingsArguments& a) {
    CLI::App* settings = app.add_subcommand(
        "settings", "List the coder settings --set changes, their values and defaults");
    addSettingOption(*settings, a.settings);
    settings
        ->add_option("--write", a.write,
                     "Write the settings the options give (every setting, one NAME=VALUE a "
                     "line) to FILE instead of the listing; '-' is standard output")
        ->type_name("FILE");
    settings->add_flag("-y,--overwrite", a.overwrite, "Replace an existing file");
    return settings;
}

int runSettings(const SettingsArguments& a) {
    if (a.write.empty()) {
        listSettings(std::cout);
        return standardOutputFailed() ? kExitFailed : kExitOk;
    }
    const std::string text = settingsFileText(a.settings);
    if (a.write == "-") {
        std::cout << text;
        return standardOutputFailed() ? kExitFailed : kExitOk;
    }
    try {
        StagingArea area(kOverwriteAdvice);
        StagedFile staged(area, a.write);
        writeAll(staged.descriptor(), text.data(), text.size(), a.write);
        staged.commit(a.overwrite);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli: " << a.write << ": " << error.what() << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

CLI::Option* addZeroNonFiniteOption(CLI::App& command, bool& zero) {
    return command.add_flag(kZeroNonFiniteOption, zero,
                            "Take samples that are NaN or infinite (of a float recording) as 0; "
                            "otherwise such a recording is refused");
}

void addInputFormatOptions(CLI::App& command, InputFormatChoice& choice) {
    CLI::Option* resample = command.add_flag(
        "--resample", choice.resample,
        "Convert a recording of another rate, channel count or format to 8 kHz mono 16-bit first");
    CLI::Option* asIs =
        command.add_flag("--as-is", choice.asIs,
                         "Code the bytes from 60 as 8 kHz mono 16-bit, whatever the file is");
    resample->excludes(asIs);
    addZeroNonFiniteOption(command, choice.zeroNonFinite)->needs(resample);
}

// Options given where the command would not honour them are refused when
// the command line is parsed, with `problem`'s reason: a usage error.
void refuseUnhonoured(CLI::App& command, std::function<std::optional<std::string>()> problem) {
    command.final_callback([problem = std::move(problem)] {
        if (const std::optional<std::string> reason = problem())
            throw CLI::ValidationError(*reason);
    });
}

// Where a command that writes one file per input puts them.
struct OutputChoice {
    std::string& output;
    std::string& directory;
    unsigned& jobs;
    bool& overwrite;
};

// -o (default `defaultName`) or -d, -j, and -y (not with --skip-existing).
void addOutputOptions(CLI::App& command, OutputChoice choice, CLI::Option* skip,
                      const std::string& defaultName, const std::string& jobsHelp) {
    CLI::Option* output = command.add_option(
        "-o,--output", choice.output,
        "Output file (one input only; - for standard output); default " + defaultName);
    CLI::Option* directory =
        command.add_option("-d,--directory", choice.directory,
                           "Put the outputs into this directory (made if missing)");
    output->excludes(directory);
    command.add_option("-j,--jobs", choice.jobs, jobsHelp)->check(threadCount());
    command.add_flag("-y,--yes", choice.overwrite, "Overwrite existing outputs")->excludes(skip);
}

CLI::App* defineEncode(CLI::App& app, EncodeArguments& a) {
    CLI::App* encode = app.add_subcommand(
        "encode", "Encode speech files and write the synthesized speech as WAV files");
    encode->add_option("INPUT", a.inputs,
                       "Input files: 8 kHz mono 16-bit (WAV or samples from byte 60)");
    CLI::Option* skip = addListOptions(*encode, a.list, kSkipOutputsHelp);
    addCoderOptions(*encode, a.coder);
    addInputFormatOptions(*encode, a.inputFormat);
    encode->add_flag("--post", a.postProcessed,
                     "Write the speech after post-processing (name suffix _spout)");
    addOutputOptions(*encode, {a.output, a.directory, a.jobs, a.overwrite}, skip,
                     "INPUT_<mode>_sout.wav", "Files coded at once (default: one per core)");
    encode->add_flag("--csv", a.csv, "Print the result table as CSV");
    encode->add_flag("--measures", a.measures,
                     "Add the file means of the spectral distances (of the written output) to "
                     "the table");
    encode->add_option("--jsonl", a.jsonl, "Append one JSON line of results per file to FILE")
        ->type_name("FILE");
    encode->footer("Example: zorvel-cli encode corpus/*.wav -m 7.95 -d out -j 4");
    return encode;
}

CLI::App* defineFrames(CLI::App& app, FramesArguments& a) {
    CLI::App* frames =
        app.add_subcommand("frames", "Write the parameters of every coded frame as CSV or JSON");
    frames->add_option("INPUT", a.input, "Input file");
    CLI::Option* skip =
        addListOptions(*frames, a.list, "With a list: leave out the inputs whose output exists");
    addCoderOptions(*frames, a.coder);
    addInputFormatOptions(*frames, a.inputFormat);
    frames->add_option("--format", a.format, "csv or json")
        ->check(CLI::IsMember({"csv", "json"}))
        ->capture_default_str();
    frames->add_flag("--signals", a.signals, "Add every 160-sample array of the record (JSON)");
    CLI::Option* measures = frames->add_flag(
        "--measures", a.measures,
        "Add the spectral distances of each frame: lsdLp, cepstralDistance, lsdFft, llr, "
        "itakuraSaito, fwSegSnr (null or empty where a frame is silent)");
    frames
        ->add_flag("--post", a.postProcessed,
                   "The distances measure the speech after post-processing, not before")
        ->needs(measures);
    CLI::Option* output =
        frames->add_option("-o,--output", a.output, "Output file (default or -: standard output)");
    frames
        ->add_option("-d,--directory", a.directory,
                     "With a list: put the outputs into this directory (made if missing)")
        ->excludes(output);
    frames->add_flag("-y,--yes", a.overwrite, "Overwrite an existing output")->excludes(skip);
    frames->footer("Example: zorvel-cli frames mowa.wav -m 12.2 --format json -o mowa.json");
    return frames;
}

// The options of a sweep that its mode would not honour: the reason, naming
// the option, or nothing.
std::optional<std::string> unhonouredSweepOption(const SweepArguments& a) {
    const bool rows = a.ablation || !a.vary.empty();
    if (!rows && !a.modes.empty())
        return "-m: a sweep codes every file in all eight modes; -m chooses the modes of "
               "--ablation and --vary";
    if (rows && a.list.skipExisting)
        return "--skip-existing: it leaves out the files whose eight records of a sweep the "
               "--jsonl file holds; --ablation and --vary code every file in every row";
    if (a.postProcessed && !a.measures)
        return "--post: the SNRs compare s'(n) with s(n) either way; it changes only what "
               "--measures measures";
    if (a.overwrite && a.plot.empty())
        return "-y: it lets --plot replace an existing chart, and no chart is drawn";
    return std::nullopt;
}

CLI::App* defineSweep(CLI::App& app, SweepArguments& a) {
    CLI::App* sweep = app.add_subcommand(
        "sweep", "Code each file in all eight modes and print the SNRs of every mode");
    sweep->add_option("INPUT", a.inputs,
                      "Input files: 8 kHz mono 16-bit (WAV or samples from byte 60)");
    CLI::Option* skip = addListOptions(
        *sweep, a.list,
        "Leave out the inputs whose eight records the --jsonl file holds (not with --ablation "
        "or --vary)");
    sweep->add_flag("--post", a.postProcessed,
                    "With --measures: the distances measure the speech after post-processing "
                    "(the SNRs compare s'(n) with s(n) either way)");
    addSettingOption(*sweep, a.settings);
    CLI::Option* ablation = sweep->add_flag(
        "--ablation", a.ablation,
        "Code with the settings (--set) and with each tool changed alone; print each row's SNRs "
        "and their differences from the first");
    CLI::Option* vary =
        sweep
            ->add_option("--vary", a.vary,
                         "As --ablation, with one numeric setting at FROM, FROM+STEP, ... TO (at "
                         "most " +
                             std::to_string(kMaxVariedRows) + " values)")
            ->type_name("NAME=FROM:TO:STEP");
    ablation->excludes(vary);
    sweep
        ->add_option("-m,--mode", a.modes,
                     "With --ablation or --vary: the modes (repeatable; default all eight)")
        ->transform(modeWord())
        ->type_name("MODE");
    addInputFormatOptions(*sweep, a.inputFormat);
    sweep->add_flag("--csv", a.csv, "Print the table as CSV");
    sweep->add_flag(
        "--measures", a.measures,
        "Add the means of the spectral distances beside the SNRs (of sp(n) with --post)");
    skip->needs(sweep
                    ->add_option("--jsonl", a.jsonl,
                                 "Append one JSON line of results per file and mode (and row, "
                                 "with --ablation or --vary) to FILE")
                    ->type_name("FILE"));
#ifdef ZORVEL_CLI_PLOTS
    sweep->add_option("--plot", a.plot, "Draw SNR against bit rate into OUT.png or OUT.svg")
        ->type_name("OUT");
    sweep->add_flag("-y,--yes", a.overwrite, "Overwrite an existing chart (--plot)");
#endif
    sweep->add_option("-j,--jobs", a.jobs, "Codings run at once (default: one per core)")
        ->check(CLI::PositiveNumber);
    refuseUnhonoured(*sweep, [&a] { return unhonouredSweepOption(a); });
    sweep->footer("Example: zorvel-cli sweep corpus/*.wav --plot snr.svg -j 4");
    return sweep;
}

CLI::App* defineImport(CLI::App& app, ImportArguments& a) {
    CLI::App* import = app.add_subcommand(
        "import", "Convert recordings of any common format to 8 kHz mono 16-bit files to code");
    import->add_option("INPUT", a.inputs, "Recordings: WAV, FLAC, Ogg, AIFF, ... at any rate");
    CLI::Option* skip = addListOptions(*import, a.list, kSkipOutputsHelp);
    addOutputOptions(*import, {a.output, a.directory, a.jobs, a.overwrite}, skip, "INPUT_8k.wav",
                     "Files converted at once (default: one per core)");
    addZeroNonFiniteOption(*import, a.zeroNonFinite);
    import->footer("Example: zorvel-cli import takes/*.flac -d corpus");
    return import;
}

CLI::App* defineTrain(CLI::App& app, TrainArguments& a) {
    CLI::App* train = app.add_subcommand(
        "train", "Train the quantiser tables on speech files and write them to a tables file");
    train->add_option("INPUT", a.inputs,
                      "Training speech: 8 kHz mono 16-bit (WAV or samples from byte 60), in the "
                      "order the tables depend on");
    addListOptions(*train, a.list, "Not taken: every input is trained on");
    addInputFormatOptions(*train, a.inputFormat);
    train->add_option("-o,--output", a.output, "The tables file to write")
        ->required()
        ->type_name("FILE");
    train
        ->add_option("--held-out", a.heldOut,
                     "Print the spectral distortion of the trained LSF quantisers on the files "
                     "of LIST, one path a line")
        ->type_name("LIST");
    train->add_option("-j,--jobs", a.jobs, "Files analysed at once (default: one per core)")
        ->check(threadCount());
    train->add_flag("-y,--yes", a.overwrite, "Overwrite an existing tables file");
    train->add_flag("--csv", a.csv, "Print the held-out table as CSV");
    refuseUnhonoured(*train, [&a]() -> std::optional<std::string> {
        if (a.list.skipExisting)
            return "--skip-existing: train has no output per input to leave out";
        if (!a.list.shard.empty())
            return "--shard: tables trained on a part of the list are not the list's";
        if (a.csv && a.heldOut.empty()) return "--csv: it prints the --held-out table";
        return std::nullopt;
    });
    train->footer(
        "Example: zorvel-cli train --files-from training.txt --held-out test.txt -o tables.zvqt");
    return train;
}

CLI::App* defineQuantisers(CLI::App& app, QuantisersArguments& a) {
    CLI::App* quantisers = app.add_subcommand(
        "quantisers",
        "Train LSF quantisers of many bit budgets on speech files and print their spectral "
        "distortion on held-out files, beside the designs of the modes");
    quantisers->add_option("INPUT", a.inputs,
                           "Training speech: 8 kHz mono 16-bit (WAV or samples from byte 60)");
    addListOptions(*quantisers, a.list, "Not taken: every input is trained on");
    addInputFormatOptions(*quantisers, a.inputFormat);
    quantisers
        ->add_option("--held-out", a.heldOut,
                     "The files to measure the quantisers on, one path a line")
        ->required()
        ->type_name("LIST");
    quantisers
        ->add_option("--bits", a.bits,
                     "The budgets: FROM, FROM+STEP, ... up to TO bits a frame, within " +
                         std::to_string(kLeastLsfBudgetBits) + ".." +
                         std::to_string(kMostLsfBudgetBits))
        ->type_name("FROM:TO[:STEP]")
        ->capture_default_str();
    CLI::Option* csv = quantisers->add_flag("--csv", a.csv, "Print the table as CSV");
    CLI::Option* json = quantisers->add_flag("--json", a.json, "Print a JSON object");
    csv->excludes(json);
    quantisers
        ->add_option("--plot", a.plot,
                     "Draw the mean SD and the outlier shares against the bits into OUT.png or "
                     "OUT.svg")
        ->type_name("OUT");
    quantisers->add_flag("-y,--yes", a.overwrite, "Overwrite an existing chart (--plot)");
    quantisers
        ->add_option("-j,--jobs", a.jobs,
                     "Files analysed and quantisers trained at once (default: one per core)")
        ->check(threadCount());
    refuseUnhonoured(*quantisers, [&a]() -> std::optional<std::string> {
        if (a.list.skipExisting)
            return "--skip-existing: quantisers has no output per input to leave out";
        if (!a.list.shard.empty())
            return "--shard: quantisers trained on a part of the list are not the list's";
        if (!budgetsFromText(a.bits))
            return "--bits takes FROM:TO or FROM:TO:STEP, whole numbers with " +
                   std::to_string(kLeastLsfBudgetBits) +
                   " <= FROM <= TO <= " + std::to_string(kMostLsfBudgetBits) +
                   " and STEP from 1 up, not '" + a.bits + "'";
        if (a.overwrite && a.plot.empty())
            return "-y: it lets --plot replace an existing chart, and no chart is drawn";
        return std::nullopt;
    });
    quantisers->footer(
        "Example: zorvel-cli quantisers --files-from training.txt --held-out test.txt --bits "
        "18:40:2 --plot sd.svg");
    return quantisers;
}

CLI::App* defineAggregate(CLI::App& app, AggregateArguments& a) {
    CLI::App* aggregate = app.add_subcommand(
        "aggregate",
        "Merge the --jsonl results of runs (shards of a corpus) into the table of the whole");
    aggregate->add_option("FILE", a.records, "JSONL files written by encode or sweep --jsonl")
        ->required();
    aggregate->add_flag("--csv", a.csv, "Print the table as CSV");
    aggregate->footer("Example: zorvel-cli aggregate results/part-*.jsonl --csv");
    return aggregate;
}

// Far beyond any recording's length (a year at 8 kHz), and far from the
// integers whose negation overflows.
constexpr long long kMaxCompareDelay = 1LL << 40;

CLI::App* defineCompare(CLI::App& app, CompareArguments& a) {
    CLI::App* compare = app.add_subcommand(
        "compare",
        "Print every file figure (SNRs, spectral distances of 20 ms and 30 ms frames, STOI, "
        "ESTOI) of a degraded "
        "recording against its clean reference");
    compare->add_option("REFERENCE", a.reference, "The clean recording (any format import reads)")
        ->required();
    compare->add_option("DEGRADED", a.degraded, "The recording scored against it")->required();
    CLI::Option* csv = compare->add_flag("--csv", a.csv, "Print CSV");
    CLI::Option* json = compare->add_flag("--json", a.json, "Print a JSON object");
    csv->excludes(json);
    CLI::Option* delay =
        compare
            ->add_option(
                "--delay", a.delay,
                "Samples (8 kHz) the degraded recording lags behind the reference; negative: ahead")
            ->check(CLI::Range(-kMaxCompareDelay, kMaxCompareDelay));
    CLI::Option* align = compare->add_flag(
        "--align", a.align, "Find the delay by cross-correlation (within one second)");
    delay->excludes(align);
    compare->footer("Example: zorvel-cli compare mowa.wav mowa.wav_12.20_sout.wav --json");
    return compare;
}

CLI::App* defineListening(CLI::App& app, ListeningArguments& a) {
    CLI::App* listening = app.add_subcommand(
        "listening",
        "Mean scores with 95% confidence intervals per condition of listening tests, after the "
        "listeners' screening, from the ratings files the desktop program's test writes");
    listening->add_option("FILE", a.files, "Ratings files (JSONL)")->required();
    CLI::Option* csv = listening->add_flag("--csv", a.csv, "Print the table as CSV");
    CLI::Option* json = listening->add_flag("--json", a.json, "Print a JSON object");
    csv->excludes(json);
    listening->add_option("--plot", a.plot, "Write the chart of the means and intervals")
        ->type_name("OUT.png|OUT.svg");
    listening->add_flag("-y,--yes", a.overwrite, "Overwrite an existing chart");
    listening->footer("Example: zorvel-cli listening wyniki/*.jsonl --plot wyniki.svg");
    return listening;
}

#ifdef ZORVEL_CLI_PLOTS
// The chart window takes any finite scale but 0, which would flatten every trace.
CLI::Validator nonZeroScale() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value == 0.0)
                return "the scale must be a number other than 0, not '" + text + "'";
            return {};
        },
        "", "scale");
}

void addNameList(CLI::App& plot, const std::string& name, std::vector<std::string>& target,
                 const std::vector<std::string>& names, const std::string& what) {
    std::vector<std::string> accepted = names;
    accepted.emplace_back("none");
    plot.add_option(name, target, what + "; names separated by commas, or none")
        ->delimiter(',')
        ->check(CLI::IsMember(accepted));
}

CLI::App* definePlot(CLI::App& app, PlotArguments& a) {
    CLI::App* plot = app.add_subcommand(
        "plot",
        "Draw one frame as the chart window shows it, as figures with a title, axes and a "
        "legend: PREFIX-time.png, PREFIX-spectrum.png (.svg with --svg)");
    plot->add_option("INPUT", a.input, "Input file")->required();
    plot->add_option("--frame", a.frame, "Frame number (0: the cleared state before frame 1)")
        ->required()
        ->check(CLI::NonNegativeNumber);
    addCoderOptions(*plot, a.coder);
    addInputFormatOptions(*plot, a.inputFormat);
    plot->add_option("-o,--output", a.prefix,
                     "Prefix of the two picture files (default INPUT_<mode>_frame<N>)");
    plot->add_flag("-y,--yes", a.overwrite, "Overwrite existing pictures");
    plot->add_flag("--one-frame", a.oneFrame, "Current frame only (default: previous and current)");
    plot->add_flag("--light", a.light, "Light colours (default: dark)");
    plot->add_option("--scale", a.scalePercent, "Vertical scale of the time image in percent")
        ->check(nonZeroScale())
        ->capture_default_str();
    addNameList(*plot, "--time", a.traces, traceNames(), "Time traces (default s,s')");
    addNameList(*plot, "--spectra", a.spectra, spectrumNames(),
                "Spectra (default S,aI,aII; aI in mode 12.2 only)");
    plot->add_flag("--svg", a.svg, "Write SVG vector pictures instead of PNG");
    plot->footer("Example: zorvel-cli plot mowa.wav --frame 42 --time \"s,s',gcc\" -o f42");
    return plot;
}
#else
CLI::App* definePlot(CLI::App& app, PlotArguments&) {
    CLI::App* plot = app.add_subcommand(
        "plot", "Not available: this zorvel-cli was built without the chart drawing (Qt 6)");
    plot->allow_extras();
    return plot;
}
#endif

// The subcommands, as CLI11 hands them back after parsing.
struct Subcommands {
    CLI::App* encode = nullptr;
    CLI::App* frames = nullptr;
    CLI::App* plot = nullptr;
    CLI::App* sweep = nullptr;
    CLI::App* import = nullptr;
    CLI::App* train = nullptr;
    CLI::App* quantisers = nullptr;
    CLI::App* aggregate = nullptr;
    CLI::App* settings = nullptr;
    CLI::App* compare = nullptr;
    CLI::App* listening = nullptr;
};

// Declares the subcommands and options of `app`, bound to `arguments`.
Subcommands defineCommandLine(CLI::App& app, Arguments& arguments) {
    app.set_version_flag("--version", std::string("zorvel-cli ") + ZORVEL_VERSION);
    app.require_subcommand(1);
    return {defineEncode(app, arguments.encode),
            defineFrames(app, arguments.frames),
            definePlot(app, arguments.plot),
            defineSweep(app, arguments.sweep),
            defineImport(app, arguments.import),
            defineTrain(app, arguments.train),
            defineQuantisers(app, arguments.quantisers),
            defineAggregate(app, arguments.aggregate),
            defineSettings(app, arguments.settings),
            defineCompare(app, arguments.compare),
            defineListening(app, arguments.listening)};
}

// The inputs of a command that takes a list: INPUT and the list's, read and
// split; a usage error as CLI11 words it when neither names any.
std::optional<int> resolveInputs(CLI::App& app, const std::string& command, InputSelection& list,
                                 std::vector<std::string>& inputs) {
    list.named = inputs;
    if (!namesInputs(list))
        return app.exit(CLI::RequiredError("INPUT")) == 0 ? kExitOk : kExitUsage;
    try {
        // The stand-in on a closed standard input would read as an empty list.
        if (list.filesFrom == "-" && standardInputWasClosed())
            throw FileError("cannot read the list from standard input: standard input is closed");
        inputs = selectInputs(list);
    } catch (const FileError& error) {
        std::cerr << "zorvel-cli " << command << ": " << error.what() << '\n';
        return kExitFailed;
    }
    return std::nullopt;
}

// Runs a command that takes a list once its inputs are resolved.
template <class CommandArguments>
int withInputs(CLI::App& app, const std::string& command, CommandArguments& a,
               int (*run)(const CommandArguments&)) {
    if (const std::optional<int> stop = resolveInputs(app, command, a.list, a.inputs)) return *stop;
    return run(a);
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    // Named here, so that help and errors do not show the path it was started by.
    CLI::App app{"zorvel-cli: the Zorvel ACELP speech coder for scripts", "zorvel-cli"};
    Arguments arguments;
    const Subcommands commands = defineCommandLine(app, arguments);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // CLI11's help, version or error text: 0 for --help and --version.
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    if (commands.settings->parsed()) return runSettings(arguments.settings);
    if (commands.encode->parsed()) return withInputs(app, "encode", arguments.encode, runEncode);
    if (commands.frames->parsed()) {
        FramesArguments& a = arguments.frames;
        if (!a.input.empty()) a.inputs.push_back(a.input);
        return withInputs(app, "frames", a, runFrames);
    }
    if (commands.sweep->parsed()) return withInputs(app, "sweep", arguments.sweep, runSweep);
    if (commands.import->parsed()) return withInputs(app, "import", arguments.import, runImport);
    if (commands.train->parsed()) return withInputs(app, "train", arguments.train, runTrain);
    if (commands.quantisers->parsed())
        return withInputs(app, "quantisers", arguments.quantisers, runQuantisers);
    if (commands.aggregate->parsed()) return runAggregate(arguments.aggregate);
    if (commands.compare->parsed()) return runCompare(arguments.compare);
    if (commands.listening->parsed()) return runListening(arguments.listening);
    return runPlot(arguments.plot);
}

int usageError(std::string_view command, std::string_view message) {
    std::cerr << "zorvel-cli " << command << ": " << message
              << "\nRun with --help for more information.\n";
    return kExitUsage;
}

}  // namespace zorvel::cli
