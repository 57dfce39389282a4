#include "print_settings_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace qpu::sdk;
using print_settings::Values;

namespace {

constexpr char kWindow[] = "PRINT_SETTINGS_PAGE";

enum Text
{
    kTitle = 0,
    kDescription = 1,
    kDensityLabel = 2,
    kSpeedLabel = 3,
    kDensityItem = 4,
    kSpeedItem = 5,
    kOtherItem = 6,
    kGroup = 7,
    kHint = 8,
    kOfflineDescription = 9,
    kSpeedFastestItem = 10,
    kSpeedSlowestItem = 11,
    kSpeedHint = 12,
};

QString Format(QString format, int32_t value)
{
    return format.replace(QStringLiteral("%d"), QString::number(value));
}

} // namespace

PrintSettingsPage::PrintSettingsPage(const PluginContext& context)
    : PageBase(context, QString::fromLatin1(kWindow))
{
    setObjectName(QStringLiteral("PrintSettingsPage"));
    SetTitle(Str(kTitle, QStringLiteral("Print Settings")),
             context.Offline()
                 ? Str(kOfflineDescription,
                       QStringLiteral("The print density and print speed that the output file "
                                      "sets in the printer. Changes are kept in the settings "
                                      "file at once."))
                 : Str(kDescription,
                       QStringLiteral("The print density and print speed of the printer. Apply "
                                      "writes them to the printer, which then restarts.")));

    auto* group = new QGroupBox(Str(kGroup, QStringLiteral("Print quality")), this);
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setHorizontalSpacing(16);
    m_density = new QComboBox(group);
    m_density->setObjectName(QStringLiteral("density"));
    m_density->setMinimumWidth(180);
    m_speed = new QComboBox(group);
    m_speed->setObjectName(QStringLiteral("speed"));
    m_speed->setMinimumWidth(180);
    form->addRow(Str(kDensityLabel, QStringLiteral("Print density:")), m_density);
    form->addRow(Str(kSpeedLabel, QStringLiteral("Print speed:")), m_speed);
    const QString speedHint =
        Format(Str(kSpeedHint, QStringLiteral("Level %d is the fastest print speed.")),
               print_settings::SpeedChoices().back());
    auto* hint = new QLabel(Str(kHint, QStringLiteral("A higher density gives darker print; a "
                                                      "lower speed gives finer print.")) +
                                u'\n' + speedHint,
                            group);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #505050;"));
    form->addRow(hint);
    Body()->addWidget(group);

    auto* defaults = AddButton(PageText(kPageTextDefault, QStringLiteral("Default")));
    defaults->setObjectName(QStringLiteral("default"));
    connect(defaults, &QPushButton::clicked, this, &PrintSettingsPage::OnDefault);
    m_apply = AddButton(PageText(kPageTextApply, QStringLiteral("Apply")));
    m_apply->setObjectName(QStringLiteral("apply"));
    m_apply->setVisible(!context.Offline());
    m_apply->setEnabled(false);
    connect(m_apply, &QPushButton::clicked, this, [this] { SaveChanges(); });

    connect(m_density, &QComboBox::currentIndexChanged, this, &PrintSettingsPage::OnEdited);
    connect(m_speed, &QComboBox::currentIndexChanged, this, &PrintSettingsPage::OnEdited);
    Reload();
}

void PrintSettingsPage::FillChoices(QComboBox* combo, const std::vector<int32_t>& choices,
                                    const QString& format, int32_t current,
                                    const QString& firstFormat, const QString& lastFormat)
{
    combo->clear();
    for (size_t i = 0; i < choices.size(); ++i) {
        const bool first = i == 0 && !firstFormat.isEmpty();
        const bool last = i + 1 == choices.size() && !lastFormat.isEmpty();
        combo->addItem(Format(first  ? firstFormat
                              : last ? lastFormat
                                     : format,
                              choices[i]),
                       choices[i]);
    }
    int index = combo->findData(current);
    if (index < 0) {
        // A value the page does not offer, set by another tool: show it as it is.
        combo->addItem(Format(Str(kOtherItem, QStringLiteral("Other value (%d)")), current),
                       current);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

void PrintSettingsPage::Show(const Values& values)
{
    m_filling = true;
    FillChoices(m_density, print_settings::DensityChoices(),
                Str(kDensityItem, QStringLiteral("%d %")), values.density);
    // The higher the level, the faster the printer prints.
    FillChoices(m_speed, print_settings::SpeedChoices(),
                Str(kSpeedItem, QStringLiteral("Level %d")), values.speed,
                Str(kSpeedSlowestItem, QStringLiteral("Level %d (slowest)")),
                Str(kSpeedFastestItem, QStringLiteral("Level %d (fastest)")));
    m_filling = false;
    OnEdited();
}

Values PrintSettingsPage::Shown() const
{
    return {m_density->currentData().toInt(), m_speed->currentData().toInt()};
}

void PrintSettingsPage::Reload()
{
    m_loaded = print_settings::LoadValues(Context().Blocks());
    Show(m_loaded);
}

bool PrintSettingsPage::HasUnsavedChanges() const
{
    return !Context().Offline() && Shown() != m_loaded;
}

void PrintSettingsPage::OnEdited()
{
    if (m_filling)
        return;
    if (Context().Offline()) {
        // No printer to apply to: the block is what the settings and output files take.
        if (Shown() != m_loaded &&
            print_settings::StoreValues(Context().Blocks(), Shown(), false) == 0)
            m_loaded = Shown();
        return;
    }
    const bool changed = HasUnsavedChanges();
    m_apply->setEnabled(changed);
    ShowChanged(changed);
}

void PrintSettingsPage::OnDefault()
{
    Show(Values{});
}

int32_t PrintSettingsPage::SaveChanges()
{
    if (Context().Offline())
        return kPrinterOk;
    const Values wanted = Shown();
    const CommLibTable* comm = Context().CommLib();
    const int32_t rc = RunJob([comm, wanted](JobProgress& progress) {
        progress.Report(0);
        PrinterLink link(comm);
        const int32_t result = print_settings::WriteToPrinter(link, wanted);
        progress.Report(100);
        return result;
    });
    if (rc != kPrinterOk) {
        ShowWarningMessage(this,
                           CommonMsg(kMsgFailed, QStringLiteral("Failed to change settings.")));
        return rc;
    }
    print_settings::StoreValues(Context().Blocks(), wanted, true);
    Reload();
    ShowInfoMessage(this,
                    CommonMsg(kMsgChanged, QStringLiteral("Settings were changed successfully.")));
    return rc;
}
