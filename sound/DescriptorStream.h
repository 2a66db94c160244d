// A standard stream over an open POSIX file descriptor, so that a file can be
// opened with the flags the job needs (non-blocking, anonymous, in place) and
// still be read and written as any std::istream or std::ostream. The stream
// reads and writes through one buffer, seeks with lseek and keeps the errno of
// the first failed call: the cause, which what fails after it would hide.
#pragma once

#include <array>
#include <istream>
#include <streambuf>
#include <utility>

#include "files/Descriptor.h"

namespace zorvel {

class DescriptorBuffer : public std::streambuf {
  public:
    // Over a descriptor the buffer owns and closes on destruction.
    explicit DescriptorBuffer(Descriptor owned);
    // Over a descriptor someone else owns, left open.
    explicit DescriptorBuffer(int borrowed);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    int descriptor() const { return fd_; }
    // The errno of the first failed read, write or seek; 0 when none failed.
    int firstError() const { return error_; }

  protected:
    int_type underflow() override;
    int_type overflow(int_type c) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios::seekdir direction,
                     std::ios::openmode which) override;
    pos_type seekpos(pos_type position, std::ios::openmode which) override;

  private:
    bool flushWrites();
    void dropReads();
    void failed(int error);  // keeps `error` unless an earlier one is kept

    Descriptor owned_;
    int fd_;
    int error_ = 0;
    std::array<char, 1 << 16> buffer_{};
};

class DescriptorStream : public std::iostream {
  public:
    explicit DescriptorStream(Descriptor owned)
        : std::iostream(nullptr), buffer_(std::move(owned)) {
        rdbuf(&buffer_);
    }
    explicit DescriptorStream(int borrowed) : std::iostream(nullptr), buffer_(borrowed) {
        rdbuf(&buffer_);
    }
    int descriptor() const { return buffer_.descriptor(); }
    int firstError() const { return buffer_.firstError(); }

  private:
    DescriptorBuffer buffer_;
};

}  // namespace zorvel
