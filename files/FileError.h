// The error of a file that cannot be used as asked: its message says which
// file and why, in the system's words where it gave them, and completes a
// line such as "zorvel-cli: <input>: ...".
#pragma once

#include <stdexcept>

namespace zorvel {

class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace zorvel
