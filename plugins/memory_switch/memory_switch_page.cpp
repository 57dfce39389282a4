#include "memory_switch_page.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace qpu::sdk;
using memory_switch::Switches;

namespace {

constexpr char kWindow[] = "MEMORY_SWITCH_PAGE";
constexpr char kServedModel[] = "QP-R60";

enum Text
{
    kTitle = 0,
    kDescription = 1,
    kSwitchLabel = 2,
    kBitLabel = 3,
    kOfflineDescription = 4,
    kGroup = 5,
    kValueHeader = 6,
    kValueOrder = 7,
};

QString Format(QString format, int value)
{
    return format.replace(QStringLiteral("%d"), QString::number(value));
}

// The model whose bit descriptions the page shows: the one on the chosen port, else the
// served model.
QString ModelName(const PluginContext& context)
{
    QString model;
    if (context.state != nullptr) {
        const QpuChar16* name = context.state->portInfo.deviceName;
        qsizetype length = 0;
        while (length < QPU_TEXT_MAX_CHARS && name[length] != 0)
            ++length;
        model = QString::fromUtf16(name, length);
    }
    return model.isEmpty() ? QString::fromLatin1(kServedModel) : model;
}

} // namespace

QString MemorySwitchPage::BitWindow(const PluginContext& context)
{
    return QString::fromLatin1(kWindow) + u'_' + ModelName(context);
}

MemorySwitchPage::MemorySwitchPage(const PluginContext& context)
    : PageBase(context, QString::fromLatin1(kWindow), {BitWindow(context)})
{
    setObjectName(QStringLiteral("MemorySwitchPage"));
    SetTitle(Str(kTitle, QStringLiteral("Memory Switches")),
             context.Offline()
                 ? Str(kOfflineDescription,
                       QStringLiteral("The memory switches kept for the printer. Check a box to "
                                      "turn the bit on; changes are kept in the settings file "
                                      "at once."))
                 : Str(kDescription,
                       QStringLiteral("The printer's memory switches 1 to 8. Check a box to turn "
                                      "the bit on. Apply writes the changed switches to the "
                                      "printer, which then restarts.")));

    auto* group = new QGroupBox(Str(kGroup, QStringLiteral("Memory switches")), this);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    const QString bitFormat = Str(kBitLabel, QStringLiteral("Bit %d"));
    for (int bit = 0; bit < 8; ++bit) {
        // A long "Bit 1" breaks after the word where the columns are narrow; a language
        // may also break it itself ("\n" in its text).
        auto* header = new QLabel(Format(bitFormat, bit + 1), group);
        header->setObjectName(QStringLiteral("bit%1").arg(bit + 1));
        header->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        header->setWordWrap(!header->text().contains(u'\n'));
        grid->addWidget(header, 0, bit + 1);
    }
    auto* valueHeader = new QLabel(Str(kValueHeader, QStringLiteral("Value")), group);
    valueHeader->setObjectName(QStringLiteral("valueHeader"));
    valueHeader->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    grid->addWidget(valueHeader, 0, 9);
    const QString switchFormat = Str(kSwitchLabel, QStringLiteral("Memory switch %d"));
    const QString bitWindow = BitWindow(context);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int row = 0; row < QPU_MEMORY_SWITCH_COUNT; ++row) {
        grid->addWidget(new QLabel(Format(switchFormat, row + 1), group), row + 1, 0);
        for (int bit = 0; bit < 8; ++bit) {
            auto* box = new QCheckBox(group);
            box->setObjectName(QStringLiteral("msw%1bit%2").arg(row + 1).arg(bit + 1));
            // The model's meaning of the bit, where its language section defines one.
            const QString meaning = WindowStr(bitWindow, 10 * (row + 1) + bit + 1, QString());
            const QString name = Format(switchFormat, row + 1) + QStringLiteral(", ") +
                                 Format(bitFormat, bit + 1).replace(u'\n', u' ');
            box->setToolTip(meaning.isEmpty() ? name : name + QStringLiteral(": ") + meaning);
            box->setAccessibleName(name);
            grid->addWidget(box, row + 1, bit + 1, Qt::AlignCenter);
            connect(box, &QCheckBox::toggled, this, &MemorySwitchPage::OnEdited);
            m_boxes[size_t(row)][size_t(bit)] = box;
        }
        auto* text = new QLabel(group);
        text->setFont(fixed);
        text->setAlignment(Qt::AlignCenter);
        grid->addWidget(text, row + 1, 9);
        m_texts[size_t(row)] = text;
    }
    auto* order = new QLabel(
        Str(kValueOrder, QStringLiteral("Value: bit 1 is the first digit on the left, bit 8 the "
                                        "last on the right.")),
        group);
    order->setObjectName(QStringLiteral("valueOrder"));
    order->setWordWrap(true);
    grid->addWidget(order, QPU_MEMORY_SWITCH_COUNT + 1, 0, 1, 10);
    grid->setColumnStretch(10, 1);
    Body()->addWidget(group);

    auto* defaults = AddButton(PageText(kPageTextDefault, QStringLiteral("Default")));
    defaults->setObjectName(QStringLiteral("default"));
    connect(defaults, &QPushButton::clicked, this, [this] { Show(Switches{}); });
    m_apply = AddButton(PageText(kPageTextApply, QStringLiteral("Apply")));
    m_apply->setObjectName(QStringLiteral("apply"));
    m_apply->setVisible(!context.Offline());
    m_apply->setEnabled(false);
    connect(m_apply, &QPushButton::clicked, this, [this] { SaveChanges(); });
    Reload();
}

Switches MemorySwitchPage::Shown() const
{
    Switches switches{};
    for (size_t row = 0; row < switches.size(); ++row)
        for (size_t bit = 0; bit < 8; ++bit)
            if (m_boxes[row][bit]->isChecked())
                switches[row] |= static_cast<uint8_t>(1u << bit);
    return switches;
}

void MemorySwitchPage::Show(const Switches& switches)
{
    m_filling = true;
    for (size_t row = 0; row < switches.size(); ++row)
        for (size_t bit = 0; bit < 8; ++bit)
            m_boxes[row][bit]->setChecked(switches[row] & (1u << bit));
    m_filling = false;
    OnEdited();
}

void MemorySwitchPage::Reload()
{
    m_loaded = memory_switch::LoadSwitches(Context().Blocks());
    Show(m_loaded);
}

bool MemorySwitchPage::HasUnsavedChanges() const
{
    return !Context().Offline() && Shown() != m_loaded;
}

void MemorySwitchPage::OnEdited()
{
    if (m_filling)
        return;
    const Switches shown = Shown();
    for (size_t row = 0; row < shown.size(); ++row)
        m_texts[row]->setText(memory_switch::BitText(shown[row]));
    if (Context().Offline()) {
        if (shown != m_loaded &&
            memory_switch::StoreSwitches(Context().Blocks(), shown, false) == 0)
            m_loaded = shown;
        return;
    }
    const bool changed = shown != m_loaded;
    m_apply->setEnabled(changed);
    ShowChanged(changed);
}

int32_t MemorySwitchPage::SaveChanges()
{
    if (Context().Offline())
        return kPrinterOk;
    const Switches before = m_loaded;
    const Switches after = Shown();
    const CommLibTable* comm = Context().CommLib();
    const int32_t rc = RunJob([comm, before, after](JobProgress& progress) {
        progress.Report(0);
        PrinterLink link(comm);
        const int32_t result = memory_switch::WriteToPrinter(link, before, after);
        progress.Report(100);
        return result;
    });
    if (rc != kPrinterOk) {
        ShowWarningMessage(this,
                           CommonMsg(kMsgFailed, QStringLiteral("Failed to change settings.")));
        return rc;
    }
    memory_switch::StoreSwitches(Context().Blocks(), after, true);
    Reload();
    ShowInfoMessage(this,
                    CommonMsg(kMsgChanged, QStringLiteral("Settings were changed successfully.")));
    return rc;
}
