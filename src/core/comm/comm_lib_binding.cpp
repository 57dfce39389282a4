#include "comm/comm_lib_binding.h"

#include "platform/log_categories.h"

#include <cstring>

namespace {

// The library's interface version is 0xMMmm; another major version is another contract.
constexpr uint32_t MajorOf(uint32_t accessVersion)
{
    return accessVersion >> 8;
}

} // namespace

CommLibBinding::CommLibBinding()
{
    std::memset(&m_table, 0, sizeof m_table);
}

CommLibBinding::~CommLibBinding()
{
    Unbind();
}

int32_t CommLibBinding::Bind(const QString& libraryName, const QString& programFolder)
{
    Unbind();
    m_error.clear();
    if (!m_library.Load(libraryName, programFolder))
        return Refuse(m_library.ErrorString());
    // Resolve into a scratch table so that the published one never holds half a binding.
    CommLibTable resolved;
    std::memset(&resolved, 0, sizeof resolved);
    const char* missing = nullptr;
#define QPU_RESOLVE_ENTRY(name)                                                                    \
    if (!missing) {                                                                                \
        resolved.name = m_library.ResolveAs<QPC_##name##_t>("QPC_" #name);                         \
        if (!resolved.name)                                                                        \
            missing = "QPC_" #name;                                                                \
    }
    QPU_COMM_ENTRY_POINTS(QPU_RESOLVE_ENTRY)
#undef QPU_RESOLVE_ENTRY
    if (missing) {
        return Refuse(QStringLiteral("entry point %1 missing in %2")
                          .arg(QLatin1String(missing), m_library.FilePath()));
    }
    uint32_t version = 0;
    const int32_t asked = resolved.GetAccessVersion(&version);
    if (asked != QPC_OK || MajorOf(version) != MajorOf(QPC_ACCESS_VERSION)) {
        return Refuse(QStringLiteral("%1 speaks interface version %2 (answer %3); this utility "
                                     "needs %4.xx")
                          .arg(m_library.FilePath())
                          .arg(version, 4, 16, QLatin1Char('0'))
                          .arg(asked)
                          .arg(MajorOf(QPC_ACCESS_VERSION), 2, 16, QLatin1Char('0')));
    }
    resolved.module = m_library.Handle();
    m_table = resolved;
    qCDebug(lcComm).noquote() << "bound" << m_library.FilePath() << "interface version"
                              << QString::number(version, 16);
    return QPC_OK;
}

int32_t CommLibBinding::Refuse(const QString& why)
{
    m_error = why;
    m_library.Unload();
    qCWarning(lcComm).noquote() << "communication library not bound:" << why;
    return QPC_ERR_NOT_BOUND;
}

void CommLibBinding::Unbind()
{
    std::memset(&m_table, 0, sizeof m_table);
    m_library.Unload();
}
