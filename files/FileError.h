// The error of a file that cannot be used as asked: its message says which
// file and why, in the system's words where it gave them, so that a program
// can show it after the name of the input it was working on.
//
// How the core (coder/, sound/, dsp/, files/) fails: it throws. It never
// prints, never returns a sentinel, and never gives a part of a result as if
// it were whole.
// - What the user or the system caused (a file that cannot be opened, read,
//   converted or written; an input changed while it was coded) is a FileError,
//   a std::runtime_error: its English message completes "<input>: ...", and
//   error() holds the system's error number where it gave one, which the
//   windows word in Polish (charts/SystemReasons.h). Where a window words a
//   failure on its own, a type derived from FileError carries its kind (an
//   enum class) and its values (FramePassError).
// - A call against a precondition its caller can check (signals of different
//   lengths, a length the FFT cannot do, settings out of their ranges) throws
//   std::invalid_argument or std::out_of_range (FftError names the kind): a
//   fault of the calling code rather than a reason for the user.
// - Memory that cannot be had is std::bad_alloc.
// Answers that are not failures keep their shapes: an input says whether it
// can be used and why not (SpeechInput::problem, readFileSamples' outcome),
// the text of a setting is checked with its reason returned (applySetting),
// and an encoding run says how it ended (RunResult, with runError()).
// No core message names a command-line option.
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
