#include "platform/library.h"

#include <QFileInfo>

#include <dlfcn.h>

#include <utility>

namespace platform {

namespace {

QString LastLoaderError()
{
    const char* text = dlerror();
    return text ? QString::fromLocal8Bit(text) : QString();
}

QString WithTrailingSlash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

} // namespace

Library::~Library()
{
    Unload();
}

Library::Library(Library&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_filePath(std::move(other.m_filePath)),
      m_error(std::move(other.m_error))
{}

Library& Library::operator=(Library&& other) noexcept
{
    if (this != &other) {
        Unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_filePath = std::move(other.m_filePath);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool Library::Load(const QString& name, const QString& programFolder)
{
    Unload();
    m_error.clear();
    if (name.isEmpty()) {
        m_error = QStringLiteral("empty library name");
        return false;
    }
    const QString fileName = NativeFileName(name);
    QString path = fileName;
    if (!fileName.contains(QLatin1Char('/'))) {
        const QString folder =
            WithTrailingSlash(programFolder.isEmpty() ? ExecutableFolder() : programFolder);
        const QString local = folder + fileName;
        if (!folder.isEmpty() && QFileInfo(local).isFile())
            path = local;
    }
    // Every symbol is bound at load time, so a library with unresolved dependencies fails
    // here instead of when one of its functions is first called.
    dlerror();
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_error = LastLoaderError();
        return false;
    }
    m_handle = handle;
    m_filePath = path;
    return true;
}

void Library::Unload()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
    m_filePath.clear();
}

void* Library::Detach()
{
    m_filePath.clear();
    return std::exchange(m_handle, nullptr);
}

void* Library::Resolve(const char* symbol) const
{
    if (!m_handle || !symbol)
        return nullptr;
    return dlsym(m_handle, symbol);
}

QString Library::NativeFileName(const QString& name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const QString folder = name.left(slash + 1);
    QString base = name.mid(slash + 1);
    if (base.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        base.chop(4);
    else if (base.contains(QLatin1Char('.')))
        return name;
    if (base.isEmpty())
        return name;
    return folder + QLatin1String("lib") + base + QLatin1String(".so");
}

QString Library::ExecutableFolder()
{
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (exe.isEmpty())
        return {};
    return WithTrailingSlash(QFileInfo(exe).absolutePath());
}

} // namespace platform
