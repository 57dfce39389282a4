#pragma once

#include <QString>

// A shared library loaded at run time (dlopen/dlsym/dlclose), released when the object
// goes away. Names as menu files and the program give them: "X.dll" stands for "libX.so"; a name
// without a folder is looked up in the program folder first, then by the system's default
// search; symbols are resolved by their 8-bit names.
namespace platform {

class Library
{
public:
    Library() = default;
    ~Library();
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads name, releasing any library held before. programFolder is the folder searched
    // first for a name without a folder; empty means the folder of the running executable.
    // Returns false (and keeps nothing loaded) when the library cannot be loaded.
    bool Load(const QString& name, const QString& programFolder = {});
    // Releases the library; harmless when nothing is loaded.
    void Unload();
    // Gives up ownership without unloading: the library stays mapped for the rest of the
    // run. Returns the handle (null when nothing was loaded).
    void* Detach();

    bool IsLoaded() const { return m_handle != nullptr; }
    void* Handle() const { return m_handle; }
    // The file that was loaded, as handed to the loader.
    QString FilePath() const { return m_filePath; }
    // Why the last Load failed; empty after a successful one.
    QString ErrorString() const { return m_error; }

    // The address of an exported symbol, or null when nothing is loaded or it is missing.
    void* Resolve(const char* symbol) const;
    template <typename Fn> Fn ResolveAs(const char* symbol) const
    {
        return reinterpret_cast<Fn>(Resolve(symbol));
    }

    // "X.dll" (any letter case of the suffix) and a bare "X" become "libX.so"; every other
    // name, e.g. "libX.so", stays as it is. A folder part is kept.
    static QString NativeFileName(const QString& name);
    // The folder of the running executable, ending with '/'; empty when unknown.
    static QString ExecutableFolder();

private:
    void* m_handle = nullptr;
    QString m_filePath;
    QString m_error;
};

} // namespace platform
