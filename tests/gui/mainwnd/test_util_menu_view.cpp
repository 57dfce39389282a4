#include "mainwnd/util_menu_view.h"

#include "mainwnd/menu_pictures.h"
#include "menu_test_bench.h"
#include "pages/plugin_data_mgr.h"
#include "screenshots.h"

#include <qpu/app_state.h>
#include <qpu/data_block.h>

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint32_t kRestoredBlock = 0x2000;
constexpr uint32_t kSharedBlock = 0x3000;
constexpr uint32_t kBlockOfB = 0x4000;

// A menu with a bold caption, pages of three plug-ins on two levels and a page-less entry.
QByteArray StandardMenu(const QString& a, const QString& b, const QString& c)
{
    return ("[APP_SETTING]\nTITLE=Printer Setup\nTITLE_ADD_VERSION=1\n"
            "[MENUITEM_CAPTION]\nITEMID=1\nSTRING=Printer Settings\nFONT_BOLD=1\nFONT_SIZE=11\n"
            "[MENUITEM_A]\nITEMID=2\nPARENTITEMID=1\nSELECTING=1\nSTRING=Basic Settings\n"
            "USE_DLL_NAME=" +
            a +
            "\n[MENUITEM_B]\nITEMID=3\nPARENTITEMID=1\nSELECTING=2\nSTRING=Paper Layout\n"
            "USE_DLL_NAME=" +
            b +
            "\n[MENUITEM_C]\nITEMID=4\nPARENTITEMID=3\nSELECTING=2\nSTRING=Cutter\n"
            "USE_DLL_NAME=" +
            c +
            "\n[MENUITEM_INFO]\nITEMID=5\nSELECTING=2\nSTRING=About This Printer\n"
            "FONT_COLOR_R=32\nFONT_COLOR_G=64\nFONT_COLOR_B=128\n")
        .toUtf8();
}

class MenuViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bench.WriteEnglishTexts("[MENU_ITEM_STR]\nS_1=One\n");
        m_a = m_bench.AddPlugin("menu_plugin_a");
        m_b = m_bench.AddPlugin("menu_plugin_b");
        m_c = m_bench.AddPlugin("menu_plugin_c");
        m_bench.Control("menu_plugin_a").ownBlock = {kRestoredBlock, 0x10000, 40};
        m_bench.Control("menu_plugin_a").dependCount = 2;
        m_bench.Control("menu_plugin_a").depends[0] = {kSharedBlock, 0x10000, 50};
        m_bench.Control("menu_plugin_a").depends[1] = {kRestoredBlock, 0x10000, 40};
        m_bench.Control("menu_plugin_b").ownBlock = {kBlockOfB, 0x10000, 60};
        m_bench.Control("menu_plugin_b").dependCount = 1;
        m_bench.Control("menu_plugin_b").depends[0] = {kSharedBlock, 0x10000, 50};
        // Too small for a block: the manager refuses it and no defaults are asked for.
        m_bench.Control("menu_plugin_c").ownBlock = {0x5000, 0x10000, 20};
        m_bench.WriteMenu(StandardMenu(m_a, m_b, m_c));
        m_bench.State().dataMgr = &m_dataMgr;
    }

    std::unique_ptr<CUtilMenuView> MakeView(QWidget* frame = nullptr, QWidget* pane = nullptr)
    {
        auto context = CUtilMenuView::Context::FromAppState(m_bench.State(), frame, pane);
        auto view = std::make_unique<CUtilMenuView>(context, nullptr);
        view->resize(240, 400);
        return view;
    }

    std::unique_ptr<CUtilMenuView> ShownView()
    {
        auto view = MakeView();
        view->InitialUpdate();
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        m_bench.ClearCalls();
        return view;
    }

    static QPoint RowPoint(const CUtilMenuView& view, int row)
    {
        return view.RowRect(row).center();
    }

    MenuTestBench m_bench;
    PluginDataMgr m_dataMgr;
    QString m_a;
    QString m_b;
    QString m_c;
};

QMouseEvent MoveEvent(const QPoint& pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    return QMouseEvent(QEvent::MouseMove, QPointF(pos), QPointF(pos), Qt::NoButton, buttons, mods);
}

} // namespace

TEST_F(MenuViewTest, InitialUpdateBuildsTheMenuInOrder)
{
    QWidget frame;
    QWidget pane;
    auto view = MakeView(&frame, &pane);
    QSignalSpy titles(view.get(), &CUtilMenuView::titleRead);
    QSignalSpy sizes(view.get(), &CUtilMenuView::menuSizeKnown);
    QSignalSpy selections(view.get(), &CUtilMenuView::selectedEntryChanged);
    std::vector<int32_t> levelsAtHandOver;
    size_t defaultsAtHandOver = 0;
    size_t enterCallsAtHandOver = 0;
    QObject::connect(view.get(), &CUtilMenuView::entryListReady, [&](const MenuItemList* entries) {
        for (const auto& entry : *entries)
            levelsAtHandOver.push_back(entry->level);
        defaultsAtHandOver = m_bench.Calls("menu_plugin_a", kCallSetDefaultData).size();
        enterCallsAtHandOver = m_bench.Calls("menu_plugin_a", kCallChangeMenuState).size();
    });
    view->InitialUpdate();

    EXPECT_EQ(view->MenuFilePath(), m_bench.ProgramFolder() + "MENUITEM.DAT");
    ASSERT_EQ(titles.size(), 1);
    EXPECT_EQ(titles.at(0).at(0).toString(), "Printer Setup Ver.1.40");
    EXPECT_EQ(frame.windowTitle(), "Printer Setup Ver.1.40");
    EXPECT_EQ(m_bench.Control("menu_plugin_a").initFrame, &frame);
    EXPECT_EQ(m_bench.Control("menu_plugin_a").initPane, &pane);
    EXPECT_EQ(m_bench.Control("menu_plugin_a").initState, &m_bench.State());

    // The entry list is handed over after the block registration, before the levels are
    // computed and before the initial selection.
    EXPECT_EQ(levelsAtHandOver, (std::vector<int32_t>{0, 0, 0, 0, 0}));
    EXPECT_EQ(defaultsAtHandOver, 2u);
    EXPECT_EQ(enterCallsAtHandOver, 0u);

    ASSERT_EQ(view->Entries().size(), 5u);
    std::vector<int32_t> levels;
    for (const auto& entry : view->Entries())
        levels.push_back(entry->level);
    EXPECT_EQ(levels, (std::vector<int32_t>{0, 1, 1, 2, 0}));
    ASSERT_EQ(view->count(), 5);
    EXPECT_EQ(view->item(0)->text(), "Printer Settings");
    EXPECT_EQ(view->item(4)->text(), "About This Printer");

    // Rows take the size of the built-in selected picture.
    EXPECT_EQ(view->RowHeight(), 30);
    EXPECT_EQ(view->RowWidth(), 223);
    ASSERT_EQ(sizes.size(), 1);
    const int frameWidth = 2 * view->frameWidth();
    EXPECT_EQ(sizes.at(0).at(0).toInt(), 223 + frameWidth);
    EXPECT_EQ(sizes.at(0).at(1).toInt(), 5 * 30 + frameWidth);

    EXPECT_EQ(view->SelectedRow(), 1);
    EXPECT_EQ(view->SelectedEntry(), view->Entries()[1].get());
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState), std::vector<int32_t>{2});
    ASSERT_EQ(selections.size(), 1);
    EXPECT_EQ(selections.at(0).at(0).toInt(), 1);

    // The menu is built once.
    view->InitialUpdate();
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallInitialize).size(), 1u);
    EXPECT_EQ(view->count(), 5);
}

TEST_F(MenuViewTest, DataBlocksAreRegisteredInTwoPassesKeepingRestoredOnes)
{
    // A settings file from an earlier run holds block 0x2000 with its own data.
    QByteArray restored(40, '\0');
    {
        PluginDataMgr earlier;
        ASSERT_EQ(earlier.AddBlock(kRestoredBlock, 0x10000, 40), 0);
        ASSERT_EQ(earlier.GetBlockData(kRestoredBlock, restored.data(), 40), 0);
        std::memset(restored.data() + QPU_BLOCK_HEADER_SIZE, 0x5A, 8);
        ASSERT_EQ(earlier.SetBlockData(kRestoredBlock, 40, restored.data()), 0);
        earlier.SetSaveEnabled(1);
        ASSERT_EQ(earlier.SaveSettingsFile(m_bench.ProgramFolder() + "saved/Printer_Setting.DAT",
                                           "QP-R60", 0x10000, 0x10000),
                  1);
    }
    ASSERT_EQ(m_dataMgr.LoadSettingsFile(m_bench.ProgramFolder() + "saved/Printer_Setting.DAT"), 0);

    auto view = MakeView();
    view->InitialUpdate();

    // Own blocks first (b's block is added), then the dependencies (a adds the shared
    // block; b finds it already there). The restored block gets no defaults.
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallSetDefaultData),
              std::vector<int32_t>{kSharedBlock});
    EXPECT_EQ(m_bench.Calls("menu_plugin_b", kCallSetDefaultData), std::vector<int32_t>{kBlockOfB});
    EXPECT_TRUE(m_bench.Calls("menu_plugin_c", kCallSetDefaultData).empty());
    EXPECT_LT(m_bench.Sequences("menu_plugin_b", kCallSetDefaultData).at(0),
              m_bench.Sequences("menu_plugin_a", kCallSetDefaultData).at(0));
    EXPECT_LT(m_bench.Sequences("menu_plugin_c", kCallGetPluginInfo).at(0),
              m_bench.Sequences("menu_plugin_a", kCallGetDependPluginData).at(0));
    // The dependency list is asked for twice: the count, then the records.
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallGetDependPluginData),
              (std::vector<int32_t>{-1, 2}));
    EXPECT_EQ(m_bench.Calls("menu_plugin_c", kCallGetDependPluginData), std::vector<int32_t>{-1});

    ASSERT_EQ(m_dataMgr.BlockCount(), 3);
    EXPECT_EQ(m_dataMgr.FindBlock(kRestoredBlock), 0);
    EXPECT_EQ(m_dataMgr.FindBlock(kBlockOfB), 1);
    EXPECT_EQ(m_dataMgr.FindBlock(kSharedBlock), 2);
    EXPECT_EQ(m_dataMgr.FindBlock(0x5000), -1);
    EXPECT_EQ(m_dataMgr.BlockSize(kSharedBlock), 50);
    QByteArray kept(40, '\0');
    ASSERT_EQ(m_dataMgr.GetBlockData(kRestoredBlock, kept.data(), 40), 0);
    EXPECT_EQ(kept, restored);
}

TEST_F(MenuViewTest, DestructionFinalisesThePluginsInMenuOrder)
{
    {
        auto view = MakeView();
        view->InitialUpdate();
        m_bench.ClearCalls();
    }
    const auto a = m_bench.Sequences("menu_plugin_a", kCallFinalize);
    const auto b = m_bench.Sequences("menu_plugin_b", kCallFinalize);
    const auto c = m_bench.Sequences("menu_plugin_c", kCallFinalize);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_LT(a[0], b[0]);
    EXPECT_LT(b[0], c[0]);
}

TEST_F(MenuViewTest, ClickingAnotherRowLeavesTheFormerPageAndEntersTheNew)
{
    auto view = ShownView();
    QSignalSpy selections(view.get(), &CUtilMenuView::selectedEntryChanged);
    QTest::mouseMove(view->viewport(), RowPoint(*view, 2));
    EXPECT_EQ(view->OnMouseRow(), 2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowPoint(*view, 2));
    EXPECT_EQ(view->SelectedRow(), 2);
    EXPECT_EQ(view->SelectingRow(), -1);
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState), std::vector<int32_t>{1});
    EXPECT_EQ(m_bench.Calls("menu_plugin_b", kCallChangeMenuState), std::vector<int32_t>{2});
    EXPECT_LT(m_bench.Sequences("menu_plugin_a", kCallChangeMenuState).at(0),
              m_bench.Sequences("menu_plugin_b", kCallChangeMenuState).at(0));
    ASSERT_EQ(selections.size(), 1);
    EXPECT_EQ(selections.at(0).at(0).toInt(), 2);

    // Clicking it again only tells its plug-in.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowPoint(*view, 2));
    EXPECT_EQ(m_bench.Calls("menu_plugin_b", kCallChangeMenuState), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(view->SelectedRow(), 2);
    EXPECT_EQ(selections.size(), 1);
}

TEST_F(MenuViewTest, APageThatRefusesToBeLeftKeepsTheSelection)
{
    auto view = ShownView();
    m_bench.Control("menu_plugin_a").leaveResult = -5;
    QTest::mouseMove(view->viewport(), RowPoint(*view, 3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowPoint(*view, 3));
    EXPECT_EQ(view->SelectedRow(), 1);
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState), std::vector<int32_t>{1});
    EXPECT_TRUE(m_bench.Calls("menu_plugin_c", kCallChangeMenuState).empty());

    // Closing is refused too; once the page agrees the window may close.
    EXPECT_FALSE(view->CanClose());
    m_bench.Control("menu_plugin_a").leaveResult = 0;
    EXPECT_TRUE(view->CanClose());
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState),
              (std::vector<int32_t>{1, 1, 1}));
}

TEST_F(MenuViewTest, DraggingWithTheLeftButtonCarriesThePressToAnotherRow)
{
    auto view = ShownView();
    QWidget* viewport = view->viewport();
    QTest::mouseMove(viewport, RowPoint(*view, 2));
    QTest::mousePress(viewport, Qt::LeftButton, {}, RowPoint(*view, 2));
    EXPECT_EQ(view->SelectingRow(), 2);
    QMouseEvent drag = MoveEvent(RowPoint(*view, 3), Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &drag);
    EXPECT_EQ(view->SelectingRow(), 3);
    EXPECT_EQ(view->OnMouseRow(), 3);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, RowPoint(*view, 3));
    EXPECT_EQ(view->SelectedRow(), 3);
    EXPECT_EQ(m_bench.Calls("menu_plugin_c", kCallChangeMenuState), std::vector<int32_t>{2});
    EXPECT_TRUE(m_bench.Calls("menu_plugin_b", kCallChangeMenuState).empty());
}

TEST_F(MenuViewTest, DraggingWithAnotherButtonOrShiftClearsThePress)
{
    for (const auto& [buttons, modifiers] :
         std::vector<std::pair<Qt::MouseButtons, Qt::KeyboardModifiers>>{
             {Qt::LeftButton | Qt::RightButton, Qt::NoModifier},
             {Qt::LeftButton, Qt::ShiftModifier}}) {
        auto view = ShownView();
        QWidget* viewport = view->viewport();
        QTest::mouseMove(viewport, RowPoint(*view, 2));
        QTest::mousePress(viewport, Qt::LeftButton, {}, RowPoint(*view, 2));
        QMouseEvent drag = MoveEvent(RowPoint(*view, 4), buttons, modifiers);
        QApplication::sendEvent(viewport, &drag);
        EXPECT_EQ(view->SelectingRow(), -1);
        EXPECT_EQ(view->OnMouseRow(), 4);
        // The release selects the on-mouse row, a page-less entry.
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, RowPoint(*view, 4));
        EXPECT_EQ(view->SelectedRow(), 4);
        EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState), std::vector<int32_t>{1});
        EXPECT_TRUE(m_bench.Calls("menu_plugin_b", kCallChangeMenuState).empty());
    }
}

TEST_F(MenuViewTest, CaptionRowsIgnoreTheMouseAndLeavingClearsTheMarks)
{
    auto view = ShownView();
    QWidget* viewport = view->viewport();
    QTest::mouseMove(viewport, RowPoint(*view, 1));
    QTest::mouseMove(viewport, RowPoint(*view, 0));
    EXPECT_EQ(view->OnMouseRow(), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, RowPoint(*view, 0));
    EXPECT_EQ(view->SelectingRow(), -1);
    // The release went to the on-mouse row, the selected one: selected again.
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallChangeMenuState), std::vector<int32_t>{3});

    QTest::mouseMove(viewport, RowPoint(*view, 2));
    EXPECT_EQ(view->OnMouseRow(), 2);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(viewport, &leave);
    EXPECT_EQ(view->OnMouseRow(), -1);
    EXPECT_EQ(view->SelectedRow(), 1);

    // Below the last row counts as no row.
    QTest::mouseMove(viewport, RowPoint(*view, 2));
    QTest::mouseMove(viewport, QPoint(10, view->RowRect(4).bottom() + 20));
    EXPECT_EQ(view->OnMouseRow(), -1);
}

TEST_F(MenuViewTest, KeyboardChangesNoRowState)
{
    auto view = ShownView();
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Down);
    QTest::keyClick(view.get(), Qt::Key_Down);
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_EQ(view->SelectedRow(), 1);
    EXPECT_EQ(view->OnMouseRow(), -1);
    EXPECT_EQ(view->SelectingRow(), -1);
    EXPECT_TRUE(m_bench.Calls("menu_plugin_a", kCallChangeMenuState).empty());
}

TEST_F(MenuViewTest, NoInitialSelectionWithoutSelectingOne)
{
    QByteArray menu = StandardMenu(m_a, m_b, m_c);
    menu.replace("SELECTING=1", "SELECTING=2");
    m_bench.WriteMenu(menu);
    auto view = MakeView();
    view->InitialUpdate();
    EXPECT_EQ(view->SelectedRow(), -1);
    EXPECT_EQ(view->SelectedEntry(), nullptr);
    EXPECT_TRUE(m_bench.Calls("menu_plugin_a", kCallChangeMenuState).empty());
    EXPECT_TRUE(view->CanClose());
}

TEST_F(MenuViewTest, RowPlansIndentByLevelAndShiftPressedAndSelectedText)
{
    m_bench.WriteMenu("[SETTINGS]\nLEVEL1_INDENT=4\nLEVEL2_INDENT=8\nLEVEL3_INDENT=12\n"
                      "LEVEL4_INDENT=16\nLEVEL5_INDENT=20\nMENU_ITEM_HEIGHT=24\n"
                      "MENU_ITEM_WIDTH=200\n"
                      "[MENUITEM_1]\nITEMID=1\nSELECTING=1\nSTRING=L0\n"
                      "[MENUITEM_2]\nITEMID=2\nPARENTITEMID=1\nSELECTING=2\nSTRING=L1\n"
                      "[MENUITEM_3]\nITEMID=3\nPARENTITEMID=2\nSTRING=L2\n"
                      "[MENUITEM_4]\nITEMID=4\nPARENTITEMID=3\nSTRING=L3\n"
                      "[MENUITEM_5]\nITEMID=5\nPARENTITEMID=4\nSTRING=L4\n"
                      "[MENUITEM_6]\nITEMID=6\nPARENTITEMID=5\nSTRING=L5\n"
                      "[MENUITEM_7]\nITEMID=7\nPARENTITEMID=6\nSTRING=L6\n"
                      "[MENUITEM_8]\nITEMID=8\nPARENTITEMID=7\nSTRING=L7\n");
    auto view = MakeView();
    view->InitialUpdate();
    ASSERT_EQ(view->RowHeight(), 24);
    ASSERT_EQ(view->RowWidth(), 200);
    const QRect row(0, 48, 200, 24);

    // Selected row: the selected picture at x = 0, text indented and moved by 2 pixels.
    const auto selected = view->PlanRow(0, row);
    EXPECT_EQ(selected.picture, CUtilMenuView::RowPlan::Picture::Selected);
    EXPECT_EQ(selected.pictureRect, QRect(0, 48, 223, 30));
    EXPECT_EQ(selected.textRect, QRect(6, 50, 192, 24));

    const auto plain = view->PlanRow(1, row);
    EXPECT_EQ(plain.picture, CUtilMenuView::RowPlan::Picture::None);
    EXPECT_EQ(plain.textRect, QRect(8, 48, 184, 24));
    // Level 7 takes the fifth indent, like level 4.
    EXPECT_EQ(view->PlanRow(7, row).textRect, view->PlanRow(4, row).textRect);
    EXPECT_EQ(view->PlanRow(7, row).textRect, QRect(20, 48, 160, 24));
    // A row narrower than its indents keeps an empty text rectangle.
    const auto narrow = view->PlanRow(7, QRect(0, 0, 30, 24));
    EXPECT_EQ(narrow.textRect.left(), 20);
    EXPECT_EQ(narrow.textRect.width(), 0);

    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QTest::mouseMove(view->viewport(), view->RowRect(1).center());
    EXPECT_EQ(view->PlanRow(1, row).picture, CUtilMenuView::RowPlan::Picture::OnMouse);
    EXPECT_EQ(view->PlanRow(1, row).textRect, QRect(8, 48, 184, 24)); // no shift on mouse-over
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, view->RowRect(1).center());
    EXPECT_EQ(view->PlanRow(1, row).picture, CUtilMenuView::RowPlan::Picture::Selecting);
    EXPECT_EQ(view->PlanRow(1, row).textRect, QRect(10, 50, 184, 24));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, view->RowRect(1).center());
}

TEST_F(MenuViewTest, RowSizesOfZeroFallBackToUsableRows)
{
    m_bench.WriteMenu("[SETTINGS]\nMENU_ITEM_HEIGHT=0\nMENU_ITEM_WIDTH=-7\n"
                      "[MENUITEM_1]\nITEMID=1\nSTRING=X\n[MENUITEM_2]\nITEMID=2\nSTRING=Y\n");
    auto view = MakeView();
    QSignalSpy sizes(view.get(), &CUtilMenuView::menuSizeKnown);
    view->InitialUpdate();
    EXPECT_EQ(view->RowHeight(), view->fontMetrics().height() + 4);
    EXPECT_EQ(view->RowWidth(), 223);
    ASSERT_EQ(sizes.size(), 1);
    EXPECT_EQ(sizes.at(0).at(1).toInt(), 2 * view->RowHeight() + 2 * view->frameWidth());
    EXPECT_EQ(view->RowRect(1).top(), view->RowHeight());
}

TEST_F(MenuViewTest, StretchEnlargesButNeverShrinksStatePictures)
{
    m_bench.WriteMenu("[SETTINGS]\nMENU_ITEM_HEIGHT=40\nMENU_ITEM_WIDTH=150\n"
                      "ITEM_BITMAP_STRETCH=1\n[MENUITEM_1]\nITEMID=1\nSELECTING=1\nSTRING=X\n");
    auto view = MakeView();
    view->InitialUpdate();
    EXPECT_EQ(view->PlanRow(0, QRect(0, 0, 150, 40)).pictureRect, QRect(0, 0, 223, 40));
}

TEST_F(MenuViewTest, FontsFollowBoldAndSizeAndColoursTheEntry)
{
    auto view = MakeView();
    view->InitialUpdate();
    const QFont caption = view->RowFont(0);
    EXPECT_EQ(caption.weight(), QFont::Bold);
    EXPECT_EQ(caption.pixelSize(), (11 * view->logicalDpiY() + 36) / 72);
    const QFont page = view->RowFont(1);
    EXPECT_EQ(page.weight(), view->font().weight());
    EXPECT_EQ(page, view->font());
    EXPECT_EQ(view->Entries()[4]->textColor, 0x804020u);
}

TEST_F(MenuViewTest, BackgroundSitsBottomLeftWithItsTopLeftColourAbove)
{
    QImage picture(40, 100, QImage::Format_RGB888);
    picture.fill(QColor(0, 0, 200));
    for (int x = 0; x < 40; ++x)
        picture.setPixelColor(x, 0, QColor(200, 0, 0));
    picture.setPixelColor(0, 99, QColor(0, 200, 0));
    const QString file = m_bench.ProgramFolder() + "bg.bmp";
    ASSERT_TRUE(picture.save(file));
    m_bench.WriteMenu(("[SETTINGS]\nBACKGROUND_BITMAP=" + file + "\n").toUtf8());

    auto view = MakeView();
    view->InitialUpdate();
    view->setFrameShape(QFrame::NoFrame);
    view->resize(60, 160);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QImage shot = view->viewport()->grab().toImage();
    const int h = shot.height();
    ASSERT_GE(h, 100);
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(200, 0, 0));       // strip above: top-left colour
    EXPECT_EQ(shot.pixelColor(50, 5), QColor(200, 0, 0));      // across the whole width
    EXPECT_EQ(shot.pixelColor(5, h - 100), QColor(200, 0, 0)); // the picture's first row
    EXPECT_EQ(shot.pixelColor(5, h - 50), QColor(0, 0, 200));
    EXPECT_EQ(shot.pixelColor(0, h - 1), QColor(0, 200, 0)); // bottom-left corner

    // A client lower than the picture shows the picture's bottom part.
    view->resize(60, 50);
    QApplication::processEvents();
    shot = view->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, shot.height() - 1), QColor(0, 200, 0));
    EXPECT_EQ(shot.pixelColor(5, 0), QColor(0, 0, 200));
}

TEST_F(MenuViewTest, MissingLanguageFilesCloseTheMainWindowWithAnEmptyMenu)
{
    QFile::remove(m_bench.LanguageFolder() + "/0409.DAT");
    QWidget frame;
    frame.show();
    QString warning;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warning = box->text();
            box->accept();
        }
    });
    auto view = MakeView(&frame);
    view->InitialUpdate();
    EXPECT_EQ(warning, "Could not find the required files.\nClosing application.");
    EXPECT_TRUE(view->Entries().empty());
    EXPECT_EQ(view->count(), 0);
    EXPECT_TRUE(m_bench.Calls("menu_plugin_a", kCallInitialize).empty());
    EXPECT_TRUE(frame.isVisible()); // the close is posted, not sent
    QApplication::processEvents();
    EXPECT_FALSE(frame.isVisible());
}

TEST(MenuPicturesTest, BuiltInPicturesHaveTheirSizesAndDepth)
{
    const MenuPictures pictures;
    EXPECT_EQ(pictures.Background().size(), QSize(223, 540));
    for (const QImage* image : {&pictures.OnMouse(), &pictures.Selected(), &pictures.Selecting()})
        EXPECT_EQ(image->size(), QSize(223, 30));
    for (const QImage* image :
         {&pictures.Background(), &pictures.OnMouse(), &pictures.Selected(), &pictures.Selecting()})
        EXPECT_EQ(image->depth(), 24);
    // The three state pictures differ from each other.
    EXPECT_NE(pictures.OnMouse(), pictures.Selected());
    EXPECT_NE(pictures.Selected(), pictures.Selecting());
}

TEST(MenuPicturesTest, NamedFilesOrTheBuiltInPicture)
{
    QTemporaryDir dir;
    QImage own(10, 12, QImage::Format_RGB888);
    own.fill(Qt::yellow);
    ASSERT_TRUE(own.save(dir.filePath("sel.bmp")));
    QFile junk(dir.filePath("junk.bmp"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();

    MenuLayout layout;
    layout.selectedPicture = dir.filePath("sel.bmp");
    layout.onMousePicture = dir.filePath("junk.bmp");
    layout.selectingPicture = dir.filePath("missing.bmp");
    const MenuPictures pictures(layout);
    EXPECT_EQ(pictures.Selected().size(), QSize(10, 12));
    EXPECT_EQ(pictures.OnMouse(), MenuPictures::BuiltInOnMouse());
    EXPECT_EQ(pictures.Selecting(), MenuPictures::BuiltInSelecting());
}

TEST(MenuPicturesTest, TransparencyKeysOnTheCentrePixel)
{
    QImage picture(5, 4, QImage::Format_RGB888);
    picture.fill(QColor(10, 20, 30));
    picture.setPixelColor(0, 0, QColor(1, 2, 3));
    const QImage keyed = MenuPictures::WithCentreColorTransparent(picture);
    EXPECT_EQ(qAlpha(keyed.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(4, 3)), 0);
    EXPECT_EQ(keyed.pixel(0, 0), qRgb(1, 2, 3));

    MenuLayout layout;
    layout.transparent = 1;
    const MenuPictures pictures(layout);
    EXPECT_EQ(qAlpha(pictures.Selected().pixel(111, 15)), 0);
    EXPECT_EQ(qAlpha(pictures.Background().pixel(111, 15)), 255);
}

// Writes a picture of the menu for people to look at when QPU_SCREENSHOTS is set.
TEST_F(MenuViewTest, Screenshot)
{
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty())
        GTEST_SKIP() << "QPU_SCREENSHOTS not set";
    auto view = ShownView();
    view->resize(225, 523 - 67);
    QTest::mouseMove(view->viewport(), RowPoint(*view, 3));
    QApplication::processEvents();
    ASSERT_TRUE(view->grab().save(folder + QStringLiteral("menu_view.png")));
}
