#pragma once

#include "platform/library.h"

#include <qpu/comm_lib.h>

#include <QString>

#include <cstring>
#include <utility>

// The library's name as the program knows it; it is looked up in the program folder first.
inline constexpr char kCommLibraryName[] = "QPComm.dll";

// Calls one entry point of a binding: QPC_ERR_NOT_BOUND when there is no table, the library
// is not bound (null module handle) or the entry point is missing; otherwise its result.
//   QpcCall(table, &CommLibTable::SetCaller, callerType)
template <typename Fn, typename... Args>
int32_t QpcCall(const CommLibTable* table, Fn CommLibTable::*entry, Args&&... args)
{
    if (!table || !table->module)
        return QPC_ERR_NOT_BOUND;
    // The table is packed to 4 bytes, so on a 64-bit build an entry may sit on a 4-byte
    // boundary; a pointer-to-member read does not know that, so copy the slot bytewise.
    Fn fn = nullptr;
    std::memcpy(&fn, reinterpret_cast<const char*>(&(table->*entry)), sizeof fn);
    if (!fn)
        return QPC_ERR_NOT_BOUND;
    return fn(std::forward<Args>(args)...);
}

// True when table holds a bound library.
inline bool IsCommLibBound(const CommLibTable* table)
{
    return table && table->module;
}

// The program's binding of the communication library: owns the loaded library and the
// CommLibTable that AppState publishes to the views, the printer information library and
// the plug-ins. The table stays at one address for the object's lifetime. Either all 46
// entry points are bound, or none is and the module handle is null.
class CommLibBinding
{
public:
    CommLibBinding();
    ~CommLibBinding();
    CommLibBinding(const CommLibBinding&) = delete;
    CommLibBinding& operator=(const CommLibBinding&) = delete;

    // Loads the library, resolves every entry point and checks its interface version
    // (QPC_GetAccessVersion, same major version as QPC_ACCESS_VERSION). Returns QPC_OK, or
    // QPC_ERR_NOT_BOUND when the library or any entry point is missing or the version does
    // not match; the library is then released, the table left zeroed and the reason logged
    // under qpu.comm. libraryName without a folder is looked up in
    // programFolder (empty: the executable's folder) first.
    int32_t Bind(const QString& libraryName = QLatin1String(kCommLibraryName),
                 const QString& programFolder = {});
    // Releases the library and zeroes the table. The library's own shutdown
    // (QPC_Terminate) is the caller's business and comes first.
    void Unbind();

    bool IsBound() const { return m_table.module != nullptr; }
    CommLibTable* Table() { return &m_table; }
    const CommLibTable* Table() const { return &m_table; }
    // Why the last Bind failed: the loader's message or the missing entry point.
    QString ErrorString() const { return m_error; }

    template <typename Fn, typename... Args> int32_t Call(Fn CommLibTable::*entry, Args&&... args)
    {
        return QpcCall(&m_table, entry, std::forward<Args>(args)...);
    }

private:
    int32_t Refuse(const QString& why);

    platform::Library m_library;
    CommLibTable m_table;
    QString m_error;
};
