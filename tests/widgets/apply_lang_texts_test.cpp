// Applying captions, combo items and list columns of a language file to the controls of
// a window.

#include "lang/apply_lang_texts.h"
#include "lang/control_lookup.h"
#include "lang/lang_res_store.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

class ApplyLangTexts : public ::testing::Test
{
protected:
    // Writes the English language file of a test window "TEST_DLG" and loads it.
    void Load(const QByteArray& contents)
    {
        ASSERT_TRUE(m_dir.isValid());
        QFile file(m_dir.filePath(QStringLiteral("0409.DAT")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
        file.close();
        ASSERT_EQ(m_store.Open(m_dir.path(), 0x0409, 0x0409), CLangResStore::kOpenedRequested);
        ASSERT_EQ(m_store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    }

    template <typename Widget> Widget* Add(int controlId, QWidget* parent = nullptr)
    {
        auto* widget = new Widget(parent != nullptr ? parent : &m_window);
        widget->setProperty(lang::kControlIdProperty, controlId);
        return widget;
    }

    QTemporaryDir m_dir;
    CLangResStore m_store;
    QDialog m_window;
};

TEST_F(ApplyLangTexts, CaptionsReachEveryKindOfControlAndSkipMissingOnes)
{
    Load("[TEST_DLG_CAP]\n"
         "IDOK_1=Accept\n"
         "IDC_MISSING_1500=Nobody has me\n"
         "IDC_LABEL_1001=Two\\nlines\n"
         "IDC_GROUP_1002=Group\n"
         "IDC_CHECK_1003=Check\n"
         "IDC_EDIT_1004=Edited\n"
         "IDC_NESTED_1005=Inside a frame\n"
         "IDOK_1=Accept, last record wins\n");
    auto* ok = Add<QPushButton>(1);
    auto* label = Add<QLabel>(1001);
    auto* group = Add<QGroupBox>(1002);
    auto* check = Add<QCheckBox>(1003);
    auto* edit = Add<QLineEdit>(1004);
    auto* frame = new QWidget(&m_window);
    auto* nested = Add<QLabel>(1005, frame);

    lang::ApplyCaptions(m_store, &m_window);

    EXPECT_EQ(ok->text(), QStringLiteral("Accept, last record wins"));
    EXPECT_EQ(label->text(), QStringLiteral("Two\nlines"));
    EXPECT_EQ(group->title(), QStringLiteral("Group"));
    EXPECT_EQ(check->text(), QStringLiteral("Check"));
    EXPECT_EQ(edit->text(), QStringLiteral("Edited"));
    EXPECT_EQ(nested->text(), QStringLiteral("Inside a frame"));
}

TEST_F(ApplyLangTexts, NothingHappensWithoutAWindowOrWithoutTexts)
{
    Load("[TEST_DLG_CAP]\nIDOK_1=Accept\n[TEST_DLG_CMB]\nC_1000=One||1\n"
         "[TEST_DLG_LSTCTRL]\nL_1020=Port||0||120||2\n");
    lang::ApplyCaptions(m_store, nullptr);
    lang::ApplyComboItems(m_store, nullptr);
    lang::ApplyListColumns(m_store, nullptr);

    // A store without the window's sections leaves the template texts.
    CLangResStore empty;
    auto* ok = Add<QPushButton>(1);
    ok->setText(QStringLiteral("OK"));
    lang::ApplyCaptions(empty, &m_window);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
}

TEST_F(ApplyLangTexts, ComboItemsAreAppendedWithTheirItemData)
{
    Load("[TEST_DLG_CMB]\n"
         "LANG_EN_1000=English||0x0409\n"
         "BUTTON_1001=Not a list||7\n"
         "LANG_JA_1000=Japanese||1041\n"
         "NO_DATA_1000=No number||x\n"
         "MISSING_1500=Nowhere||3\n");
    auto* combo = Add<QComboBox>(1000);
    combo->addItem(QStringLiteral("Kept"), 99);
    auto* button = Add<QPushButton>(1001);
    button->setText(QStringLiteral("Button"));

    lang::ApplyComboItems(m_store, &m_window);

    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Kept"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("English"));
    EXPECT_EQ(combo->itemData(1).toInt(), 0x0409);
    EXPECT_EQ(combo->itemText(2), QStringLiteral("Japanese"));
    EXPECT_EQ(combo->itemData(2).toInt(), 1041);
    EXPECT_EQ(combo->itemData(3).toInt(), -1);
    EXPECT_EQ(button->text(), QStringLiteral("Button"));

    // Applying again adds every item again.
    lang::ApplyComboItems(m_store, &m_window);
    EXPECT_EQ(combo->count(), 7);
}

TEST_F(ApplyLangTexts, ComboItemsBeyondTheListsCapacityAreSkipped)
{
    Load("[TEST_DLG_CMB]\nA_1000=A||1\nB_1000=B||2\nC_1000=C||3\n");
    auto* combo = Add<QComboBox>(1000);
    combo->setMaxCount(2);
    lang::ApplyComboItems(m_store, &m_window);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemData(1).toInt(), 2);
}

TEST_F(ApplyLangTexts, AControlNamedAComboBoxThatIsNoneGetsNothing)
{
    Load("[TEST_DLG_CMB]\nA_1000=A||1\n");
    auto* label = Add<QLabel>(1000);
    label->setProperty(lang::kWindowClassProperty, QStringLiteral("ComboBox"));
    label->setText(QStringLiteral("Label"));
    lang::ApplyComboItems(m_store, &m_window);
    EXPECT_EQ(label->text(), QStringLiteral("Label"));
}

TEST_F(ApplyLangTexts, ListWithoutColumnsTakesThemFromTheFile)
{
    Load("[TEST_DLG_LSTCTRL]\n"
         "L_1020=Printer||0||150||0\n"
         "L_1020=Interface||1||-1||1\n"
         "L_1020=Port||2||120||2\n"
         "L_1021=Not a list||0||10||0\n");
    auto* list = Add<QTreeWidget>(1020);
    list->setColumnCount(0);
    auto* combo = Add<QComboBox>(1021);

    lang::ApplyListColumns(m_store, &m_window);

    ASSERT_EQ(list->columnCount(), 3);
    QTreeWidgetItem* header = list->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Printer"));
    EXPECT_EQ(header->text(1), QStringLiteral("Interface"));
    EXPECT_EQ(header->text(2), QStringLiteral("Port"));
    EXPECT_EQ(list->columnWidth(0), 150);
    EXPECT_EQ(list->columnWidth(2), 120);
    EXPECT_EQ(header->textAlignment(0) & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(header->textAlignment(1) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(header->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(combo->count(), 0);
}

TEST_F(ApplyLangTexts, ExistingColumnsKeepWidthAndOtherFormatTakingHeadingAndAlignment)
{
    Load("[TEST_DLG_LSTCTRL]\n"
         "L_1020=Name||0||-1||0\n"
         "L_1020=Kind||1||-1||2\n"
         "L_1020=Added||3||70||1\n");
    auto* list = Add<QTreeWidget>(1020);
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("a"), QStringLiteral("b")});
    list->setColumnWidth(0, 55);
    list->setColumnWidth(1, 66);
    QPixmap icon(8, 8);
    icon.fill(Qt::red);
    list->headerItem()->setIcon(1, QIcon(icon));
    list->headerItem()->setTextAlignment(1, Qt::AlignHCenter | Qt::AlignBottom);

    lang::ApplyListColumns(m_store, &m_window);

    // Column 3 of a list with columns 0 and 1 goes to the end, as column 2.
    ASSERT_EQ(list->columnCount(), 3);
    QTreeWidgetItem* header = list->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Name"));
    EXPECT_EQ(list->columnWidth(0), 55);
    EXPECT_EQ(header->text(1), QStringLiteral("Kind"));
    EXPECT_EQ(list->columnWidth(1), 66);
    EXPECT_EQ(header->textAlignment(1), int(Qt::AlignRight | Qt::AlignBottom));
    EXPECT_FALSE(header->icon(1).isNull());
    EXPECT_EQ(header->text(2), QStringLiteral("Added"));
    EXPECT_EQ(list->columnWidth(2), 70);
    EXPECT_EQ(header->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(ApplyLangTexts, TablesAreReportListsToo)
{
    Load("[TEST_DLG_LSTCTRL]\nL_1020=Port||0||90||2\nL_1020=Name||1||40||0\n");
    auto* table = Add<QTableWidget>(1020);
    table->setColumnCount(1);
    lang::ApplyListColumns(m_store, &m_window);
    ASSERT_EQ(table->columnCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Port"));
    EXPECT_EQ(table->horizontalHeaderItem(0)->textAlignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(table->columnWidth(0), 90);
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Name"));
}

// Horizontal extent of the dark pixels of one row of an image: {first, last}, or {-1, -1}.
std::pair<int, int> InkExtent(const QImage& image, int y0, int y1)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = y0; y < y1; ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0) {
                    first = x;
                }
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

TEST_F(ApplyLangTexts, CellsFollowTheirColumnsAlignment)
{
    Load("[TEST_DLG_LSTCTRL]\nL_1020=Right||0||300||2\n");
    auto* list = Add<QTreeWidget>(1020);
    list->setColumnCount(0);
    list->setRootIsDecorated(false);
    lang::ApplyListColumns(m_store, &m_window);
    // Rows added after the columns are set take the column's alignment.
    auto* row = new QTreeWidgetItem(list, {QStringLiteral("W")});
    auto* ownAlignment = new QTreeWidgetItem(list, {QStringLiteral("W")});
    ownAlignment->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    list->resize(320, 120);
    list->show();

    const QImage image = list->viewport()->grab().toImage();
    const QRect first = list->visualItemRect(row);
    const QRect second = list->visualItemRect(ownAlignment);
    const auto [rightStart, rightEnd] = InkExtent(image, first.top(), first.bottom());
    const auto [leftStart, leftEnd] = InkExtent(image, second.top(), second.bottom());
    ASSERT_GE(rightStart, 0);
    ASSERT_GE(leftStart, 0);
    EXPECT_GT(rightStart, 200);
    EXPECT_LT(leftEnd, 100);
}

// The shipped texts on stand-ins of the dialogs' controls, the way the dialogs use them.
TEST(ShippedTextsOnControls, AddPortListsAndPrinterListColumnsInEveryLanguage)
{
    const QString folder = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");
    for (const int langId : {0x0409, 0x0411, 0x0407}) {
        SCOPED_TRACE(langId);
        CLangResStore addPort;
        ASSERT_EQ(addPort.Open(folder, langId, 0x0409), CLangResStore::kOpenedRequested);
        addPort.LoadSections(QStringLiteral("PORT_ADD_DLG"));
        QDialog dialog;
        QComboBox* lists[4] = {};
        const int ids[4] = {1017, 1019, 1020, 1021};
        for (int i = 0; i < 4; ++i) {
            lists[i] = new QComboBox(&dialog);
            lists[i]->setProperty(lang::kControlIdProperty, ids[i]);
        }
        lang::ApplyComboItems(addPort, &dialog);
        // What the add-port dialog does after filling the lists.
        lists[0]->setCurrentIndex(2);
        lists[1]->setCurrentIndex(0);
        lists[2]->setCurrentIndex(1);
        lists[3]->setCurrentIndex(0);
        lists[2]->removeItem(0);
        EXPECT_EQ(lists[0]->currentData().toInt(), 8);
        EXPECT_EQ(lists[1]->currentData().toInt(), 9600);
        EXPECT_EQ(lists[2]->currentData().toInt(), 0);
        EXPECT_EQ(lists[2]->currentIndex(), 0);
        EXPECT_EQ(lists[3]->currentData().toInt(), 0);

        CLangResStore select;
        ASSERT_EQ(select.Open(folder, langId, 0x0409), CLangResStore::kOpenedRequested);
        select.LoadSections(QStringLiteral("PRT_SELECT_DLG"));
        QDialog selectDialog;
        auto* printers = new QTreeWidget(&selectDialog);
        printers->setProperty(lang::kControlIdProperty, 1020);
        printers->setColumnCount(0);
        auto* heading = new QLabel(&selectDialog);
        heading->setProperty(lang::kControlIdProperty, 1018);
        lang::ApplyCaptions(select, &selectDialog);
        lang::ApplyListColumns(select, &selectDialog);
        // Printer, interface, port, serial number.
        EXPECT_EQ(printers->columnCount(), 4);
        for (int column = 0; column < 4; ++column) {
            EXPECT_FALSE(printers->headerItem()->text(column).isEmpty());
            EXPECT_GT(printers->columnWidth(column), 50);
        }
        EXPECT_FALSE(heading->text().isEmpty());
    }
}

} // namespace
