// The error of a file that cannot be used as asked: its message says which
// file and why, in the system's words where it gave them, so that a program
// can show it after the name of the input it was working on.
#pragma once

#include <stdexcept>

namespace zorvel {

class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace zorvel
