#pragma once

#include "lang/lang_res_store.h"

#include <qpu/app_state.h>

#include <QDialog>
#include <QString>

#include <memory>

class QComboBox;
class QShowEvent;

// The language choice dialog: a drop-down list of the languages that the open language
// file offers (the combo items of window "SELECT_LANG_DLG" for control 1000, item data =
// language identifier), OK and Cancel. The printer selection dialog owns one, prepares it
// with a copy of its AppState, shows it modally and, on OK, takes the chosen identifier
// (number and text) from State().
class CSelectLangDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr char kWindowName[] = "SELECT_LANG_DLG";
    static constexpr int kLanguageListId = 1000;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    explicit CSelectLangDlg(QWidget* parent = nullptr);
    ~CSelectLangDlg() override;

    // Copies state into the dialog's own copy, opens the dialog's texts in the language
    // folder and language of that copy (English as the fallback) and loads
    // "SELECT_LANG_DLG". Returns the store's Open result (2, 1, or -1 when no language
    // file exists; the dialog then offers no language).
    int Prepare(const AppState& state);

    // The dialog's copy of the application state. After OK it holds the chosen language
    // identifier as number and as "%04X" text; Cancel leaves it as Prepare made it.
    const AppState& State() const { return *m_state; }

    // The display name of the language with that identifier in the open language file,
    // or an empty text.
    QString GetLanguageName(int langId) const;

    // OK: takes the selected language (-1 when none is selected), stores it in State() and
    // reopens the texts in that language, so that GetLanguageName answers in it.
    void accept() override;

protected:
    // Every showing starts afresh: texts, language list and preselection.
    void showEvent(QShowEvent* event) override;

private:
    void InitDialog();
    int OpenTexts();

    CLangResStore m_store;
    std::unique_ptr<AppState> m_state;
    QComboBox* m_languages = nullptr;
};

namespace lang {

// The language identifier as SETTING.INI and AppState keep it: "%04X" of the 32-bit
// value, so 0x0409 is "0409", 0x1 is "0001" and -1 is "FFFFFFFF".
QString FormatLanguageId(int langId);

// Keeps the language identifier text of state (section "LANGUAGE", key "LANGID"): in
// SETTING.INI of the program folder of state, or, when the user cannot write that folder,
// in the user's own SETTING.INI (lang/language_setting.h). False when it could be written
// nowhere or state names no program folder.
bool SaveLanguageChoice(const AppState& state);

} // namespace lang
