// The hidden temporary names of outputs staged without anonymous files: how
// long they are, whose they are, and which leftovers a run removes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/StagedOutput.h"
#include "files/TemporaryNames.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel::cli {
namespace {

namespace fs = std::filesystem;

// Every length a final name can have: the temporary name is the final one's
// length but never cut into its unique prefix, which names its process.
TEST(TemporaryNames, FitWhereTheFinalNameFitsAndKeepTheirPrefix) {
    const pid_t owner = 4194304;  // Linux's limit of process ids: the longest number
    const std::string prefix = ".zv-4194304-18446744073709551615-";
    for (std::size_t length = 1; length <= 255; ++length) {
        const std::string leaf(length, 'x');
        const std::string name = temporaryName(leaf, owner, 18446744073709551615ul);
        ASSERT_EQ(name.size(), std::max(length, prefix.size())) << length;
        ASSERT_EQ(name.substr(0, prefix.size()), prefix) << length;
        ASSERT_EQ(name.substr(prefix.size()), leaf.substr(0, name.size() - prefix.size()));
        ASSERT_EQ(temporaryOwner(name), owner) << name;
        ASSERT_NE(name, temporaryName(leaf, owner, 1)) << length;
    }
    EXPECT_EQ(temporaryName("a.wav", 42, 7), ".zv-42-7-");
    EXPECT_EQ(temporaryName("speech_12.20_sout.wav", 42, 7), ".zv-42-7-speech_12.20");
}

TEST(TemporaryNames, OwnerIsReadFromThisAndEarlierVersionsNamesOnly) {
    const std::vector<std::pair<std::string, pid_t>> cases{
        {".zv-123-0-a.wav", 123}, {".a.wav.part-77-3", 77},
        {".zv-9-0-", 9},          {".zv-notanumber-0-c", 0},
        {".zv-123", 0},           {".zv-123x-0-a", 0},
        {".zv--5-0-a", 0},        {".zv-0-1-a", 0},
        {"zv-123-0-a", 0},        {"a.wav.part-5-1", 0},
        {".a.part-12", 0},        {".zv-99999999999999999999-0-a", 0},
        {"keep.wav", 0},          {".a.wav.part-x-5.part-6-1", 6}};
    for (const auto& [name, owner] : cases) EXPECT_EQ(temporaryOwner(name), owner) << name;
}

// A leftover goes only when its process is gone, it is a regular file and no
// one holds its lock; nothing else in the directory is touched.
TEST(TemporaryNames, LeftoversOfGoneProcessesAreRemovedAndNothingElse) {
    const test::TempDir d;
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone);
    const std::vector<std::string> kept{".zv-" + std::to_string(getpid()) + "-0-own",
                                        ".zv-" + std::to_string(getppid()) + "-0-parent",
                                        ".zv-" + dead + "-1-directory",
                                        ".zv-" + dead + "-2-link",
                                        ".zv-" + dead + "-3-locked",
                                        ".zv-notanumber-0-c.wav",
                                        "keep.wav"};
    for (const std::string& name : kept) test::writeBytes(d / name, {1});
    fs::remove(d / kept[2]);
    fs::create_directory(d / kept[2]);
    fs::remove(d / kept[3]);
    fs::create_symlink(d / "keep.wav", d / kept[3]);
    const int locked = open((d / kept[4]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(locked, LOCK_EX), 0);
    test::writeBytes(d / (".zv-" + dead + "-4-a.wav"), {1});
    test::writeBytes(d / (".a.wav.part-" + dead + "-5"), {1});

    const int directory = open(d.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    removeLeftoverTemporaries(directory);
    std::vector<std::string> sorted = kept;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(test::directoryNames(d.path()), sorted);
    EXPECT_EQ(test::readBytes(d / "keep.wav"), std::vector<std::uint8_t>{1});

    close(locked);  // its process let go of it: the next run removes it
    removeLeftoverTemporaries(directory);
    sorted.erase(std::find(sorted.begin(), sorted.end(), kept[4]));
    EXPECT_EQ(test::directoryNames(d.path()), sorted);
    close(directory);
}

// A folder takes new files when one can be made there, whatever its
// permissions say to the superuser; the probe leaves nothing behind.
TEST(NewFileError, TriesAndLeavesNothing) {
    test::TempDir dir;
    EXPECT_EQ(newFileError(dir.path()), 0);
    EXPECT_TRUE(test::directoryNames(dir.path()).empty());
    EXPECT_EQ(newFileError(dir / "missing"), ENOENT);
    test::writeBytes(dir / "file", {1});
    EXPECT_EQ(newFileError(dir / "file"), ENOTDIR);
    EXPECT_NE(newFileError("/proc/self/fd"), 0);
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"file"});
}

}  // namespace
}  // namespace zorvel::cli
