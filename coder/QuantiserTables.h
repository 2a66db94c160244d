// The trained tables of the quantisers: named codebooks of any dimension,
// named coefficient vectors and named texts (the tables' provenance), kept in
// one file with a version and a checksum. The file, all numbers little-endian:
//
//   bytes 0..3    "ZVQT"
//   4..7          u32 format version (kQuantiserTablesVersion)
//   8..11         u32 L, the length of the entries that follow
//   12..11+L      u32 entry count, then each entry in the order of its name:
//                   u8 kind (1 codebook, 2 coefficients, 3 text),
//                   u16 name length, the name (UTF-8),
//                   codebook:     u32 dimension, u32 size, dimension x size f64
//                   coefficients: u32 count, count f64
//                   text:         u32 length, the text
//   12+L..15+L    u32 CRC-32 (the IEEE 802.3 polynomial, as zip and PNG use
//                 it) of bytes 0..11+L
//
// f64 are IEEE 754 binary64 values as their bits: a file read and written
// again gives the same bytes, every number exact. A file is refused with its
// reason (QuantiserTablesError) unless every one of these holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coder/VectorTraining.h"
#include "files/FileError.h"

namespace zorvel {

inline constexpr std::uint32_t kQuantiserTablesVersion = 1;

// Why tables were refused.
enum class TablesProblem {
    truncated,     // shorter than its header or its stated length
    notTables,     // no "ZVQT" at its start
    version,       // of another format version
    checksum,      // its bytes do not give its CRC-32: damaged
    malformed,     // the checksum holds, the entries do not parse
    missingTable,  // a table a quantiser needs is absent
    wrongShape,    // a table a quantiser needs has another dimension or size
};

class QuantiserTablesError : public FileError {
  public:
    QuantiserTablesError(TablesProblem problem, const std::string& what)
        : FileError(what), problem_(problem) {}
    TablesProblem problem() const noexcept { return problem_; }

  private:
    TablesProblem problem_;
};

class QuantiserTables {
  public:
    void setCodebook(const std::string& name, Codebook codebook);
    void setCoefficients(const std::string& name, std::vector<double> coefficients);
    void setText(const std::string& name, std::string text);

    // The table of that name; throws QuantiserTablesError (missingTable) when
    // there is none.
    const Codebook& codebook(std::string_view name) const;
    const std::vector<double>& coefficients(std::string_view name) const;
    const std::string& text(std::string_view name) const;

    const std::map<std::string, Codebook, std::less<>>& codebooks() const { return codebooks_; }
    const std::map<std::string, std::vector<double>, std::less<>>& coefficientVectors() const {
        return coefficients_;
    }
    const std::map<std::string, std::string, std::less<>>& texts() const { return texts_; }

    bool operator==(const QuantiserTables&) const = default;

  private:
    std::map<std::string, Codebook, std::less<>> codebooks_;
    std::map<std::string, std::vector<double>, std::less<>> coefficients_;
    std::map<std::string, std::string, std::less<>> texts_;
};

// CRC-32 of `bytes` (reflected polynomial 0xEDB88320, initial and final
// complement): "123456789" gives 0xCBF43926.
std::uint32_t crc32(std::span<const unsigned char> bytes);

// The file's bytes.
std::string tablesBytes(const QuantiserTables& tables);
// Tables from a file's bytes; throws QuantiserTablesError with the reason.
QuantiserTables tablesFromBytes(std::string_view bytes);

// Throws FileError when the file cannot be read, QuantiserTablesError when
// its bytes are refused; the message completes "<file>: ...".
// (An unopenable file's message names the system's reason.)
QuantiserTables readQuantiserTables(const std::filesystem::path& file);

// The tables built into the program (coder/tables/default-quantisers.zvqt).
const QuantiserTables& defaultQuantiserTables();

}  // namespace zorvel
