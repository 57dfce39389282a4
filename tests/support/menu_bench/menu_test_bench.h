#pragma once

#include "test_plugin_control.h"

#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <vector>

struct AppState;

// A program folder for one test: menu files, a language folder and the test plug-ins,
// linked in from the build. Each plug-in that a test names is opened here first, so that
// the test can set its answers and read its calls; its control block starts cleared.
class MenuTestBench
{
public:
    MenuTestBench();
    ~MenuTestBench();

    // The folder, ending with '/'.
    QString ProgramFolder() const;
    QString LanguageFolder() const;

    // Writes a file into the program folder (UTF-8).
    QString WriteFile(const QString& name, const QByteArray& content) const;
    QString WriteMenu(const QByteArray& content, const QString& name = "MENUITEM.DAT") const;
    // Writes LANG/0409.DAT.
    void WriteEnglishTexts(const QByteArray& content) const;

    // Links lib<variant>.so into the program folder, opens it and clears its control
    // block. Returns the file name that a menu file names it by.
    QString AddPlugin(const QString& variant);
    TestPluginControl& Control(const QString& variant);

    // The arguments of the calls of one function to the plug-in, in order.
    std::vector<int32_t> Calls(const QString& variant, int32_t function);
    // The sequence numbers of those calls.
    std::vector<int32_t> Sequences(const QString& variant, int32_t function);
    void ClearCalls();

    // A zero-filled shared block whose folders point here.
    AppState& State() { return *m_state; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;
    std::map<QString, void*> m_handles;
    std::map<QString, TestPluginControl*> m_controls;
    int32_t m_sequence = 0;
};

// The display text of a plug-in's menu name: menuName + ':' + key.
void SetPluginMenuName(TestPluginControl& control, const QString& name);
