// The one owner of an open file descriptor: it closes the descriptor once,
// when it goes or is reset, and moves but never copies. Code that only uses a
// descriptor someone else owns takes it as a plain int.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zorvel {

class Descriptor {
  public:
    Descriptor() = default;
    // Takes `fd` over; a negative one (a failed open) owns nothing.
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up without closing it (to an owner that closes it).
    int release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor, if any, where what close says does not matter
    // (a descriptor only read, or one whose writes have already failed).
    void reset() noexcept {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

    // Closes the descriptor and says how that went: 0, or the system's error
    // number (a write the file system reports only at the close, say).
    [[nodiscard]] int close() noexcept {
        if (fd_ < 0) return 0;
        return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
    }

  private:
    int fd_ = -1;
};

}  // namespace zorvel
