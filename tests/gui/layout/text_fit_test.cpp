// Every page and dialog shows its full texts in English, German and Japanese at its
// smallest size: the three shipped setting pages inside the page area of the smallest main
// window (online and in start mode 4), and the printer selection dialog, the add-port
// dialog with each interface, the language choice, the progress windows and the About box.
// A label, check box, radio button, push button, group box title or header section whose
// text is wider (or, word-wrapped, taller) than the room it has fails, and so does one that
// sticks out of its parent outside a scroll area.
#include "lang/select_lang_dlg.h"
#include "mainwnd/about_dlg.h"
#include "plugin_harness.h"
#include "printers/communication_setting_dlg.h"
#include "printers/printer_select_dlg.h"
#include "printers/tool_progress_dlg.h"

#include "app/fixed_text.h"
#include "comm/comm_state_dlg.h"
#include "lang/lang_res_store.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTimer>

#include <cstring>
#include <functional>
#include <memory>

using namespace plugintest;

namespace {

const QString kLangDir = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");
// The page area of the main window at its smallest, 796 x 523.
const QSize kPageArea(573, 458);

QString Name(const QWidget* widget)
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        name += u'#' + widget->objectName();
    return name;
}

QString WithoutMnemonics(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    return text.replace(u'\x01', u'&');
}

int WidestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// Collects what does not fit, one line per text.
class FitCheck
{
public:
    explicit FitCheck(QWidget* top) : m_top(top) {}

    QStringList Run()
    {
        for (QWidget* widget : m_top->findChildren<QWidget*>()) {
            if (!widget->isVisibleTo(m_top) || widget->isWindow())
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget))
                Label(label);
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                Button(button);
            else if (auto* box = qobject_cast<QGroupBox*>(widget))
                GroupTitle(box);
            else if (auto* header = qobject_cast<QHeaderView*>(widget))
                Header(header);
        }
        return m_misfits;
    }

private:
    void Fail(const QWidget* widget, const QString& text, const QString& what)
    {
        m_misfits << QStringLiteral("%1 \"%2\": %3").arg(Name(widget), text, what);
    }

    // A text shown in full must also be inside its parents, up to the window or a scroll
    // area's viewport.
    void Inside(QWidget* widget, const QString& text)
    {
        for (QWidget* parent = widget->parentWidget(); parent != nullptr;
             parent = parent->parentWidget()) {
            const QRect mapped(widget->mapTo(parent, QPoint(0, 0)), widget->size());
            QRect room = parent->rect();
            // A viewport's contents may scroll up and down, but not sideways.
            const bool viewport = qobject_cast<QAbstractScrollArea*>(parent->parentWidget());
            if (viewport) {
                room.setTop(std::min(room.top(), mapped.top()));
                room.setBottom(std::max(room.bottom(), mapped.bottom()));
            }
            if (!room.contains(mapped)) {
                Fail(widget, text,
                     QStringLiteral("cut off by %1 (%2,%3 %4x%5 in %6x%7)")
                         .arg(Name(parent))
                         .arg(mapped.x())
                         .arg(mapped.y())
                         .arg(mapped.width())
                         .arg(mapped.height())
                         .arg(parent->width())
                         .arg(parent->height()));
                return;
            }
            if (parent == m_top || viewport)
                return;
        }
    }

    void Width(QWidget* widget, const QString& text, int needed, int available)
    {
        if (needed > available)
            Fail(widget, text, QStringLiteral("needs %1 px, has %2").arg(needed).arg(available));
    }

    void Label(QLabel* label)
    {
        const QString text = label->text();
        if (text.isEmpty() || Qt::mightBeRichText(text) || label->textFormat() == Qt::RichText)
            return;
        const QFontMetrics metrics = label->fontMetrics();
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
        if (label->wordWrap()) {
            const QRect needed =
                metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap, text);
            Width(label, text, needed.width(), room.width());
            if (needed.height() > room.height())
                Fail(label, text,
                     QStringLiteral("wrapped needs %1 px high, has %2")
                         .arg(needed.height())
                         .arg(room.height()));
        } else {
            Width(label, text, WidestLine(metrics, text), room.width());
        }
        Inside(label, text);
    }

    void Button(QAbstractButton* button)
    {
        const QString text = WithoutMnemonics(button->text());
        if (text.isEmpty())
            return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(button))
            contents = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<QRadioButton*>(button))
            contents = QStyle::SE_RadioButtonContents;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        Width(button, text, WidestLine(button->fontMetrics(), text), room.width());
        Inside(button, text);
    }

    void GroupTitle(QGroupBox* box)
    {
        const QString text = WithoutMnemonics(box->title());
        if (text.isEmpty())
            return;
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = text;
        option.lineWidth = 1;
        option.textAlignment = box->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, box);
        Width(box, text, box->fontMetrics().horizontalAdvance(text),
              std::min(label.width(), box->width() - std::max(0, label.x())));
        Inside(box, text);
    }

    void Header(QHeaderView* header)
    {
        if (header->orientation() != Qt::Horizontal || header->model() == nullptr)
            return;
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int section = 0; section < header->count(); ++section) {
            if (header->isSectionHidden(section))
                continue;
            const QString text = header->model()->headerData(section, Qt::Horizontal).toString();
            if (text.isEmpty())
                continue;
            const int needed = header->fontMetrics().horizontalAdvance(text) + 2 * margin;
            Width(header, text, needed, header->sectionSize(section));
            const int right = header->sectionViewportPosition(section) + needed;
            if (right > header->viewport()->width())
                Fail(header, text,
                     QStringLiteral("ends at %1 px, the list is %2 px wide")
                         .arg(right)
                         .arg(header->viewport()->width()));
        }
    }

    QWidget* m_top;
    QStringList m_misfits;
};

void Settle(int ms = 60)
{
    WaitFor([] { return false; }, ms);
}

// Shows the window at its smallest size and lists what does not fit.
QStringList CheckWindow(QWidget* window)
{
    window->show();
    Settle();
    window->resize(window->minimumSize().expandedTo(window->minimumSizeHint()));
    Settle();
    return FitCheck(window).Run();
}

void PrepareState(AppState& state, int languageId)
{
    std::memset(&state, 0, sizeof state);
    state.languageId = languageId;
    SetFixedText(state.languageIdText,
                 QStringLiteral("%1").arg(languageId, 4, 16, QLatin1Char('0')).toUpper());
    SetFixedText(state.languageFolder, kLangDir + u'/');
    SetFixedText(state.programFolder, QStringLiteral(QPU_APP_DIR "/"));
    for (int i = 0; i < 5; ++i)
        state.commIfSlots[i] = i;
    state.defaultCommIf = addport::kUsb;
}

// A page of a shipped plug-in inside the page area.
QStringList CheckPage(const char* library, int languageId, bool offline)
{
    Host host;
    host.SetLanguage(languageId);
    if (offline)
        host.SetOffline();
    host.Frame().resize(kPageArea);
    PluginLibrary plugin(library);
    if (!plugin.RequiredExportsPresent() || host.Bind(plugin) != 0)
        return {QStringLiteral("cannot load %1").arg(QLatin1String(library))};
    if (plugin.changeMenuState(QPU_MENU_STATE_ENTER) != 0)
        return {QStringLiteral("cannot show %1").arg(QLatin1String(library))};
    Settle(100);
    QStringList misfits = FitCheck(host.Pane()).Run();
    plugin.finalize();
    return misfits;
}

QStringList CheckSelectDialog(int languageId)
{
    AppState state;
    PrepareState(state, languageId);
    CPrinterSelectDlg dialog;
    dialog.SetState(state);
    dialog.SetMessageHandler(
        [](QWidget*, CPrinterSelectDlg::MessageKind, const QString&) { return false; });
    return CheckWindow(&dialog);
}

QStringList CheckAddPortDialog(int languageId, int interfaceIndex)
{
    AppState state;
    PrepareState(state, languageId);
    state.defaultCommIf = interfaceIndex;
    CCommunicationSettingDlg dialog(state, nullptr);
    QStringList misfits = CheckWindow(&dialog);
    Settle(150); // Ethernet searches by itself and says that it found nothing
    return misfits;
}

QStringList CheckLanguageDialog(int languageId)
{
    AppState state;
    PrepareState(state, languageId);
    CSelectLangDlg dialog;
    dialog.Prepare(state);
    return CheckWindow(&dialog);
}

QStringList CheckToolProgress(int languageId, CToolProgressDlg::Kind kind)
{
    CLangResStore store;
    store.Open(kLangDir, languageId, CLangResStore::kFallbackLangId);
    store.LoadSections(QStringLiteral("PORT_ADD_DLG"));
    QString caption;
    QString label;
    const bool pairing = kind == CToolProgressDlg::kPairing;
    store.GetString(pairing ? 1034 : 5019, caption);
    store.GetString(pairing ? 5018 : 5020, label);
    CToolProgressDlg dialog(kind, nullptr);
    dialog.SetTexts(caption, label);
    QStringList misfits = CheckWindow(&dialog);
    dialog.Finish();
    return misfits;
}

struct Case
{
    const char* name;
    std::function<QStringList(int languageId)> check;
};

} // namespace

TEST(TextFit, EveryPageAndDialogShowsItsFullTextsInEachLanguage)
{
    // Boxes that a window shows on its own (a search that found nothing) are closed.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    closer.start(10);

    const std::vector<Case> cases = {
        {"print settings page", [](int id) { return CheckPage(kShippedPlugins[0], id, false); }},
        {"print settings page offline",
         [](int id) { return CheckPage(kShippedPlugins[0], id, true); }},
        {"memory switch page", [](int id) { return CheckPage(kShippedPlugins[1], id, false); }},
        {"memory switch page offline",
         [](int id) { return CheckPage(kShippedPlugins[1], id, true); }},
        {"printer information page",
         [](int id) { return CheckPage(kShippedPlugins[2], id, false); }},
        {"printer information page offline",
         [](int id) { return CheckPage(kShippedPlugins[2], id, true); }},
        {"printer selection", CheckSelectDialog},
        {"add port serial", [](int id) { return CheckAddPortDialog(id, addport::kSerial); }},
        {"add port parallel", [](int id) { return CheckAddPortDialog(id, addport::kParallel); }},
        {"add port USB", [](int id) { return CheckAddPortDialog(id, addport::kUsb); }},
        {"add port Ethernet", [](int id) { return CheckAddPortDialog(id, addport::kEthernet); }},
        {"add port Bluetooth", [](int id) { return CheckAddPortDialog(id, addport::kBluetooth); }},
        {"language choice", CheckLanguageDialog},
        {"pairing progress",
         [](int id) { return CheckToolProgress(id, CToolProgressDlg::kPairing); }},
        {"network tool progress",
         [](int id) { return CheckToolProgress(id, CToolProgressDlg::kNetworkTool); }},
        {"communication progress",
         [](int) {
             CCommStateDlg dialog;
             return CheckWindow(&dialog);
         }},
        {"About",
         [](int) {
             CAboutDlg dialog;
             return CheckWindow(&dialog);
         }},
    };
    for (const int languageId : {0x0409, 0x0407, 0x0411}) {
        for (const Case& c : cases) {
            const QStringList misfits = c.check(languageId);
            for (const QString& misfit : misfits)
                ADD_FAILURE() << c.name << " (" << std::hex << languageId << std::dec
                              << "): " << misfit.toStdString();
        }
    }
}
