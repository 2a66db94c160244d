// The descriptor buffer holds either bytes read ahead (get area) or bytes not
// yet written (put area), never both: switching direction or seeking first
// writes the pending bytes or gives back the bytes read ahead.
#include "sound/DescriptorStream.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zorvel {

DescriptorBuffer::DescriptorBuffer(Descriptor owned) : DescriptorBuffer(owned.get()) {
    owned_ = std::move(owned);
}

DescriptorBuffer::DescriptorBuffer(int borrowed) : fd_(borrowed) {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    setp(nullptr, nullptr);
}

// An owned descriptor is closed after the last writes, by its owner.
DescriptorBuffer::~DescriptorBuffer() { flushWrites(); }

bool DescriptorBuffer::flushWrites() {
    const char* next = pbase();
    while (next != nullptr && next < pptr()) {
        const ssize_t written = write(fd_, next, static_cast<std::size_t>(pptr() - next));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            failed(written < 0 ? errno : EIO);
            setp(nullptr, nullptr);
            return false;
        }
        next += written;
    }
    setp(nullptr, nullptr);
    return true;
}

void DescriptorBuffer::failed(int error) {
    if (error_ == 0) error_ = error;
}

void DescriptorBuffer::dropReads() {
    // The file position stands past the bytes read ahead; give them back.
    if (gptr() < egptr()) lseek(fd_, -(egptr() - gptr()), SEEK_CUR);
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

DescriptorBuffer::int_type DescriptorBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!flushWrites()) return traits_type::eof();
    for (;;) {
        const ssize_t got = read(fd_, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            failed(errno);
            // The stream reports a failed underflow as the end of input; a
            // thrown exception is how an istream learns of a real read error.
            throw std::ios::failure("read failed");
        }
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (pbase() == nullptr) {
        dropReads();
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    } else if (!flushWrites()) {
        return traits_type::eof();
    } else {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int DescriptorBuffer::sync() { return flushWrites() ? 0 : -1; }

DescriptorBuffer::pos_type DescriptorBuffer::seekoff(off_type offset, std::ios::seekdir direction,
                                                     std::ios::openmode) {
    if (!flushWrites()) return pos_type(off_type(-1));
    dropReads();
    const int whence = direction == std::ios::beg   ? SEEK_SET
                       : direction == std::ios::cur ? SEEK_CUR
                                                    : SEEK_END;
    const off_t result = lseek(fd_, static_cast<off_t>(offset), whence);
    if (result < 0) {
        failed(errno);
        return pos_type(off_type(-1));
    }
    return pos_type(static_cast<off_type>(result));
}

DescriptorBuffer::pos_type DescriptorBuffer::seekpos(pos_type position, std::ios::openmode which) {
    return seekoff(off_type(position), std::ios::beg, which);
}

}  // namespace zorvel
