// The language choice dialog: language list, preselection, OK and Cancel, the language
// names, saving the choice; and a look at it in every shipped language.

#include "lang/select_lang_dlg.h"

#include "app/fixed_text.h"
#include "platform/profile.h"
#include "screenshots.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QFileDevice>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

namespace {

const QString kShippedLangDir = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");

class SelectLangDlg : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_state = std::make_unique<AppState>();
        std::memset(m_state.get(), 0, sizeof(AppState));
        m_state->hostCode = 203;
        SetFixedText(m_state->languageFolder, m_dir.path());
    }

    void WriteFile(const char* name, const QByteArray& contents)
    {
        QFile file(m_dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    void SetLanguage(int langId)
    {
        m_state->languageId = langId;
        SetFixedText(m_state->languageIdText, lang::FormatLanguageId(langId));
    }

    QComboBox* Languages() const
    {
        return m_dialog.findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
    }

    QPushButton* Button(int controlId) const
    {
        for (QPushButton* button : m_dialog.findChildren<QPushButton*>()) {
            if (button->property("controlId").toInt() == controlId) {
                return button;
            }
        }
        return nullptr;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;
    CSelectLangDlg m_dialog;
};

const QByteArray kTwoLanguages = "[SELECT_LANG_DLG_CMB]\n"
                                 "L_1000=English||0x0409\n"
                                 "L_1000=Japanese||0x0411\n"
                                 "[SELECT_LANG_DLG_CAP]\n"
                                 "IDCANCEL_2=Back\n"
                                 "[SELECT_LANG_DLG_STR]\n"
                                 "T_0=Language\n";

TEST_F(SelectLangDlg, PreselectsTheCurrentLanguageAndOkTakesTheChosenOne)
{
    WriteFile("0409.DAT", kTwoLanguages);
    WriteFile("0411.DAT", "[SELECT_LANG_DLG_CMB]\n"
                          "L_1000=Eigo||0x0409\n"
                          "L_1000=Nihongo||0x0411\n");
    SetLanguage(0x0411);
    EXPECT_EQ(m_dialog.Prepare(*m_state), 2);
    m_dialog.open();

    ASSERT_EQ(Languages()->count(), 2);
    EXPECT_EQ(Languages()->currentIndex(), 1);
    EXPECT_EQ(Languages()->itemText(1), QStringLiteral("Nihongo"));
    EXPECT_EQ(m_dialog.GetLanguageName(0x0409), QStringLiteral("Eigo"));

    Languages()->setCurrentIndex(0);
    Button(CSelectLangDlg::kOkId)->click();

    EXPECT_EQ(m_dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_dialog.State().languageId, 0x0409);
    EXPECT_EQ(FixedText(m_dialog.State().languageIdText), QStringLiteral("0409"));
    // The texts follow the new language at once.
    EXPECT_EQ(m_dialog.GetLanguageName(0x0409), QStringLiteral("English"));
    EXPECT_EQ(m_dialog.GetLanguageName(0x0407), QString());
}

TEST_F(SelectLangDlg, TakesTitleAndButtonTextsFromTheFileOrKeepsEnglish)
{
    WriteFile("0409.DAT", kTwoLanguages);
    SetLanguage(0x0409);
    m_dialog.Prepare(*m_state);
    m_dialog.open();
    EXPECT_EQ(m_dialog.windowTitle(), QStringLiteral("Language"));
    EXPECT_EQ(Button(CSelectLangDlg::kCancelId)->text(), QStringLiteral("Back"));
    EXPECT_EQ(Button(CSelectLangDlg::kOkId)->text(), QStringLiteral("OK"));
    m_dialog.reject();

    WriteFile("0409.DAT", "[SELECT_LANG_DLG_CMB]\nL_1000=English||0x0409\n");
    CSelectLangDlg plain;
    plain.Prepare(*m_state);
    plain.open();
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("Select Language"));
    plain.reject();
}

TEST_F(SelectLangDlg, CancelLeavesTheStateUntouched)
{
    WriteFile("0409.DAT", kTwoLanguages);
    SetLanguage(0x0409);
    m_dialog.Prepare(*m_state);
    m_dialog.open();
    Languages()->setCurrentIndex(1);
    Button(CSelectLangDlg::kCancelId)->click();
    EXPECT_EQ(m_dialog.result(), QDialog::Rejected);
    EXPECT_EQ(std::memcmp(&m_dialog.State(), m_state.get(), sizeof(AppState)), 0);
}

TEST_F(SelectLangDlg, AnUnlistedLanguageOpensWithNothingSelectedAndOkGivesMinusOne)
{
    WriteFile("0409.DAT", kTwoLanguages);
    SetLanguage(0x0407); // no 0407.DAT: the English file is used
    EXPECT_EQ(m_dialog.Prepare(*m_state), 1);
    m_dialog.open();
    EXPECT_EQ(Languages()->count(), 2);
    EXPECT_EQ(Languages()->currentIndex(), -1);
    m_dialog.accept();
    EXPECT_EQ(m_dialog.State().languageId, -1);
    EXPECT_EQ(FixedText(m_dialog.State().languageIdText), QStringLiteral("FFFFFFFF"));
}

TEST_F(SelectLangDlg, TheFirstOfTwoEntriesWithOneIdentifierWins)
{
    WriteFile("0409.DAT", "[SELECT_LANG_DLG_CMB]\n"
                          "L_1000=English||0x0409\n"
                          "L_1000=US English||0x0409\n");
    SetLanguage(0x0409);
    m_dialog.Prepare(*m_state);
    m_dialog.open();
    EXPECT_EQ(Languages()->currentIndex(), 0);
    EXPECT_EQ(m_dialog.GetLanguageName(0x0409), QStringLiteral("English"));
    m_dialog.reject();
}

TEST_F(SelectLangDlg, ShowingAgainListsEveryLanguageOnceAndPreselectsAfresh)
{
    WriteFile("0409.DAT", kTwoLanguages);
    WriteFile("0411.DAT", kTwoLanguages);
    SetLanguage(0x0409);
    m_dialog.Prepare(*m_state);
    m_dialog.open();
    Languages()->setCurrentIndex(1);
    m_dialog.accept();

    m_dialog.open();
    EXPECT_EQ(Languages()->count(), 2);
    EXPECT_EQ(Languages()->currentIndex(), 1); // the language chosen last time
    m_dialog.reject();
}

TEST_F(SelectLangDlg, WithoutAnyLanguageFileNothingIsOffered)
{
    SetLanguage(0x0409);
    EXPECT_EQ(m_dialog.Prepare(*m_state), -1);
    m_dialog.open();
    EXPECT_EQ(Languages()->count(), 0);
    EXPECT_EQ(m_dialog.GetLanguageName(0x0409), QString());
    m_dialog.reject();
}

TEST(LanguageIdText, IsFourUpperCaseHexDigitsAtLeast)
{
    EXPECT_EQ(lang::FormatLanguageId(0x0409), QStringLiteral("0409"));
    EXPECT_EQ(lang::FormatLanguageId(0x0804), QStringLiteral("0804"));
    EXPECT_EQ(lang::FormatLanguageId(0x1), QStringLiteral("0001"));
    EXPECT_EQ(lang::FormatLanguageId(0xabcd), QStringLiteral("ABCD"));
    EXPECT_EQ(lang::FormatLanguageId(0x12345), QStringLiteral("12345"));
    EXPECT_EQ(lang::FormatLanguageId(-1), QStringLiteral("FFFFFFFF"));
}

TEST(SaveLanguageChoice, WritesTheIdentifierTextIntoSettingIniKeepingTheRest)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath(QStringLiteral("SETTING.INI"));
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("; settings\n[LANGUAGE]\nLANGID=0409\n\n[Font]\nEnableFontA=1\n");
    }
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 0, sizeof(AppState));
    SetFixedText(state->programFolder, dir.path() + u'/');
    SetFixedText(state->languageIdText, QStringLiteral("0411"));

    ASSERT_TRUE(lang::SaveLanguageChoice(*state));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("; settings\n[LANGUAGE]\nLANGID=0411\n\n[Font]\n"
                                         "EnableFontA=1\n"));
}

// A program folder that cannot be written (here: one that does not exist) leaves the
// choice in the user's own configuration; without either it fails.
TEST(SaveLanguageChoice, UnwritableProgramFolderKeepsTheChoiceInTheUsersConfiguration)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 0, sizeof(AppState));
    SetFixedText(state->languageIdText, QStringLiteral("0407"));
    EXPECT_FALSE(lang::SaveLanguageChoice(*state));

    SetFixedText(state->programFolder, dir.path() + QStringLiteral("/missing/"));
    EXPECT_TRUE(lang::SaveLanguageChoice(*state));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing/SETTING.INI"))));
    QFile user(dir.filePath(QStringLiteral("config/qp60util/SETTING.INI")));
    ASSERT_TRUE(user.open(QIODevice::ReadOnly));
    EXPECT_EQ(user.readAll(), QByteArray("[LANGUAGE]\nLANGID=0407\n"));

    // The configuration folder is a file: nowhere to keep the choice.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("missing/SETTING.INI")).toUtf8());
    SetFixedText(state->programFolder, dir.path() + QStringLiteral("/missing/"));
    QFile blocker(dir.filePath(QStringLiteral("missing")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(lang::SaveLanguageChoice(*state));
    qunsetenv("XDG_CONFIG_HOME");
}

// The dialog with the shipped files, in each shipped language: every language is listed
// under its own name, the current one preselected. With QPU_SCREENSHOT_DIR set, a
// screenshot of each is saved there for a person to look at.
TEST(SelectLangDlgShipped, ListsEnglishJapaneseAndGermanInEveryLanguage)
{
    struct Case
    {
        int langId;
        const char* title;
        const char* cancel;
    };
    const Case cases[] = {{0x0409, "Select Language", "Cancel"},
                          {0x0411, "言語の選択", "キャンセル"},
                          {0x0407, "Sprache wählen", "Abbrechen"}};
    for (const Case& each : cases) {
        auto state = std::make_unique<AppState>();
        std::memset(state.get(), 0, sizeof(AppState));
        state->languageId = each.langId;
        SetFixedText(state->languageFolder, kShippedLangDir);
        CSelectLangDlg dialog;
        ASSERT_EQ(dialog.Prepare(*state), 2);
        dialog.open();

        auto* languages = dialog.findChild<QComboBox*>();
        ASSERT_NE(languages, nullptr);
        QStringList names;
        for (int i = 0; i < languages->count(); ++i) {
            names << languages->itemText(i);
        }
        EXPECT_EQ(names, (QStringList{"English", "日本語", "Deutsch"}));
        ASSERT_GE(languages->currentIndex(), 0);
        EXPECT_EQ(languages->currentData().toInt(), each.langId);
        bool cancelFound = false;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            cancelFound |= button->text() == QString::fromUtf8(each.cancel);
        }
        EXPECT_TRUE(cancelFound) << each.cancel;
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(each.title));

        if (const QString shots = ScreenshotFolder(); !shots.isEmpty()) {
            const QString name =
                shots + QStringLiteral("select_lang_dlg_") + lang::FormatLanguageId(each.langId);
            dialog.grab().save(name + QStringLiteral(".png"));
            languages->showPopup();
            languages->view()->window()->grab().save(name + QStringLiteral("_list.png"));
            languages->hidePopup();
        }
        dialog.reject();
    }
}

} // namespace
