#include "posix/unique_fd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <utility>

namespace {

using posix::UniqueFd;

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

int openNull()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

TEST(UniqueFd, MoveConstructionHandsOverTheDescriptorAndClosesItOnce)
{
    UniqueFd from(openNull());
    const int fd = from.get();
    ASSERT_TRUE(isOpen(fd));
    {
        const UniqueFd to(std::move(from));
        EXPECT_EQ(to.get(), fd);
        EXPECT_FALSE(from.valid());
        EXPECT_TRUE(isOpen(fd));
    }
    EXPECT_FALSE(isOpen(fd)) << "the new owner closes it";
    // The number is free again and is handed to the next open; the moved-from owner must
    // not close it a second time.
    const int reused = openNull();
    ASSERT_EQ(reused, fd);
    from.reset();
    EXPECT_TRUE(isOpen(reused));
    ::close(reused);
}

TEST(UniqueFd, MoveAssignmentClosesTheDescriptorItHeld)
{
    UniqueFd target(openNull());
    UniqueFd source(openNull());
    const int old = target.get();
    const int moved = source.get();
    target = std::move(source);
    EXPECT_FALSE(isOpen(old));
    EXPECT_EQ(target.get(), moved);
    EXPECT_TRUE(isOpen(moved));
    EXPECT_EQ(source.get(), -1);
}

TEST(UniqueFd, ReleaseGivesUpOwnershipWithoutClosing)
{
    int fd = -1;
    {
        UniqueFd owner(openNull());
        fd = owner.release();
        EXPECT_FALSE(owner.valid());
    }
    EXPECT_TRUE(isOpen(fd));
    ::close(fd);
}

} // namespace
