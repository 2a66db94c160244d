// The quantiser tables file: its bytes as documented, a round trip that keeps
// every bit, each kind of damage refused with its reason, and the default
// tables built into the library equal to the committed file.
#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "coder/LsfQuantiser.h"
#include "coder/QuantiserTables.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

std::uint32_t crcOf(std::string_view bytes) {
    return crc32({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + k])) << (8 * k);
    return v;
}

void setU32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(v >> (8 * k));
}

// The checksum made right again after a change: a file damaged in a way the
// checksum cannot tell.
void resign(std::string& bytes) {
    setU32(bytes, bytes.size() - 4, crcOf(std::string_view(bytes).substr(0, bytes.size() - 4)));
}

QuantiserTables sampleTables() {
    QuantiserTables tables;
    tables.setCodebook("gain/joint7", {2, {0.25, -1.5, 1e-300, 3.0}});
    tables.setCodebook("lsf/one", {1, {0.1}});
    tables.setCodebook("lsf/wide", {7, std::vector<double>(7 * 3, 1.0 / 3.0)});
    tables.setCoefficients("odd values", {-0.0, std::numeric_limits<double>::denorm_min(),
                                          std::numeric_limits<double>::max(),
                                          -std::numeric_limits<double>::infinity(), 0.1 + 0.2});
    tables.setCoefficients("empty", {});
    tables.setText("provenance", "Ćwiczenie: zażółć gęślą jaźń");
    return tables;
}

TEST(QuantiserTables, Crc32OfTheCheckString) {
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(crcOf(""), 0u);
}

TEST(QuantiserTables, BytesAreAsDocumentedAndRoundTripExactly) {
    const QuantiserTables tables = sampleTables();
    const std::string bytes = tablesBytes(tables);
    EXPECT_EQ(bytes.substr(0, 4), "ZVQT");
    EXPECT_EQ(u32At(bytes, 4), kQuantiserTablesVersion);
    EXPECT_EQ(u32At(bytes, 8), bytes.size() - 16);
    EXPECT_EQ(u32At(bytes, 12), 6u);  // entries
    // The first entry by name is "empty": kind 2, name, no values.
    EXPECT_EQ(bytes[16], 2);
    EXPECT_EQ(bytes.substr(17, 7), std::string("\x05\x00", 2) + "empty");
    EXPECT_EQ(u32At(bytes, 24), 0u);
    EXPECT_EQ(u32At(bytes, bytes.size() - 4),
              crcOf(std::string_view(bytes).substr(0, bytes.size() - 4)));

    const QuantiserTables read = tablesFromBytes(bytes);
    EXPECT_EQ(tablesBytes(read), bytes);
    const std::vector<double>& odd = read.coefficients("odd values");
    const std::vector<double>& written = tables.coefficients("odd values");
    ASSERT_EQ(odd.size(), written.size());
    for (std::size_t i = 0; i < odd.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(odd[i]), std::bit_cast<std::uint64_t>(written[i]))
            << "value " << i;
    EXPECT_EQ(read.codebook("lsf/wide"), tables.codebook("lsf/wide"));
    EXPECT_EQ(read.codebook("gain/joint7").size(), 2);
    EXPECT_EQ(read.text("provenance"), tables.text("provenance"));

    // A NaN keeps its bits too.
    QuantiserTables nan;
    const double quiet = std::bit_cast<double>(0x7ff8000000000123ull);
    nan.setCoefficients("nan", {quiet});
    EXPECT_EQ(
        std::bit_cast<std::uint64_t>(tablesFromBytes(tablesBytes(nan)).coefficients("nan").at(0)),
        0x7ff8000000000123ull);
}

// The problem a refusal names, or nothing when the bytes are taken.
std::optional<TablesProblem> problemOf(const std::string& bytes, std::string& message) {
    try {
        tablesFromBytes(bytes);
    } catch (const QuantiserTablesError& error) {
        message = error.what();
        return error.problem();
    }
    return std::nullopt;
}

TEST(QuantiserTables, DamagedFilesAreRefusedWithTheirReason) {
    const std::string good = tablesBytes(sampleTables());
    std::string message;
    struct Case {
        const char* what;
        std::string bytes;
        TablesProblem problem;
        std::string words;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", "", TablesProblem::notTables, "not a quantiser tables file"});
    cases.push_back({"another file", "RIFF" + good.substr(4), TablesProblem::notTables, "ZVQT"});
    cases.push_back(
        {"only a header", good.substr(0, 10), TablesProblem::truncated, "cut short (10 bytes)"});
    cases.push_back({"cut short", good.substr(0, good.size() - 1), TablesProblem::truncated,
                     "bytes of " + std::to_string(good.size())});
    std::string version = good;
    setU32(version, 4, 2);
    resign(version);
    cases.push_back({"version 2", version, TablesProblem::version,
                     "format version 2; this program reads version 1"});
    std::string flipped = good;
    flipped[40] ^= 0x10;
    cases.push_back({"a flipped bit", flipped, TablesProblem::checksum, "damaged: its CRC-32"});
    std::string badCrc = good;
    badCrc.back() ^= 1;
    cases.push_back({"a wrong checksum", badCrc, TablesProblem::checksum, "damaged"});
    cases.push_back(
        {"a byte too many", good + '\0', TablesProblem::malformed, "1 bytes follow its checksum"});
    std::string moreEntries = good;
    setU32(moreEntries, 12, 7);
    resign(moreEntries);
    cases.push_back(
        {"an entry too many stated", moreEntries, TablesProblem::malformed, "runs past the end"});
    std::string fewerEntries = good;
    setU32(fewerEntries, 12, 5);
    resign(fewerEntries);
    cases.push_back({"an entry too few stated", fewerEntries, TablesProblem::malformed,
                     "bytes follow its last entry"});
    std::string kind = good;
    kind[16] = 9;
    resign(kind);
    cases.push_back({"an unknown kind", kind, TablesProblem::malformed, "unknown kind 9"});
    // A file of two entries of one name: one entry written twice.
    std::string twice;
    {
        QuantiserTables one;
        one.setCoefficients("x", {1.0});
        const std::string single = tablesBytes(one);
        const std::string entry = single.substr(16, single.size() - 20);
        twice = single.substr(0, 16) + entry + entry + "CRC.";
        setU32(twice, 8, static_cast<std::uint32_t>(twice.size() - 16));
        setU32(twice, 12, 2);
        resign(twice);
    }
    cases.push_back({"a name twice", twice, TablesProblem::malformed, "'x' is given twice"});

    for (const Case& c : cases) {
        message.clear();
        const std::optional<TablesProblem> problem = problemOf(c.bytes, message);
        ASSERT_TRUE(problem.has_value()) << c.what;
        EXPECT_EQ(*problem, c.problem) << c.what << ": " << message;
        EXPECT_NE(message.find(c.words), std::string::npos) << c.what << ": " << message;
    }
}

TEST(QuantiserTables, AFileIsReadOrRefusedWithTheSystemsReason) {
    test::TempDir dir;
    const std::string good = tablesBytes(sampleTables());
    const std::vector<std::uint8_t> bytes(good.begin(), good.end());
    test::writeBytes(dir / "t.zvqt", bytes);
    EXPECT_EQ(readQuantiserTables(dir / "t.zvqt"), sampleTables());

    std::vector<std::uint8_t> damaged = bytes;
    damaged[30] ^= 0x01;
    test::writeBytes(dir / "damaged.zvqt", damaged);
    try {
        readQuantiserTables(dir / "damaged.zvqt");
        ADD_FAILURE() << "a damaged file was read";
    } catch (const QuantiserTablesError& error) {
        EXPECT_EQ(error.problem(), TablesProblem::checksum);
    }
    try {
        readQuantiserTables(dir / "absent.zvqt");
        ADD_FAILURE() << "an absent file was read";
    } catch (const QuantiserTablesError&) {
        ADD_FAILURE() << "an absent file is no damaged one";
    } catch (const FileError& error) {
        EXPECT_EQ(error.error(), ENOENT);
        EXPECT_NE(std::string(error.what()).find(std::strerror(ENOENT)), std::string::npos);
    }
}

TEST(QuantiserTables, AMissingTableIsNamed) {
    const QuantiserTables tables = sampleTables();
    try {
        tables.codebook("lsf26/split0");
        ADD_FAILURE();
    } catch (const QuantiserTablesError& error) {
        EXPECT_EQ(error.problem(), TablesProblem::missingTable);
        EXPECT_STREQ(error.what(), "the quantiser tables hold no codebook 'lsf26/split0'");
    }
    EXPECT_THROW(tables.coefficients("lsf/one"), QuantiserTablesError);  // a codebook's name
    EXPECT_THROW(tables.text("odd values"), QuantiserTablesError);
}

TEST(QuantiserTables, TheDefaultTablesAreTheCommittedFileAndHoldEveryLsfTable) {
    const std::filesystem::path committed = test::samplePath().parent_path().parent_path() /
                                            "coder" / "tables" / "default-quantisers.zvqt";
    const std::vector<std::uint8_t> file = test::readBytes(committed);
    ASSERT_FALSE(file.empty()) << committed;
    const QuantiserTables& tables = defaultQuantiserTables();
    EXPECT_EQ(tablesBytes(tables), std::string(file.begin(), file.end()));
    EXPECT_NO_THROW(checkLsfTables(tables));
    EXPECT_NE(tables.text("provenance").find("zorvel-cli train"), std::string::npos);
}

}  // namespace
}  // namespace zorvel
