// Language texts for plug-in pages: the texts of one window from the utility's language
// files, LANG/"%04X.DAT" in AppState.languageFolder, with English (0409) as the fallback
// file and a compiled-in English text as the last resort.
//
// A window "NAME" reads the common sections CMN_STR and CMN_MSG and its own NAME_STR and
// NAME_MSG. A key's number is the leading digits after its last '_'; "\n" and "\t" in a
// text are a new line and a tab; a text that is exactly "]CMN_STR_n" or "]CMN_MSG_n" is
// common text n. Files are UTF-16LE with a byte-order mark or UTF-8.
#pragma once

#include <qpu/app_state.h>

#include <QString>
#include <QStringList>

#include <map>

namespace qpu::sdk {

class LangTexts
{
public:
    static constexpr int kFallbackLangId = 0x0409;

    // Results of Load.
    static constexpr int kLoadedRequested = 2;
    static constexpr int kLoadedFallback = 1;
    static constexpr int kNoFile = -1;

    LangTexts() = default;

    // Loads the windows' sections from the file of languageId (else English) in folder.
    int Load(const QString& folder, int languageId, const QStringList& windowNames);
    // The same with the folder and language of the utility's shared block.
    int Load(const AppState* state, const QStringList& windowNames);

    // Text number n of the window's _STR (_MSG) sections, or fallback when it is missing.
    QString String(const QString& window, int number, const QString& fallback) const;
    QString Message(const QString& window, int number, const QString& fallback) const;

    int LoadedLangId() const { return m_loadedLangId; }

    // The language folder and identifier of a shared block.
    static QString FolderOf(const AppState* state);

private:
    using Table = std::map<int, QString>;
    // section name (upper case) -> number -> text
    std::map<QString, Table> m_sections;
    int m_loadedLangId = 0;

    QString Lookup(const QString& section, int number, const QString& fallback) const;
    QString ResolveCommon(const QString& text) const;
};

// Reads a language file into its sections (names upper-cased): every "key=value" line whose
// key ends in "_<digits>". Exposed for tests and tools.
std::map<QString, std::map<int, QString>> ReadLangFile(const QString& path);

} // namespace qpu::sdk
