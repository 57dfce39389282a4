#include "lang/select_lang_dlg.h"

#include "app/fixed_text.h"
#include "lang/apply_lang_texts.h"
#include "lang/control_lookup.h"
#include "lang/language_setting.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cstring>

namespace {

constexpr char kDefaultTitle[] = "Select Language";

QPushButton* AddButton(const char* text, int controlId, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setProperty(lang::kControlIdProperty, controlId);
    return button;
}

} // namespace

CSelectLangDlg::CSelectLangDlg(QWidget* parent)
    : QDialog(parent), m_state(std::make_unique<AppState>())
{
    std::memset(m_state.get(), 0, sizeof(AppState));
    setWindowTitle(QString::fromLatin1(kDefaultTitle));

    m_languages = new QComboBox(this);
    m_languages->setProperty(lang::kControlIdProperty, kLanguageListId);
    m_languages->setMinimumContentsLength(20);
    m_languages->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    QPushButton* ok = AddButton("OK", kOkId, this);
    QPushButton* cancel = AddButton("Cancel", kCancelId, this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    setMinimumWidth(280); // the width of the dialog template, 186 dialog units
    layout->addWidget(m_languages);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

CSelectLangDlg::~CSelectLangDlg() = default;

int CSelectLangDlg::Prepare(const AppState& state)
{
    std::memcpy(m_state.get(), &state, sizeof(AppState));
    return OpenTexts();
}

int CSelectLangDlg::OpenTexts()
{
    const int opened = m_store.Open(FixedText(m_state->languageFolder), m_state->languageId,
                                    CLangResStore::kFallbackLangId);
    if (opened != CLangResStore::kNotFound) {
        m_store.LoadSections(QString::fromLatin1(kWindowName));
    }
    return opened;
}

QString CSelectLangDlg::GetLanguageName(int langId) const
{
    return m_store.GetComboTextByData(langId);
}

void CSelectLangDlg::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CSelectLangDlg::InitDialog()
{
    // The widget outlives a showing, so its list is emptied before the items are added.
    m_languages->clear();
    lang::ApplyCaptions(m_store, this);
    lang::ApplyComboItems(m_store, this);

    QString title = QString::fromLatin1(kDefaultTitle);
    m_store.GetString(0, title);
    setWindowTitle(title);

    m_languages->setCurrentIndex(-1);
    for (int i = 0; i < m_languages->count(); ++i) {
        const QVariant data = m_languages->itemData(i);
        if (data.isValid() && data.toInt() == m_state->languageId) {
            m_languages->setCurrentIndex(i);
            break;
        }
    }
}

void CSelectLangDlg::accept()
{
    const int index = m_languages->currentIndex();
    const int chosen = index >= 0 ? m_languages->itemData(index).toInt() : -1;
    m_state->languageId = chosen;
    SetFixedText(m_state->languageIdText, lang::FormatLanguageId(chosen));
    OpenTexts();
    QDialog::accept();
}

namespace lang {

QString FormatLanguageId(int langId)
{
    return QStringLiteral("%1")
        .arg(static_cast<quint32>(langId), 4, 16, QLatin1Char('0'))
        .toUpper();
}

bool SaveLanguageChoice(const AppState& state)
{
    const QString programFolder = FixedText(state.programFolder);
    if (programFolder.isEmpty()) {
        return false;
    }
    return SaveLanguageIdText(programFolder + QStringLiteral("SETTING.INI"), UserSettingIniPath(),
                              FixedText(state.languageIdText));
}

} // namespace lang
