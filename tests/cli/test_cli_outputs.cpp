// zorvel-cli's outputs as an administrator and a batch user meet them: device
// nodes and links are written in place and never replaced, standard output by
// "-", full disks and odd names fail loudly or work, existing files need -y,
// long names fit, no temporary outlives its process, messages say what the
// system said, and -d makes its directory. Runs that need root happen in a
// private mount namespace (and are skipped where unshare is not allowed).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::directoryNames;
using test::readBytes;
using test::readText;
using test::runCli;
using test::TempDir;

// Whether this zorvel-cli draws pictures (built with the chart drawing).
#if __has_include(<QGuiApplication>)
constexpr bool kPlots = true;
#else
constexpr bool kPlots = false;
#endif

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::uint8_t> encodeDirectly(const fs::path& input, int mode) {
    const TempDir scratch;
    SpeechCoder coder(input, test::modeNumbered(mode));
    EXPECT_EQ(coder.encodeFile(scratch / "reference.wav", SaveOption::synthesized),
              RunResult::completed);
    return readBytes(scratch / "reference.wav");
}

// The sample cut to `frames` frames: quick runs where only the files matter.
fs::path shortSample(const TempDir& dir, int frames, const std::string& name = "in.wav") {
    auto bytes = readBytes(test::samplePath());
    bytes.resize(kSampleDataOffset + static_cast<std::size_t>(frames) * kFrameBytes);
    test::writeBytes(dir / name, bytes);
    return dir / name;
}

std::string quoteForShell(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs `script` with sh in a private mount namespace; false when the system
// does not allow one (not root, or no unshare).
bool runPrivately(const std::string& script) {
    static const bool allowed =
        std::system("unshare -m sh -c 'mount -t tmpfs tmpfs /mnt' >/dev/null 2>&1") == 0;
    if (!allowed) return false;
    const int status = std::system(("unshare -m sh -c " + quoteForShell(script)).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << script;
    return true;
}

// One zorvel-cli run inside a script: its exit code, output and error go to
// files D/NAME.rc, D/NAME.out and D/NAME.err.
std::string scriptRun(const std::string& name, const std::string& args, const fs::path& d) {
    const std::string base = quoteForShell(arg(d / name));
    return std::string(ZORVEL_CLI) + " " + args + " >" + base + ".out 2>" + base +
           ".err; echo $? >" + base + ".rc\n";
}

struct ScriptResult {
    int exitCode;
    std::string out;
    std::string err;
};

ScriptResult scriptResult(const std::string& name, const fs::path& d) {
    return {std::stoi(readText(d / (name + ".rc"))), readText(d / (name + ".out")),
            readText(d / (name + ".err"))};
}

// --- 1. Device nodes and links are written in place, never replaced ----------

TEST(DeviceOutputs, AreWrittenInPlaceOrRefusedAndNeverReplaced) {
    const TempDir d;
    const fs::path input = shortSample(d, 30);
    const std::string in = quoteForShell(arg(input));
    std::string script =
        "mount -t tmpfs tmpfs /dev\n"
        "mknod -m666 /dev/null c 1 3\nmknod -m666 /dev/full c 1 7\n"
        "ln -s /proc/self/fd/1 /dev/stdout\n";
    script += scriptRun("framesNull", "frames " + in + " -o /dev/null", d.path());
    script += scriptRun("framesFull", "frames " + in + " -o /dev/full", d.path());
    script += scriptRun("framesStdout", "frames " + in + " -o /dev/stdout", d.path());
    script += scriptRun("framesNullYes", "frames " + in + " -o /dev/null -y", d.path());
    script += scriptRun("framesFullYes", "frames " + in + " -o /dev/full -y", d.path());
    script += scriptRun("framesStdoutYes", "frames " + in + " -o /dev/stdout -y", d.path());
    script += scriptRun("encodeNull", "encode " + in + " -o /dev/null -y", d.path());
    script += scriptRun("encodeFull", "encode " + in + " -o /dev/full -y", d.path());
    script += "stat -c %F /dev/null /dev/full > " + quoteForShell(arg(d / "types")) + "\n";
    script += "stat -c %F /dev/stdout >> " + quoteForShell(arg(d / "types")) + "\n";
    script += "ls -A /dev > " + quoteForShell(arg(d / "names")) + "\n";
    if (!runPrivately(script)) GTEST_SKIP() << "no private mount namespace here (unshare -m)";

    EXPECT_EQ(readText(d / "types"),
              "character special file\ncharacter special file\nsymbolic link\n");
    EXPECT_EQ(readText(d / "names"), "full\nnull\nstdout\n");  // no temporary left
    for (const std::string name : {"framesNull", "framesFull", "framesStdout"}) {
        const ScriptResult r = scriptResult(name, d.path());
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(contains(r.err, "exists; use -y to overwrite it")) << name << ": " << r.err;
    }
    const std::string csv = runCli({"frames", arg(input)}).out;
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(scriptResult("framesNullYes", d.path()).exitCode, 0);
    EXPECT_EQ(scriptResult("framesStdoutYes", d.path()).exitCode, 0);
    EXPECT_EQ(scriptResult("framesStdoutYes", d.path()).out, csv);
    EXPECT_EQ(scriptResult("encodeNull", d.path()).exitCode, 0)
        << scriptResult("encodeNull", d.path()).err;
    for (const std::string name : {"framesFullYes", "encodeFull"}) {
        const ScriptResult r = scriptResult(name, d.path());
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(contains(r.err, "'/dev/full': No space left on device")) << name << r.err;
    }
}

// The reproduction as given: frames to /dev/null as root, then ls -l.
TEST(DeviceOutputs, TheReportedRunKeepsDevNull) {
    const TempDir d;
    const fs::path input = shortSample(d, 5);
    std::string script = "mount -t tmpfs tmpfs /dev\nmknod -m666 /dev/null c 1 3\n";
    script +=
        scriptRun("frames", "frames " + quoteForShell(arg(input)) + " -o /dev/null", d.path());
    script += "ls -l /dev/null > " + quoteForShell(arg(d / "listing")) + "\n";
    if (!runPrivately(script)) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
    EXPECT_EQ(readText(d / "listing").substr(0, 1), "c") << readText(d / "listing");
}

TEST(DeviceOutputs, AFifoIsWrittenInPlace) {
    const TempDir d;
    const fs::path input = shortSample(d, 12);
    ASSERT_EQ(mkfifo((d / "pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readText(d / "pipe"); });
    const test::CliResult result = runCli({"encode", arg(input), "-o", arg(d / "pipe"), "-y"});
    reader.join();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto expected = encodeDirectly(input, 1);
    EXPECT_EQ(received, std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(fs::is_fifo(d / "pipe"));
}

TEST(StandardOutput, DashIsStandardOutputWhereOneOutputIsWritten) {
    if (!kPlots) GTEST_SKIP() << "built without the chart drawing (plot is part of this)";
    const TempDir d;
    const fs::path input = shortSample(d, 20);
    const test::CliResult encoded = runCli({"encode", arg(input), "-o", "-", "-m", "5.90"});
    EXPECT_EQ(encoded.exitCode, 0) << encoded.err;
    const auto expected = encodeDirectly(input, 6);
    EXPECT_EQ(encoded.out, std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(contains(encoded.err, "frames")) << "the table goes to standard error";

    const test::CliResult frames = runCli({"frames", arg(input), "-o", "-"});
    EXPECT_EQ(frames.exitCode, 0) << frames.err;
    EXPECT_EQ(frames.out, runCli({"frames", arg(input)}).out);

    const test::CliResult plot = runCli({"plot", arg(input), "--frame", "2", "-o", "-"});
    EXPECT_EQ(plot.exitCode, 2);
    EXPECT_TRUE(contains(plot.err, "plot writes two")) << plot.err;
    EXPECT_EQ(directoryNames(d.path()), std::vector<std::string>{"in.wav"});
}

// Runs `zorvel-cli WORDS REDIRECTION` by sh in `d`, no file growing past 4 MB
// (a run reading back its own output would fill the disk or the memory).
ScriptResult runInShell(const std::string& words, const std::string& redirection,
                        const fs::path& d) {
    const TempDir scratch;
    const std::string script = "cd " + quoteForShell(arg(d)) + " && ulimit -f 8192 && " +
                               ZORVEL_CLI + " " + words + " " + redirection + " 2>" +
                               quoteForShell(arg(scratch / "err"));
    const int status = std::system(("sh -c " + quoteForShell(script)).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", readText(scratch / "err")};
}

// Standard output closed, or the input itself (>>, 1<>; by name, link or a
// second name): every run that writes there is refused at once with exit
// code 1, and nothing is written anywhere.
TEST(StandardOutput, ClosedOrAnInputIsRefusedBeforeAnythingIsWritten) {
    const TempDir d;
    const fs::path input = shortSample(d, 40);
    shortSample(d, 5, "other.wav");
    fs::create_symlink("in.wav", d / "link.wav");
    fs::create_hard_link(input, d / "hard.wav");
    const std::vector<std::uint8_t> before = readBytes(input);
    const std::vector<std::string> names = directoryNames(d.path());
    const std::pair<std::string, std::string> runs[] = {
        {"encode in.wav -o -", ">&-"},
        {"encode in.wav -d out", ">&-"},
        {"frames in.wav", ">&-"},
        {"sweep in.wav", ">&-"},
        {"frames in.wav", ">> in.wav"},
        {"frames in.wav -o -", "1<> in.wav"},
        {"encode in.wav -o -", ">> link.wav"},
        {"encode other.wav hard.wav -d out", ">> in.wav"},
        {"sweep other.wav link.wav", ">> in.wav"}};
    for (const auto& [words, redirection] : runs) {
        const ScriptResult r = runInShell(words, redirection, d.path());
        EXPECT_EQ(r.exitCode, 1) << words << ' ' << redirection;
        EXPECT_TRUE(r.err.ends_with(redirection == ">&-"
                                        ? "in.wav: standard output is closed\n"
                                        : ".wav: standard output is the input file itself\n"))
            << words << ' ' << redirection << ": " << r.err;
        EXPECT_EQ(readBytes(input), before) << words << ' ' << redirection;
        EXPECT_EQ(directoryNames(d.path()), names) << words << ' ' << redirection;
    }
    EXPECT_EQ(runInShell("frames in.wav -o in.csv", ">&-", d.path()).exitCode, 0);
    EXPECT_EQ(readText(d / "in.csv"), runCli({"frames", arg(input)}).out);
}

// Whatever goes to standard output, from a table to --help, a write that
// fails there fails the run with the system's reason; standard output closed
// takes nothing in silence. Runs that write nothing there are not touched.
TEST(StandardOutput, AFailedWriteThereFailsTheRunWithItsReason) {
    const TempDir d;
    shortSample(d, 20);
    ASSERT_EQ(
        runCli({"encode", arg(d / "in.wav"), "-d", arg(d.path()), "--jsonl", arg(d / "r.jsonl")})
            .exitCode,
        0);
    const std::string full = "could not write to standard output: No space left on device\n";
    const std::pair<std::string, std::string> runs[] = {
        {"settings", "zorvel-cli: " + full},
        {"--help", "zorvel-cli: " + full},
        {"--version", "zorvel-cli: " + full},
        {"encode --help", "zorvel-cli: " + full},
        {"aggregate r.jsonl", "zorvel-cli: " + full},
        {"encode in.wav -d out --csv", "zorvel-cli: " + full},
        {"frames in.wav", "zorvel-cli: in.wav: " + full},
        {"sweep in.wav", "zorvel-cli: " + full},
        {"import in.wav -o x.wav", "zorvel-cli: " + full}};
    for (const auto& [words, message] : runs) {
        const ScriptResult r = runInShell(words, "> /dev/full", d.path());
        EXPECT_EQ(r.exitCode, 1) << words;
        EXPECT_EQ(r.err, message) << words;
    }
    for (const char* words : {"settings", "--help", "--version", "aggregate r.jsonl"}) {
        const ScriptResult r = runInShell(words, ">&-", d.path());
        EXPECT_EQ(r.exitCode, 1) << words;
        EXPECT_TRUE(r.err.ends_with("standard output is closed\n")) << words << ": " << r.err;
    }
    // What writes no byte there is no failure.
    EXPECT_EQ(runInShell("frames in.wav -o in.csv -y", "> /dev/full", d.path()).exitCode, 0);
    EXPECT_EQ(runInShell("encode in.wav -o - --csv", "> /dev/full", d.path()).exitCode, 1);
}

// A link to a regular file is written where it leads; the link stays.
TEST(LinkOutputs, ALinkToAFileKeepsTheLink) {
    const TempDir d;
    const fs::path input = shortSample(d, 10);
    test::writeBytes(d / "target.csv", {'o', 'l', 'd'});
    fs::create_symlink(d / "target.csv", d / "link.csv");
    const test::CliResult result = runCli({"frames", arg(input), "-o", arg(d / "link.csv"), "-y"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(d / "link.csv"));
    EXPECT_EQ(readText(d / "target.csv"), runCli({"frames", arg(input)}).out);
}

// --- 2. A failed picture write fails the run; names stay as given -------------

TEST(PlotOutputs, AFullDiskFailsAndLeavesNoFile) {
    if (!kPlots) GTEST_SKIP() << "built without the chart drawing";
    const TempDir d;
    const fs::path input = shortSample(d, 6);
    const fs::path x = d / "x";
    fs::create_directory(x);
    std::string script = "mount -t tmpfs -o size=4k tmpfs " + quoteForShell(arg(x)) + "\n";
    script += scriptRun(
        "plot",
        "plot " + quoteForShell(arg(input)) + " --frame 3 -o " + quoteForShell(arg(x / "p")),
        d.path());
    script += "ls -A " + quoteForShell(arg(x)) + " > " + quoteForShell(arg(d / "names")) + "\n";
    if (!runPrivately(script)) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
    const ScriptResult r = scriptResult("plot", d.path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "No space left on device")) << r.err;
    EXPECT_EQ(readText(d / "names"), "");
}

// Two outputs at once on a 64 KB file system: each failure gives the reason
// of the write that failed, also where the last bytes fail under the header.
TEST(EncodeOutputs, AFullDiskIsReportedAsSuchForEveryFile) {
    const TempDir d;
    std::string words = "encode -j2 -y -d " + quoteForShell(arg(d / "x"));
    for (const std::string name : {"f0.wav", "f1.wav", "f2.wav", "f3.wav", "f4.wav"})
        words += " " + quoteForShell(arg(shortSample(d, 125, name)));
    std::string script = "mkdir " + quoteForShell(arg(d / "x")) +
                         " && mount -t tmpfs -o size=64k tmpfs " + quoteForShell(arg(d / "x")) +
                         "\n";
    for (const std::string round : {"r0", "r1", "r2"}) script += scriptRun(round, words, d.path());
    if (!runPrivately(script)) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
    for (const std::string round : {"r0", "r1", "r2"}) {
        const ScriptResult r = scriptResult(round, d.path());
        EXPECT_EQ(r.exitCode, 1) << r.err;
        // A line for each file that failed, then the summary: all of them
        // for the one reason.
        std::istringstream lines(r.err);
        int failures = 0;
        std::string line;
        for (; std::getline(lines, line) && !line.ends_with(" files failed:"); ++failures)
            EXPECT_TRUE(line.ends_with("': No space left on device")) << line;
        EXPECT_GE(failures, 3) << r.err;
        EXPECT_EQ(line, "zorvel-cli: " + std::to_string(failures) + " of 5 files failed:");
        ASSERT_TRUE(std::getline(lines, line)) << r.err;
        EXPECT_TRUE(line.starts_with("  " + std::to_string(failures) + " files: "));
        EXPECT_TRUE(line.ends_with("': No space left on device")) << line;
        EXPECT_FALSE(std::getline(lines, line)) << line;
    }
}

TEST(PlotOutputs, ANameThatIsNotUtf8IsUsedAsItsBytes) {
    if (!kPlots) GTEST_SKIP() << "built without the chart drawing";
    const TempDir d;
    const fs::path input = shortSample(d, 6);
    const std::string prefix = arg(d / "p\xe9");
    const test::CliResult odd = runCli({"plot", arg(input), "--frame", "3", "-o", prefix});
    ASSERT_EQ(odd.exitCode, 0) << odd.err;
    const test::CliResult plain =
        runCli({"plot", arg(input), "--frame", "3", "-o", arg(d / "plain")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(directoryNames(d.path()),
              (std::vector<std::string>{"in.wav", "plain-spectrum.png", "plain-time.png",
                                        "p\xe9-spectrum.png", "p\xe9-time.png"}));
    for (const std::string kind : {"-time.png", "-spectrum.png"}) {
        const auto bytes = readBytes(prefix + kind);
        EXPECT_GT(bytes.size(), 1000u) << kind;
        EXPECT_EQ(bytes, readBytes(d / ("plain" + kind))) << kind;
        const std::vector<std::uint8_t> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        EXPECT_TRUE(std::equal(signature.begin(), signature.end(), bytes.begin())) << kind;
    }
}

// --- 3. Every subcommand refuses an existing output without -y ---------------

TEST(ExistingOutputs, EverySubcommandNeedsYes) {
    if (!kPlots) GTEST_SKIP() << "built without the chart drawing (plot is part of this)";
    const TempDir d;
    const fs::path input = shortSample(d, 8);
    ASSERT_EQ(runCli({"encode", arg(input)}).exitCode, 0);
    const fs::path coded = d / "in.wav_12.20_sout.wav";
    const auto codedBytes = readBytes(coded);
    const std::vector<std::uint8_t> old{'o', 'l', 'd'};
    test::writeBytes(d / "p-time.png", old);

    const test::CliResult frames = runCli({"frames", arg(input), "-o", arg(coded)});
    EXPECT_EQ(frames.exitCode, 1);
    EXPECT_TRUE(contains(frames.err, "zorvel-cli: " + arg(input) + ": output '" + arg(coded) +
                                         "' exists; use -y to overwrite it"))
        << frames.err;
    EXPECT_EQ(readBytes(coded), codedBytes);

    const test::CliResult plot = runCli({"plot", arg(input), "--frame", "1", "-o", arg(d / "p")});
    EXPECT_EQ(plot.exitCode, 1);
    EXPECT_TRUE(
        contains(plot.err, "output '" + arg(d / "p-time.png") + "' exists; use -y to overwrite it"))
        << plot.err;
    EXPECT_EQ(readBytes(d / "p-time.png"), old);
    EXPECT_EQ(directoryNames(d.path()),
              (std::vector<std::string>{"in.wav", "in.wav_12.20_sout.wav", "p-time.png"}));

    EXPECT_EQ(runCli({"frames", arg(input), "-o", arg(coded), "-y"}).exitCode, 0);
    EXPECT_EQ(readText(coded), runCli({"frames", arg(input)}).out);
    EXPECT_EQ(runCli({"plot", arg(input), "--frame", "1", "-o", arg(d / "p"), "-y"}).exitCode, 0);
    EXPECT_NE(readBytes(d / "p-time.png"), old);

    // sweep's chart, also when its name is not UTF-8.
    const fs::path chart = d / "snr\xe9.svg";
    test::writeBytes(chart, old);
    const test::CliResult sweep = runCli({"sweep", arg(input), "--plot", arg(chart)});
    EXPECT_EQ(sweep.exitCode, 1);
    EXPECT_TRUE(contains(sweep.err, "output '" + arg(chart) + "' exists; use -y to overwrite it"))
        << sweep.err;
    EXPECT_EQ(readBytes(chart), old);
    EXPECT_EQ(runCli({"sweep", arg(input), "--plot", arg(chart), "-y"}).exitCode, 0);
    EXPECT_TRUE(contains(readText(chart), "<svg"));
    EXPECT_EQ(directoryNames(d.path()).size(), 5u);  // nothing left beside the outputs
}

// --- 4. A temporary name fits wherever the final name fits -------------------

TEST(LongNames, UpToTheLongestNameTheSystemTakes) {
    if (!kPlots) GTEST_SKIP() << "built without the chart drawing (plot is part of this)";
    const TempDir d;
    const fs::path input = shortSample(d, 4);
    const long nameMax = pathconf(d.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 20);
    const std::string wav = std::string(static_cast<std::size_t>(nameMax) - 4, 'w') + ".wav";
    const std::string csv = std::string(static_cast<std::size_t>(nameMax) - 4, 'c') + ".csv";
    const std::string prefix(static_cast<std::size_t>(nameMax) - 13, 'p');  // + "-spectrum.png"
    for (bool again : {false, true}) {  // new, then replaced with -y
        SCOPED_TRACE(again ? "replacing" : "new");
        std::vector<std::string> yes;
        if (again) yes.push_back("-y");
        auto with = [&](std::vector<std::string> args) {
            args.insert(args.end(), yes.begin(), yes.end());
            return runCli(args);
        };
        EXPECT_EQ(with({"encode", arg(input), "-o", arg(d / wav)}).exitCode, 0);
        EXPECT_EQ(with({"frames", arg(input), "-o", arg(d / csv)}).exitCode, 0);
        const test::CliResult plot =
            with({"plot", arg(input), "--frame", "2", "-o", arg(d / prefix)});
        EXPECT_EQ(plot.exitCode, 0) << plot.err;
        EXPECT_EQ(readBytes(d / wav), encodeDirectly(input, 1));
        EXPECT_EQ(directoryNames(d.path()).size(), 5u);
    }
    const test::CliResult tooLong =
        runCli({"frames", arg(input), "-o", arg(d / (std::string(nameMax + 1, 'x')))});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_TRUE(contains(tooLong.err, "File name too long")) << tooLong.err;
}

// --- 5. No temporary outlives its process ------------------------------------

fs::path longInput(const TempDir& d) {
    std::mt19937 random(test::testSeed());
    std::uniform_int_distribution<int> sample(-20000, 20000);
    std::vector<std::int16_t> samples(20000 * kFrameSamples);
    for (auto& s : samples) s = static_cast<std::int16_t>(sample(random));
    test::writeSamples(d / "long.wav", samples);
    return d / "long.wav";
}

TEST(Temporaries, AKilledRunLeavesNothing) {
    const TempDir d;
    const TempDir scratch;
    const fs::path input = longInput(d);
    const fs::path out = d / "out";
    fs::create_directory(out);
    const test::CliProcess process =
        test::startCli({"encode", arg(input), "-d", arg(out)}, scratch);
    bool writing = false;
    for (int wait = 0; wait < 4000 && !writing; ++wait) {
        writing = test::writesInto(process.pid, out);
        if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(writing) << "no output was ever started";
    kill(process.pid, SIGKILL);
    EXPECT_EQ(test::finishCli(process).signal, SIGKILL);
    EXPECT_TRUE(directoryNames(out).empty());
}

// Interrupts at many moments of a batch: the files done are whole, the rest
// absent, and nothing else is left.
TEST(Temporaries, InterruptsDuringABatchLeaveOnlyWholeFiles) {
    const TempDir d;
    const fs::path one = shortSample(d, 3, "one.wav");
    const auto expected = encodeDirectly(one, 1);
    std::vector<std::string> args{"encode", "-j", "2", "-d", arg(d / "out")};
    for (int i = 0; i < 120; ++i) {
        const std::string name = std::string("f").append(std::to_string(i)).append(".wav");
        fs::copy_file(one, d / name);
        args.push_back(arg(d / name));
    }
    std::mt19937 random(test::testSeed());
    for (int round = 0; round < 12; ++round) {
        fs::remove_all(d / "out");
        const TempDir scratch;
        const test::CliProcess process = test::startCli(args, scratch);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
        kill(process.pid, SIGINT);
        test::finishCli(process);
        if (!fs::exists(d / "out")) continue;
        for (const std::string& name : directoryNames(d / "out")) {
            ASSERT_TRUE(name.starts_with("f") && name.ends_with(".wav_12.20_sout.wav"))
                << "round " << round << ": " << name;
            ASSERT_EQ(readBytes(d / "out" / name), expected) << "round " << round << ": " << name;
        }
    }
}

// Temporary names are only used where a file system has no anonymous files;
// one left by a process that is gone is removed by the next run there (also
// one that refuses its output), one of a living process is not.
TEST(Temporaries, ALaterRunRemovesLeftoversOfGoneProcesses) {
    const TempDir d;
    const fs::path input = shortSample(d, 2);
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string alive = std::to_string(getpid());
    const std::string dead = std::to_string(gone);
    const fs::path out = d / "out";
    fs::create_directory(out);
    for (const std::string& name : std::vector<std::string>{
             ".zv-" + dead + "-0-a.wav", ".a.wav.part-" + dead + "-3", ".zv-" + alive + "-0-b.wav",
             ".b.wav.part-" + alive + "-1", ".zv-notanumber-0-c.wav", "keep.wav"})
        test::writeBytes(out / name, {1});
    const test::CliResult result = runCli({"encode", arg(input), "-d", arg(out)});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(
        directoryNames(out),
        (std::vector<std::string>{".b.wav.part-" + alive + "-1", ".zv-" + alive + "-0-b.wav",
                                  ".zv-notanumber-0-c.wav", "in.wav_12.20_sout.wav", "keep.wav"}));
    // A run that refuses its output (it exists) still cleans up where it looked.
    test::writeBytes(out / (".zv-" + dead + "-0-a.wav"), {1});
    EXPECT_EQ(runCli({"encode", arg(input), "-d", arg(out)}).exitCode, 1);
    EXPECT_FALSE(fs::exists(out / (".zv-" + dead + "-0-a.wav")));
    EXPECT_TRUE(fs::exists(out / (".zv-" + alive + "-0-b.wav")));
}

// --- 6. Messages say what the system said ------------------------------------

TEST(Messages, SayWhatTheSystemSaid) {
    const TempDir d;
    fs::create_symlink(d / "loop.wav", d / "loop.wav");
    const test::CliResult loop = runCli({"encode", arg(d / "loop.wav")});
    EXPECT_EQ(loop.exitCode, 1);
    EXPECT_TRUE(contains(loop.err, "input cannot be opened: Too many levels of symbolic links"))
        << loop.err;

    std::string longPath = arg(d.path());
    while (longPath.size() < 4516) longPath += "/" + std::string(200, 'd');
    const test::CliResult tooLong = runCli({"frames", longPath});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_TRUE(contains(tooLong.err, "input cannot be opened: File name too long"))
        << tooLong.err.substr(tooLong.err.size() - 100);

    for (const std::string jobs : {"0", "-3", "x"}) {
        const test::CliResult result =
            runCli({"encode", arg(test::samplePath()), "-d", arg(d.path()), "-j", jobs});
        EXPECT_EQ(result.exitCode, 2) << jobs;
        EXPECT_TRUE(contains(result.err, "-j takes a number of threads from 1 up, not '" + jobs))
            << result.err;
        EXPECT_LT(result.err.size(), 200u) << result.err;
    }
    EXPECT_EQ(directoryNames(d.path()), std::vector<std::string>{"loop.wav"});
}

}  // namespace
}  // namespace zorvel
