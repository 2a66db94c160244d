// An input file is opened non-blocking (a FIFO without a writer would hold
// the open forever), checked by its descriptor (so the file checked is the
// file read) and then read blocking through a descriptor stream.
#include "sound/SpeechInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

#include "sound/DescriptorStream.h"

namespace zorvel {
namespace {

std::string systemText(int error) { return std::generic_category().message(error); }

std::string openProblem(int error) {
    if (error == ENOENT) return "input file not found";
    return "input cannot be opened: " + systemText(error);
}

std::string typeProblem(mode_t mode) {
    if (S_ISDIR(mode)) return "input is a directory";
    return "input is not a regular file";
}

std::string readProblem(int error) { return "input cannot be read: " + systemText(error); }

// A regular file open for blocking reads, or why there is none (no fd).
struct OpenedFile {
    Descriptor fd;
    struct stat status {};
    ReadOutcome outcome = ReadOutcome::read;
    std::string problem;
};

OpenedFile openRegularFile(const std::filesystem::path& file) {
    OpenedFile opened;
    Descriptor fd(open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        opened.outcome = error == ENOENT ? ReadOutcome::notFound : ReadOutcome::unreadable;
        opened.problem = openProblem(error);
        return opened;
    }
    if (fstat(fd.get(), &opened.status) != 0) {
        opened.outcome = ReadOutcome::unreadable;
        opened.problem = openProblem(errno);
        return opened;
    }
    if (!S_ISREG(opened.status.st_mode)) {
        opened.outcome = ReadOutcome::notRegularFile;
        opened.problem = typeProblem(opened.status.st_mode);
        return opened;
    }
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    opened.fd = std::move(fd);
    return opened;
}

// Signed 16-bit little-endian samples, one per two bytes of `bytes`.
void decodeSamples(const char* bytes, std::span<double> samples) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
    }
}

}  // namespace

std::int64_t framesInBytes(std::int64_t bytes) {
    if (bytes <= kSampleDataOffset) return 0;
    return (bytes - kSampleDataOffset) / kFrameBytes;
}

std::int64_t framesInFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error ? 0 : framesInBytes(static_cast<std::int64_t>(size));
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat first {};
    struct stat second {};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

SpeechInput::SpeechInput(const std::filesystem::path& file) {
    OpenedFile opened = openRegularFile(file);
    if (!opened.fd) {
        problem_ = std::move(opened.problem);
        return;
    }
    device_ = opened.status.st_dev;
    inode_ = opened.status.st_ino;
    fromFile_ = true;
    auto stream = std::make_unique<DescriptorStream>(std::move(opened.fd));
    // A file that opens but fails its first read (an I/O error, not the end
    // of the file) would otherwise pass for an input without frames.
    stream->seekg(kSampleDataOffset);
    stream->peek();
    if (stream->bad()) {
        const int error = stream->firstError() != 0 ? stream->firstError() : EIO;
        problem_ = readProblem(error);
    }
    stream_ = std::move(stream);
    rewind();
}

SpeechInput::SpeechInput(std::unique_ptr<std::istream> stream) : stream_(std::move(stream)) {
    if (!stream_) problem_ = "no input stream";
    rewind();
}

SpeechInput::~SpeechInput() = default;
SpeechInput::SpeechInput(SpeechInput&&) noexcept = default;
SpeechInput& SpeechInput::operator=(SpeechInput&&) noexcept = default;

void SpeechInput::rewind() { seek(kSampleDataOffset); }

std::int64_t SpeechInput::position() {
    return stream_ ? static_cast<std::int64_t>(stream_->tellg()) : kSampleDataOffset;
}

void SpeechInput::seek(std::int64_t position) {
    if (!stream_) return;
    stream_->clear();
    stream_->seekg(position, std::ios::beg);
}

std::int64_t SpeechInput::framesLeft() {
    if (!usable() || stream_->fail()) return 0;
    const std::int64_t here = position();
    stream_->seekg(0, std::ios::end);
    const auto end = static_cast<std::int64_t>(stream_->tellg());
    seek(here);
    if (here < 0 || end < here) return 0;
    return (end - here) / kFrameBytes;
}

bool SpeechInput::readSamples(std::span<double, kFrameSamples> speech) {
    std::array<char, kFrameBytes> bytes{};
    std::streamsize got = 0;
    if (stream_ && usable()) {
        stream_->read(bytes.data(), bytes.size());
        got = stream_->gcount();
    }
    const auto whole = static_cast<std::size_t>(got / 2);
    decodeSamples(bytes.data(), speech.first(whole));
    std::fill(speech.begin() + static_cast<std::ptrdiff_t>(whole), speech.end(), 0.0);
    return got == static_cast<std::streamsize>(bytes.size());
}

bool SpeechInput::failed() const { return stream_ && stream_->bad(); }

int SpeechInput::readError() const {
    if (!failed()) return 0;
    const auto* descriptorStream = dynamic_cast<const DescriptorStream*>(stream_.get());
    const int error = descriptorStream != nullptr ? descriptorStream->firstError() : 0;
    return error != 0 ? error : EIO;
}

bool SpeechInput::isFile(const std::filesystem::path& other) const {
    struct stat status {};
    if (!fromFile_ || stat(other.c_str(), &status) != 0) return false;
    return status.st_dev == device_ && status.st_ino == inode_;
}

void SpeechInput::close() { stream_.reset(); }

FileSamples readFileSamples(const std::filesystem::path& file, std::stop_token stop) {
    OpenedFile opened = openRegularFile(file);
    if (!opened.fd) return {opened.outcome, {}, std::move(opened.problem)};
    DescriptorStream stream(std::move(opened.fd));
    // Whole samples per block, so that only the last block can end in half a sample.
    constexpr std::size_t kBlockBytes = std::size_t{1} << 16;
    FileSamples result;
    try {
        const auto dataBytes = opened.status.st_size - kSampleDataOffset;
        if (dataBytes > 0) result.samples.reserve(static_cast<std::size_t>(dataBytes) / 2);
        std::vector<char> block(kBlockBytes);
        stream.seekg(kSampleDataOffset);
        while (stream.good()) {
            if (stop.stop_requested()) return {ReadOutcome::stopped, {}, "reading stopped"};
            stream.read(block.data(), static_cast<std::streamsize>(block.size()));
            const auto whole = static_cast<std::size_t>(stream.gcount() / 2);
            const std::size_t first = result.samples.size();
            result.samples.resize(first + whole);
            decodeSamples(block.data(), std::span(result.samples).subspan(first));
        }
    } catch (const std::bad_alloc&) {
        // A regular file larger than the memory left.
        return {ReadOutcome::unreadable, {}, readProblem(ENOMEM)};
    }
    if (stream.bad()) {
        const int error = stream.firstError() != 0 ? stream.firstError() : EIO;
        return {ReadOutcome::unreadable, {}, readProblem(error)};
    }
    return result;
}

}  // namespace zorvel
