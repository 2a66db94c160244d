// The one owner of a recording libsndfile has open: sf_close, once, when the
// owner goes. The recording is opened on a descriptor its caller keeps and
// closes (libsndfile is told not to).
#pragma once

#include <sndfile.h>

#include <memory>

namespace zorvel {

struct SoundFileClose {
    void operator()(SNDFILE* sound) const noexcept { sf_close(sound); }
};

using SoundFile = std::unique_ptr<SNDFILE, SoundFileClose>;

// `fd` opened for reading; empty when libsndfile does not recognise what it
// holds. `info` gets the recording's format.
inline SoundFile openSoundFile(int fd, SF_INFO& info) {
    return SoundFile(sf_open_fd(fd, SFM_READ, &info, SF_FALSE));
}

}  // namespace zorvel
