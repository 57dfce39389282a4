#include "platform/admin_check.h"

#include <algorithm>
#include <cerrno>
#include <grp.h>
#include <unistd.h>

namespace platform {
namespace {

std::optional<QString> lookUpGroupName(gid_t gid)
{
    std::vector<char> buffer(1024);
    for (;;) {
        group entry = {};
        group* found = nullptr;
        const int rc = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found || !found->gr_name)
            return std::nullopt;
        return QString::fromLocal8Bit(found->gr_name);
    }
}

std::vector<gid_t> effectiveGroups()
{
    std::vector<gid_t> groups{::getegid()};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(static_cast<size_t>(count));
        const int got = ::getgroups(count, supplementary.data());
        if (got > 0)
            groups.insert(groups.end(), supplementary.begin(), supplementary.begin() + got);
    }
    return groups;
}

} // namespace

ProcessIdentity CurrentProcessIdentity()
{
    return ProcessIdentity{::geteuid(), effectiveGroups(), lookUpGroupName};
}

const std::vector<QString>& AdministratorGroupNames()
{
    static const std::vector<QString> names{QStringLiteral("lpadmin"), QStringLiteral("sudo"),
                                            QStringLiteral("wheel"), QStringLiteral("admin")};
    return names;
}

bool IsAdministrator(const ProcessIdentity& identity)
{
    if (identity.effectiveUid == 0)
        return true;
    if (!identity.groupName)
        return false;
    const auto& admins = AdministratorGroupNames();
    return std::any_of(identity.groups.begin(), identity.groups.end(), [&](gid_t gid) {
        const std::optional<QString> name = identity.groupName(gid);
        return name && std::find(admins.begin(), admins.end(), *name) != admins.end();
    });
}

bool IsAdministrator()
{
    return IsAdministrator(CurrentProcessIdentity());
}

} // namespace platform
