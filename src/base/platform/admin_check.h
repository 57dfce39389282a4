#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

// Whether the process may administer printers: the stand-in for membership in the
// platform's Administrators group.
namespace platform {

// What the check looks at: the process's effective user and its effective group set.
struct ProcessIdentity
{
    uid_t effectiveUid = static_cast<uid_t>(-1);
    std::vector<gid_t> groups; // the effective group and the supplementary groups
    // The name of a group; nullopt when the group has no name.
    std::function<std::optional<QString>(gid_t)> groupName;
};

// The identity of the running process (geteuid, getegid, getgroups, the group database).
ProcessIdentity CurrentProcessIdentity();

// Group names whose members count as administrators.
const std::vector<QString>& AdministratorGroupNames();

// True when the effective uid is 0 or a group of the effective group set is named
// lpadmin, sudo, wheel or admin. Only the identity counts: neither the user's own name
// nor a membership listed in the group database but absent from the process's group set.
bool IsAdministrator(const ProcessIdentity& identity);

// IsAdministrator of the running process.
bool IsAdministrator();

} // namespace platform
