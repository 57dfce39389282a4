#include "platform/admin_check.h"

#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

using namespace platform;

namespace {

// A group database of its own: 10 users, 20 lpadmin, 21 sudo, 22 wheel, 23 admin,
// 24 "Admin" (another case), 25 "admins", 30 without a name.
std::optional<QString> fakeGroupName(gid_t gid)
{
    static const std::map<gid_t, QString> names{{10, "users"}, {20, "lpadmin"}, {21, "sudo"},
                                                {22, "wheel"}, {23, "admin"},   {24, "Admin"},
                                                {25, "admins"}};
    const auto it = names.find(gid);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

ProcessIdentity identity(uid_t uid, std::vector<gid_t> groups)
{
    return ProcessIdentity{uid, std::move(groups), fakeGroupName};
}

TEST(AdminCheckTest, SuperuserIsAdministratorWhateverTheGroups)
{
    EXPECT_TRUE(IsAdministrator(identity(0, {})));
    EXPECT_TRUE(IsAdministrator(ProcessIdentity{0, {10}, nullptr}));
}

TEST(AdminCheckTest, EachAdministratorGroupCountsInTheEffectiveSet)
{
    for (const gid_t gid : {20u, 21u, 22u, 23u}) {
        EXPECT_TRUE(IsAdministrator(identity(1000, {10, gid}))) << gid;
        EXPECT_TRUE(IsAdministrator(identity(1000, {gid}))) << gid; // as effective group
    }
}

TEST(AdminCheckTest, OtherGroupsAndLookAlikeNamesDoNotCount)
{
    EXPECT_FALSE(IsAdministrator(identity(1000, {})));
    EXPECT_FALSE(IsAdministrator(identity(1000, {10})));
    EXPECT_FALSE(IsAdministrator(identity(1000, {24, 25, 30})));
    EXPECT_FALSE(IsAdministrator(ProcessIdentity{1000, {20}, nullptr}));
}

// Only the group set handed in counts: a user named "admin", or the group database
// listing the user in lpadmin without the process carrying that group, is not enough.
TEST(AdminCheckTest, GroupDatabaseMembershipOutsideTheGroupSetDoesNotCount)
{
    ProcessIdentity id = identity(1000, {10});
    int lookups = 0;
    id.groupName = [&](gid_t gid) {
        ++lookups;
        return fakeGroupName(gid);
    };
    EXPECT_FALSE(IsAdministrator(id));
    EXPECT_EQ(lookups, 1); // nothing but the process's own groups was looked at
}

TEST(AdminCheckTest, CurrentProcessIdentityIsTheEffectiveOne)
{
    const ProcessIdentity current = CurrentProcessIdentity();
    EXPECT_EQ(current.effectiveUid, ::geteuid());
    ASSERT_FALSE(current.groups.empty());
    EXPECT_EQ(current.groups.front(), ::getegid());
    ASSERT_TRUE(current.groupName);
    EXPECT_EQ(current.groupName(0).value_or(QString()), "root");
    EXPECT_EQ(IsAdministrator(), IsAdministrator(current));
    if (::geteuid() == 0) {
        EXPECT_TRUE(IsAdministrator());
    }
}

} // namespace
