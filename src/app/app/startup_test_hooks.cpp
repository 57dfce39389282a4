#include "app/startup_test_hooks.h"

#include <QStringList>

#include <cstdlib>
#include <memory>

namespace startup {

bool TestHooksEnabled()
{
#ifdef QPU_TEST_HOOKS
    return true;
#else
    return false;
#endif
}

platform::ProcessIdentity ParseTestIdentity(const QString& text)
{
    platform::ProcessIdentity identity;
    auto names = std::make_shared<QStringList>();
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = part.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = part.section(QLatin1Char('='), 1).trimmed();
        if (key == QLatin1String("uid")) {
            bool ok = false;
            const uint uid = value.toUInt(&ok);
            if (ok)
                identity.effectiveUid = static_cast<uid_t>(uid);
        } else if (key == QLatin1String("groups")) {
            for (const QString& name : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                names->append(name.trimmed());
                identity.groups.push_back(static_cast<gid_t>(names->size()));
            }
        }
    }
    identity.groupName = [names](gid_t gid) -> std::optional<QString> {
        if (gid >= 1 && gid <= static_cast<gid_t>(names->size()))
            return names->at(static_cast<qsizetype>(gid) - 1);
        return std::nullopt;
    };
    return identity;
}

std::optional<platform::ProcessIdentity> TestIdentityFromEnvironment()
{
#ifdef QPU_TEST_HOOKS
    const char* text = std::getenv(kTestIdentityVariable);
    if (text == nullptr)
        return std::nullopt;
    return ParseTestIdentity(QString::fromLocal8Bit(text));
#else
    return std::nullopt;
#endif
}

} // namespace startup
