#include "coder/QuantiserTables.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace zorvel {

// The bytes of coder/tables/default-quantisers.zvqt, built into the library.
extern const unsigned char kDefaultQuantiserTables[];
extern const std::size_t kDefaultQuantiserTablesSize;

namespace {

constexpr std::string_view kMagic = "ZVQT";
constexpr std::size_t kHeaderBytes = 12;  // magic, version, L
constexpr std::size_t kChecksumBytes = 4;

enum class EntryKind : std::uint8_t { codebook = 1, coefficients = 2, text = 3 };

std::array<std::uint32_t, 256> crcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

class Writer {
  public:
    void u8(std::uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) {
        for (int k = 0; k < 2; ++k) u8(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    void u32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) u8(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    void f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        for (int k = 0; k < 8; ++k) u8(static_cast<std::uint8_t>(bits >> (8 * k)));
    }
    void text(std::string_view s) { bytes_.append(s); }
    void name(const std::string& s) {
        if (s.size() > std::numeric_limits<std::uint16_t>::max())
            throw std::invalid_argument("a table's name is longer than 65535 bytes");
        u16(static_cast<std::uint16_t>(s.size()));
        text(s);
    }
    void count(std::size_t n) {
        if (n > std::numeric_limits<std::uint32_t>::max())
            throw std::invalid_argument("a table holds more than 2^32 - 1 values");
        u32(static_cast<std::uint32_t>(n));
    }
    std::string& bytes() { return bytes_; }

  private:
    std::string bytes_;
};

// Reads the entries; any read past their end is a malformed file.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t number(int size) {
        need(static_cast<std::size_t>(size));
        std::uint64_t v = 0;
        for (int k = 0; k < size; ++k)
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[at_ + k])) << (8 * k);
        at_ += static_cast<std::size_t>(size);
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(number(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(number(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
    double f64() { return std::bit_cast<double>(number(8)); }
    std::string text(std::size_t length) {
        need(length);
        std::string s(bytes_.substr(at_, length));
        at_ += length;
        return s;
    }
    std::vector<double> numbers(std::uint64_t count) {
        if (count > (bytes_.size() - at_) / 8) malformed("a table runs past the end of the file");
        std::vector<double> v(static_cast<std::size_t>(count));
        for (double& x : v) x = f64();
        return v;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

    [[noreturn]] static void malformed(const std::string& why) {
        throw QuantiserTablesError(TablesProblem::malformed,
                                   "not a valid quantiser tables file: " + why);
    }

  private:
    void need(std::size_t n) const {
        if (n > bytes_.size() - at_) malformed("an entry runs past the end of the file");
    }
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void addEntry(QuantiserTables& tables, Reader& in) {
    const std::uint8_t kind = in.u8();
    const std::string name = in.text(in.u16());
    if (tables.codebooks().contains(name) || tables.coefficientVectors().contains(name) ||
        tables.texts().contains(name))
        Reader::malformed("the name '" + name + "' is given twice");
    switch (static_cast<EntryKind>(kind)) {
        case EntryKind::codebook: {
            const std::uint32_t dimension = in.u32();
            const std::uint32_t size = in.u32();
            if (dimension == 0) Reader::malformed("codebook '" + name + "' has dimension 0");
            tables.setCodebook(name, {static_cast<int>(dimension),
                                      in.numbers(static_cast<std::uint64_t>(dimension) * size)});
            return;
        }
        case EntryKind::coefficients:
            tables.setCoefficients(name, in.numbers(in.u32()));
            return;
        case EntryKind::text:
            tables.setText(name, in.text(in.u32()));
            return;
    }
    Reader::malformed("entry '" + name + "' is of an unknown kind " + std::to_string(kind));
}

[[noreturn]] void missing(std::string_view what, std::string_view name) {
    throw QuantiserTablesError(
        TablesProblem::missingTable,
        "the quantiser tables hold no " + std::string(what) + " '" + std::string(name) + "'");
}

std::string hex(std::uint32_t v) {
    std::ostringstream out;
    out << "0x" << std::hex << v;
    return out.str();
}

}  // namespace

void QuantiserTables::setCodebook(const std::string& name, Codebook codebook) {
    codebooks_[name] = std::move(codebook);
}

void QuantiserTables::setCoefficients(const std::string& name, std::vector<double> coefficients) {
    coefficients_[name] = std::move(coefficients);
}

void QuantiserTables::setText(const std::string& name, std::string text) {
    texts_[name] = std::move(text);
}

const Codebook& QuantiserTables::codebook(std::string_view name) const {
    const auto found = codebooks_.find(name);
    if (found == codebooks_.end()) missing("codebook", name);
    return found->second;
}

const std::vector<double>& QuantiserTables::coefficients(std::string_view name) const {
    const auto found = coefficients_.find(name);
    if (found == coefficients_.end()) missing("coefficients", name);
    return found->second;
}

const std::string& QuantiserTables::text(std::string_view name) const {
    const auto found = texts_.find(name);
    if (found == texts_.end()) missing("text", name);
    return found->second;
}

std::uint32_t crc32(std::span<const unsigned char> bytes) {
    static const std::array<std::uint32_t, 256> table = crcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const unsigned char b : bytes) c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string tablesBytes(const QuantiserTables& tables) {
    // The entries of all three kinds in the order of their names.
    std::map<std::string, EntryKind> order;
    for (const auto& entry : tables.codebooks()) order.emplace(entry.first, EntryKind::codebook);
    for (const auto& entry : tables.coefficientVectors())
        order.emplace(entry.first, EntryKind::coefficients);
    for (const auto& entry : tables.texts()) order.emplace(entry.first, EntryKind::text);

    Writer entries;
    entries.count(order.size());
    for (const auto& [name, kind] : order) {
        entries.u8(static_cast<std::uint8_t>(kind));
        entries.name(name);
        switch (kind) {
            case EntryKind::codebook: {
                const Codebook& c = tables.codebook(name);
                entries.count(static_cast<std::size_t>(c.dimension));
                entries.count(static_cast<std::size_t>(c.size()));
                for (const double v : c.values) entries.f64(v);
                break;
            }
            case EntryKind::coefficients: {
                const std::vector<double>& v = tables.coefficients(name);
                entries.count(v.size());
                for (const double x : v) entries.f64(x);
                break;
            }
            case EntryKind::text: {
                const std::string& t = tables.text(name);
                entries.count(t.size());
                entries.text(t);
                break;
            }
        }
    }
    Writer file;
    file.text(kMagic);
    file.u32(kQuantiserTablesVersion);
    file.count(entries.bytes().size());
    file.text(entries.bytes());
    const std::string& bytes = file.bytes();
    file.u32(crc32({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}));
    return std::move(file.bytes());
}

QuantiserTables tablesFromBytes(std::string_view bytes) {
    if (bytes.size() < kMagic.size() || bytes.substr(0, kMagic.size()) != kMagic)
        throw QuantiserTablesError(TablesProblem::notTables,
                                   "not a quantiser tables file (it does not start with ZVQT)");
    if (bytes.size() < kHeaderBytes + kChecksumBytes)
        throw QuantiserTablesError(
            TablesProblem::truncated,
            "the quantiser tables file is cut short (" + std::to_string(bytes.size()) + " bytes)");
    Reader header(bytes.substr(kMagic.size(), kHeaderBytes - kMagic.size()));
    const std::uint32_t version = header.u32();
    const std::uint32_t length = header.u32();
    if (version != kQuantiserTablesVersion)
        throw QuantiserTablesError(TablesProblem::version,
                                   "quantiser tables of format version " + std::to_string(version) +
                                       "; this program reads version " +
                                       std::to_string(kQuantiserTablesVersion));
    const std::size_t whole = kHeaderBytes + static_cast<std::size_t>(length) + kChecksumBytes;
    if (bytes.size() < whole)
        throw QuantiserTablesError(
            TablesProblem::truncated,
            "the quantiser tables file is cut short: " + std::to_string(bytes.size()) +
                " bytes of " + std::to_string(whole));
    if (bytes.size() > whole)
        Reader::malformed(std::to_string(bytes.size() - whole) + " bytes follow its checksum");
    const std::string_view covered = bytes.substr(0, whole - kChecksumBytes);
    const std::uint32_t stored = Reader(bytes.substr(whole - kChecksumBytes)).u32();
    const std::uint32_t computed =
        crc32({reinterpret_cast<const unsigned char*>(covered.data()), covered.size()});
    if (stored != computed)
        throw QuantiserTablesError(TablesProblem::checksum,
                                   "the quantiser tables file is damaged: its CRC-32 is " +
                                       hex(computed) + ", not the " + hex(stored) + " it states");
    Reader in(bytes.substr(kHeaderBytes, length));
    QuantiserTables tables;
    const std::uint32_t count = in.u32();
    for (std::uint32_t n = 0; n < count; ++n) addEntry(tables, in);
    if (!in.atEnd()) Reader::malformed("bytes follow its last entry");
    return tables;
}

QuantiserTables readQuantiserTables(const std::filesystem::path& file) {
    // Never a device or a FIFO, which could keep the reader waiting.
    std::error_code error;
    if (std::filesystem::exists(file, error) && !std::filesystem::is_regular_file(file, error))
        throw FileError("the quantiser tables are not a regular file");
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int error = errno;
        throw FileError(
            std::string("the quantiser tables cannot be opened: ") + std::strerror(error), error);
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        const int error = errno;
        throw FileError(std::string("the quantiser tables cannot be read: ") + std::strerror(error),
                        error);
    }
    return tablesFromBytes(bytes);
}

const QuantiserTables& defaultQuantiserTables() {
    static const QuantiserTables tables = tablesFromBytes(
        {reinterpret_cast<const char*>(kDefaultQuantiserTables), kDefaultQuantiserTablesSize});
    return tables;
}

}  // namespace zorvel
