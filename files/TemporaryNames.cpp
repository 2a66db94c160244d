#include "files/TemporaryNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <memory>

#include "files/Descriptor.h"

namespace zorvel {
namespace {

bool processGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// The one owner of an open directory listing.
struct DirectoryClose {
    void operator()(DIR* listing) const noexcept { closedir(listing); }
};

}  // namespace

std::string temporaryName(std::string_view finalLeaf, pid_t owner, unsigned long serial) {
    std::string prefix(".zv-");
    prefix.append(std::to_string(owner)).append("-").append(std::to_string(serial));
    prefix.append("-");
    std::string name = prefix;
    name.append(finalLeaf);
    name.resize(std::max(finalLeaf.size(), prefix.size()));
    return name;
}

// ".zv-PID-N-..." (this version's) or ".NAME.part-PID-N" (earlier versions').
pid_t temporaryOwner(std::string_view name) {
    std::string_view digits;
    if (name.starts_with(".zv-")) {
        digits = name.substr(4);
    } else if (const auto part = name.rfind(".part-");
               name.starts_with('.') && part != std::string_view::npos) {
        digits = name.substr(part + 6);
    } else {
        return 0;
    }
    long pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc{} || end == digits.data() || end == digits.data() + digits.size() ||
        *end != '-' || pid <= 0)
        return 0;
    return static_cast<pid_t>(pid);
}

void removeLeftoverTemporaries(int directory) {
    Descriptor listing(openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing) return;
    const std::unique_ptr<DIR, DirectoryClose> entries(fdopendir(listing.get()));
    if (!entries) return;
    listing.release();  // closed with the listing
    while (const dirent* entry = readdir(entries.get())) {
        const pid_t owner = temporaryOwner(entry->d_name);
        if (owner == 0 || owner == getpid() || !processGone(owner)) continue;
        // A staged file is locked while its process lives, also one of a
        // process on another machine sharing this directory.
        const Descriptor fd(openat(directory, entry->d_name,
                                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd) continue;
        struct stat status {};
        if (fstat(fd.get(), &status) == 0 && S_ISREG(status.st_mode) &&
            flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            unlinkat(directory, entry->d_name, 0);
    }
}

}  // namespace zorvel
