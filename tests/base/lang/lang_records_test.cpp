#include "lang/control_lookup.h"
#include "lang/lang_records.h"
#include "lang/placeholders.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

// Records find the controls of real widgets, so these cases need an application object.
class ControlLookup : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (QApplication::instance() == nullptr) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "test_lang";
            static char* argv[] = {name, nullptr};
            s_app = std::make_unique<QApplication>(argc, argv);
        }
    }

    // The application object must go before static destruction begins.
    static void TearDownTestSuite() { s_app.reset(); }

    template <typename Widget> Widget* Add(int controlId, QWidget* parent = nullptr)
    {
        auto* widget = new Widget(parent != nullptr ? parent : &m_window);
        widget->setProperty(lang::kControlIdProperty, controlId);
        return widget;
    }

    QWidget m_window;

private:
    static inline std::unique_ptr<QApplication> s_app;
};

CComboBoxResInfo ComboRecord(int controlId)
{
    return CComboBoxResInfo(QStringLiteral("IDC_%1").arg(controlId), controlId,
                            QStringLiteral("item"), 0x0409);
}

CListCtrlResInfo ColumnRecord(int controlId)
{
    return CListCtrlResInfo(QStringLiteral("L_%1").arg(controlId), controlId,
                            QStringLiteral("Port"), 0, 120, 2);
}

} // namespace

TEST_F(ControlLookup, FindsControlsByIdAtAnyDepthPreferringDirectChildren)
{
    auto* group = Add<QGroupBox>(1100);
    auto* nested = Add<QPushButton>(1, group);
    EXPECT_EQ(lang::FindControl(&m_window, 1), nested);
    auto* direct = Add<QLabel>(1);
    EXPECT_EQ(lang::FindControl(&m_window, 1), direct);
    EXPECT_EQ(lang::FindControl(&m_window, 1100), group);
    EXPECT_EQ(lang::FindControl(&m_window, 2), nullptr);
    EXPECT_EQ(lang::FindControl(&m_window, -1), nullptr);
    EXPECT_EQ(lang::FindControl(nullptr, 1), nullptr);
}

TEST_F(ControlLookup, ControlsOfAnEmbeddedDialogBelongToThatDialog)
{
    auto* dialog = new QDialog(&m_window);
    auto* inner = new QComboBox(dialog);
    inner->setProperty(lang::kControlIdProperty, 1000);
    EXPECT_EQ(lang::FindControl(&m_window, 1000), nullptr);
    EXPECT_EQ(lang::FindControl(dialog, 1000), inner);

    auto* page = new QWidget(&m_window);
    page->setProperty(lang::kOwnsTextsProperty, true);
    auto* pageButton = Add<QPushButton>(1, page);
    EXPECT_EQ(lang::FindControl(&m_window, 1), nullptr);
    EXPECT_EQ(lang::FindControl(page, 1), pageButton);
    page->setProperty(lang::kOwnsTextsProperty, false);
    EXPECT_EQ(lang::FindControl(&m_window, 1), pageButton);
}

TEST_F(ControlLookup, WindowClassNamesOfTheToolkitControls)
{
    EXPECT_EQ(lang::ControlClassName(Add<QComboBox>(1)), QStringLiteral("ComboBox"));
    EXPECT_EQ(lang::ControlClassName(Add<QTreeWidget>(2)), QStringLiteral("SysListView32"));
    EXPECT_EQ(lang::ControlClassName(Add<QTableWidget>(3)), QStringLiteral("SysListView32"));
    EXPECT_EQ(lang::ControlClassName(Add<QListWidget>(4)), QStringLiteral("ListBox"));
    EXPECT_EQ(lang::ControlClassName(Add<QPushButton>(5)), QStringLiteral("Button"));
    EXPECT_EQ(lang::ControlClassName(Add<QGroupBox>(6)), QStringLiteral("Button"));
    EXPECT_EQ(lang::ControlClassName(Add<QLabel>(7)), QStringLiteral("Static"));
    EXPECT_EQ(lang::ControlClassName(Add<QLineEdit>(8)), QStringLiteral("Edit"));
    EXPECT_EQ(lang::ControlClassName(Add<QWidget>(9)), QStringLiteral("QWidget"));
    EXPECT_EQ(lang::ControlClassName(nullptr), QString());

    auto* custom = Add<QWidget>(10);
    custom->setProperty(lang::kWindowClassProperty, QStringLiteral("ComboBox"));
    EXPECT_EQ(lang::ControlClassName(custom), QStringLiteral("ComboBox"));
}

TEST_F(ControlLookup, ComboRecordsTargetOnlyComboBoxes)
{
    Add<QComboBox>(1000);
    Add<QPushButton>(1);
    Add<QTreeWidget>(1020);
    EXPECT_TRUE(ComboRecord(1000).IsTargetControl(&m_window));
    EXPECT_FALSE(ComboRecord(1).IsTargetControl(&m_window));    // a button
    EXPECT_FALSE(ComboRecord(1020).IsTargetControl(&m_window)); // a list view
    EXPECT_FALSE(ComboRecord(999).IsTargetControl(&m_window));  // no such control
    EXPECT_FALSE(ComboRecord(1000).IsTargetControl(nullptr));
}

TEST_F(ControlLookup, ListRecordsTargetOnlyReportListViews)
{
    Add<QTreeWidget>(1020);
    Add<QListWidget>(1021);
    Add<QComboBox>(1000);
    EXPECT_TRUE(ColumnRecord(1020).IsTargetControl(&m_window));
    EXPECT_FALSE(ColumnRecord(1021).IsTargetControl(&m_window));
    EXPECT_FALSE(ColumnRecord(1000).IsTargetControl(&m_window));
}

TEST_F(ControlLookup, BaseAndCaptionRecordsTargetNothingButCanTestClasses)
{
    Add<QPushButton>(1);
    const CCaptionResInfo caption(QStringLiteral("IDC_OK_1"), 1, QStringLiteral("OK"), 9);
    EXPECT_FALSE(caption.IsTargetControl(&m_window));
    EXPECT_TRUE(caption.IsControlClass(&m_window, QStringLiteral("Button")));
    EXPECT_FALSE(caption.IsControlClass(&m_window, QStringLiteral("button"))); // case counts
    EXPECT_FALSE(caption.IsControlClass(&m_window, QString()));
    EXPECT_FALSE(caption.IsControlClass(nullptr, QStringLiteral("Button")));

    // A record without a number names no control, even if a control carries -1.
    Add<QPushButton>(-1);
    const CStringResInfo unnumbered(QStringLiteral("X"), CLangInfoBase::kNoNumber,
                                    QStringLiteral("x"));
    EXPECT_FALSE(unnumbered.IsControlClass(&m_window, QStringLiteral("Button")));
}

TEST(LangRecords, DefaultsOfTheNumberFields)
{
    const CStringResInfo text(QStringLiteral("IDS_TITLE_0"), 0, QStringLiteral("Title"));
    EXPECT_EQ(text.Key(), QStringLiteral("IDS_TITLE_0"));
    EXPECT_EQ(text.Number(), 0);
    EXPECT_EQ(text.Text(), QStringLiteral("Title"));
    EXPECT_EQ(text.SpareNumber(), -1);

    const CListCtrlResInfo column(QStringLiteral("L_1"), 1, QStringLiteral("h"), -1, -1, -1);
    EXPECT_TRUE(column.KeepsWidth());
    EXPECT_EQ(column.HorizontalAlignment(), Qt::AlignLeft);
    EXPECT_EQ(column.SpareNumber(), -1);
}

TEST(FillPlaceholders, FillsInOrderAndNeverFillsAValue)
{
    struct Case
    {
        const char* text;
        QStringList values;
        const char* filled;
    };
    const Case cases[] = {
        {"%s   S/N %s", {"192.168.0.5", "QPR6000001"}, "192.168.0.5   S/N QPR6000001"},
        {"Port %s is in use.", {"/dev/ttyS0"}, "Port /dev/ttyS0 is in use."},
        {"No placeholder.", {"x"}, "No placeholder."},
        {"Only %s.", {"one", "two"}, "Only one."},
        {"%s and %s", {"one"}, "one and %s"},
        // A typed value that holds "%s" is shown as typed, not filled by the next value.
        {"%s   S/N %s", {"%s", "QPR6000001"}, "%s   S/N QPR6000001"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillPlaceholders(QString::fromUtf8(c.text), c.values),
                  QString::fromUtf8(c.filled))
            << c.text;
}
