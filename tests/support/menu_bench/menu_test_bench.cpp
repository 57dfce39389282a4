#include "menu_test_bench.h"

#include <qpu/app_state.h>

#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

void SetField(QpuChar16 (&field)[QPU_TEXT_UNITS], const QString& text)
{
    std::memset(field, 0, sizeof(field));
    const qsizetype count = std::min<qsizetype>(text.size(), QPU_TEXT_MAX_CHARS);
    std::memcpy(field, text.utf16(), static_cast<size_t>(count) * sizeof(QpuChar16));
}

} // namespace

MenuTestBench::MenuTestBench() : m_state(std::make_unique<AppState>())
{
    EXPECT_TRUE(m_dir.isValid());
    QDir(m_dir.path()).mkdir(QStringLiteral("LANG"));
    m_state->languageId = 0x0409;
    SetField(m_state->programFolder, ProgramFolder());
    SetField(m_state->languageFolder, LanguageFolder());
}

MenuTestBench::~MenuTestBench()
{
    for (auto& [variant, handle] : m_handles)
        dlclose(handle);
}

QString MenuTestBench::ProgramFolder() const
{
    return m_dir.path() + u'/';
}

QString MenuTestBench::LanguageFolder() const
{
    return m_dir.path() + QStringLiteral("/LANG");
}

QString MenuTestBench::WriteFile(const QString& name, const QByteArray& content) const
{
    const QString path = ProgramFolder() + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    return path;
}

QString MenuTestBench::WriteMenu(const QByteArray& content, const QString& name) const
{
    return WriteFile(name, content);
}

void MenuTestBench::WriteEnglishTexts(const QByteArray& content) const
{
    WriteFile(QStringLiteral("LANG/0409.DAT"), content);
}

QString MenuTestBench::AddPlugin(const QString& variant)
{
    const QString fileName = QStringLiteral("lib%1.so").arg(variant);
    if (m_handles.count(variant))
        return fileName;
    const QString link = ProgramFolder() + fileName;
    QFile::link(QStringLiteral(MENU_TEST_PLUGIN_DIR "/") + fileName, link);
    void* handle = dlopen(QFile::encodeName(link).constData(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
    if (!handle)
        return fileName;
    m_handles[variant] = handle;
    const auto control =
        reinterpret_cast<MenuTestPlugin_Control_t>(dlsym(handle, "MenuTestPlugin_Control"));
    EXPECT_NE(control, nullptr);
    if (control) {
        TestPluginControl* block = control();
        std::memset(block, 0, sizeof(*block));
        block->sequence = &m_sequence;
        m_controls[variant] = block;
    }
    return fileName;
}

TestPluginControl& MenuTestBench::Control(const QString& variant)
{
    AddPlugin(variant);
    return *m_controls.at(variant);
}

std::vector<int32_t> MenuTestBench::Calls(const QString& variant, int32_t function)
{
    std::vector<int32_t> arguments;
    const TestPluginControl& c = Control(variant);
    for (int32_t i = 0; i < c.callCount; ++i) {
        if (c.calls[i].function == function)
            arguments.push_back(c.calls[i].argument);
    }
    return arguments;
}

std::vector<int32_t> MenuTestBench::Sequences(const QString& variant, int32_t function)
{
    std::vector<int32_t> sequences;
    const TestPluginControl& c = Control(variant);
    for (int32_t i = 0; i < c.callCount; ++i) {
        if (c.calls[i].function == function)
            sequences.push_back(c.calls[i].sequence);
    }
    return sequences;
}

void MenuTestBench::ClearCalls()
{
    for (auto& [variant, control] : m_controls)
        control->callCount = 0;
}

void SetPluginMenuName(TestPluginControl& control, const QString& name)
{
    std::memset(control.menuName, 0, sizeof(control.menuName));
    const qsizetype count = std::min<qsizetype>(name.size(), TEST_PLUGIN_TEXT_UNITS - 1);
    std::memcpy(control.menuName, name.utf16(), static_cast<size_t>(count) * sizeof(QpuChar16));
}
