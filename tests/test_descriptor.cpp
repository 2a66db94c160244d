// The owners of open descriptors: a Descriptor closes what it owns once, when
// it goes, is reset or is moved over; a release hands the descriptor on
// unclosed; close() reports the system's answer. A descriptor stream closes
// a descriptor it owns and leaves one it borrows open. Whether a number is
// still open is asked of the system (fcntl), not of the owner.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "files/Descriptor.h"
#include "sound/DescriptorStream.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

int openNull() { return ::open("/dev/null", O_RDWR | O_CLOEXEC); }

TEST(Descriptor, ClosesWhatItOwnsOnceWhenItGoes) {
    int fd = -1;
    {
        const Descriptor owner(openNull());
        fd = owner.get();
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(owner);
        EXPECT_TRUE(isOpen(fd));
    }
    EXPECT_FALSE(isOpen(fd));
    EXPECT_FALSE(Descriptor());
    EXPECT_FALSE(Descriptor(-1));
}

TEST(Descriptor, AMoveHandsItOnAndAMoveOverClosesTheOldOne) {
    Descriptor first(openNull());
    const int fd = first.get();
    Descriptor second(std::move(first));
    EXPECT_EQ(second.get(), fd);
    EXPECT_EQ(first.get(), -1);  // left empty
    EXPECT_TRUE(isOpen(fd));

    Descriptor third(openNull());
    const int other = third.get();
    third = std::move(second);
    EXPECT_FALSE(isOpen(other));
    EXPECT_EQ(third.get(), fd);
    EXPECT_TRUE(isOpen(fd));
    third.reset();
    EXPECT_FALSE(isOpen(fd));
    EXPECT_EQ(third.get(), -1);
}

TEST(Descriptor, AReleaseLeavesItOpenForItsNextOwner) {
    int fd = -1;
    {
        Descriptor owner(openNull());
        fd = owner.release();
        EXPECT_FALSE(owner);
    }
    ASSERT_TRUE(isOpen(fd));
    Descriptor next(fd);
    EXPECT_EQ(next.close(), 0);
    EXPECT_FALSE(isOpen(fd));
    EXPECT_EQ(next.close(), 0);  // nothing left to close
}

TEST(Descriptor, CloseReportsTheSystemsAnswer) {
    const int fd = openNull();
    ASSERT_EQ(::close(fd), 0);  // closed behind the owner's back
    Descriptor stale(fd);
    EXPECT_EQ(stale.close(), EBADF);
    EXPECT_FALSE(stale);
}

TEST(DescriptorStream, ClosesTheDescriptorItOwnsAndLeavesABorrowedOneOpen) {
    test::TempDir dir;
    const std::string file = (dir / "written").string();
    Descriptor kept(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(kept);
    {
        DescriptorStream borrowing(kept.get());
        borrowing << "borrowed ";
    }
    EXPECT_TRUE(isOpen(kept.get()));
    int owned = -1;
    {
        DescriptorStream owning(Descriptor(::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC)));
        owned = owning.descriptor();
        owning << "owned";
    }
    EXPECT_FALSE(isOpen(owned));
    // Both streams wrote their bytes before they went.
    EXPECT_EQ(test::readBytes(dir / "written"),
              std::vector<std::uint8_t>(
                  {'b', 'o', 'r', 'r', 'o', 'w', 'e', 'd', ' ', 'o', 'w', 'n', 'e', 'd'}));
}

}  // namespace
}  // namespace zorvel
