#include "comm/comm_lib_binding.h"

#include <cstring>

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
    if (!m_library.Load(libraryName, programFolder)) {
        m_error = m_library.ErrorString();
        return QPC_ERR_NOT_BOUND;
    }
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
        m_error = QStringLiteral("entry point %1 missing in %2")
                      .arg(QLatin1String(missing), m_library.FilePath());
        m_library.Unload();
        return QPC_ERR_NOT_BOUND;
    }
    resolved.module = m_library.Handle();
    m_table = resolved;
    return QPC_OK;
}

void CommLibBinding::Unbind()
{
    std::memset(&m_table, 0, sizeof m_table);
    m_library.Unload();
}
