// The error of a file that cannot be used as asked: its message says which
// file and why, in the system's words where it gave them, so that a program
// can show it after the name of the input it was working on.
#pragma once

#include <stdexcept>
#include <string>

namespace zorvel {

class FileError : public std::runtime_error {
  public:
    explicit FileError(const std::string& what, int error = 0)
        : std::runtime_error(what), error_(error) {}

    // The system's error number behind the message (ENOSPC, EACCES, ...); 0
    // when the refusal is the program's own.
    int error() const noexcept { return error_; }

  private:
    int error_;
};

}  // namespace zorvel
