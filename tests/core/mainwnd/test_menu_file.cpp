#include "mainwnd/menu_file.h"

#include "lang/lang_res_store.h"
#include "menu_test_bench.h"

#include <qpu/app_state.h>

#include <gtest/gtest.h>

#include <climits>

namespace {

QStringList Texts(const MenuItemList& entries)
{
    QStringList texts;
    for (const auto& entry : entries)
        texts << entry->text;
    return texts;
}

std::vector<int32_t> Levels(const MenuItemList& entries)
{
    std::vector<int32_t> levels;
    for (const auto& entry : entries)
        levels.push_back(entry->level);
    return levels;
}

class MenuFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bench.WriteEnglishTexts("[MENU_ITEM_STR]\nS_0=Zero\nS_3=Printing\nS_7=Seven\n");
        ASSERT_EQ(m_texts.Open(m_bench.LanguageFolder(), 0x0409, 0x0409), 2);
        ASSERT_EQ(m_texts.LoadSections(QStringLiteral("MENU_ITEM")), 0);
        m_bind.programFolder = m_bench.ProgramFolder();
        m_bind.appState = &m_bench.State();
    }

    MenuItemList Read(const QByteArray& menu)
    {
        const QString path = m_bench.WriteMenu(menu);
        return MenuFile::ReadEntries(path, m_texts, m_bind,
                                     MenuFile::ReadLayout(path).defaultTextColor);
    }

    MenuTestBench m_bench;
    CLangResStore m_texts;
    PluginBindContext m_bind;
};

} // namespace

TEST(MenuFileChoice, StartModesPickTheirFilesAndEverythingElseTheMainMenu)
{
    EXPECT_EQ(MenuFile::FileNameForStartMode(0), "MENUITEM.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(1), "MENUITEM_LOGO.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(2), "MENUITEM_PRNCTRL.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(3), "MENUITEM_REMOTE.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(4), "MENUITEM_SAVEFILE.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(5), "MENUITEM_COUPON.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(100), "MENUITEM_ZRD_5.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(110), "MENUITEM_ZRD_5_LOGO.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(7), "MENUITEM.DAT");
    EXPECT_EQ(MenuFile::FileNameForStartMode(-1), "MENUITEM.DAT");
    EXPECT_EQ(MenuFile::PathForStartMode("/opt/qp/", 1), "/opt/qp/MENUITEM_LOGO.DAT");
}

TEST_F(MenuFileTest, TitleWithAndWithoutVersion)
{
    EXPECT_FALSE(MenuFile::ReadTitle(m_bench.ProgramFolder() + "MISSING.DAT"));
    EXPECT_FALSE(MenuFile::ReadTitle(m_bench.WriteMenu("[APP_SETTING]\nTITLE_ADD_VERSION=1\n")));
    EXPECT_EQ(MenuFile::ReadTitle(m_bench.WriteMenu("[app_setting]\ntitle=Logo Tool\n"
                                                    "TITLE_ADD_VERSION=1\n")),
              QString("Logo Tool Ver.1.40"));
    EXPECT_EQ(MenuFile::ReadTitle(m_bench.WriteMenu("[APP_SETTING]\nTITLE=Logo Tool\n"
                                                    "TITLE_ADD_VERSION=2\n")),
              QString("Logo Tool"));
    // String keys are read into 260-character buffers.
    const QByteArray longTitle(400, 'T');
    EXPECT_EQ(
        MenuFile::ReadTitle(m_bench.WriteMenu("[APP_SETTING]\nTITLE=" + longTitle + "\n"))->size(),
        259);
}

TEST_F(MenuFileTest, LayoutDefaultsAndValues)
{
    const MenuLayout defaults = MenuFile::ReadLayout(m_bench.ProgramFolder() + "MISSING.DAT");
    EXPECT_EQ(defaults.indents, (std::array<int32_t, 5>{6, 12, 24, 24, 24}));
    EXPECT_EQ(defaults.rowHeight, -1);
    EXPECT_EQ(defaults.rowWidth, -1);
    EXPECT_TRUE(defaults.backgroundPicture.isEmpty());
    EXPECT_FALSE(defaults.Stretches());
    EXPECT_FALSE(defaults.IsTransparent());
    EXPECT_EQ(defaults.defaultFontSize, -1);
    EXPECT_EQ(defaults.defaultTextColor, 0u);

    const MenuLayout layout = MenuFile::ReadLayout(m_bench.WriteMenu(
        "[SETTINGS]\nLEVEL1_INDENT=1\nLEVEL2_INDENT=2\nLEVEL3_INDENT=3\nLEVEL4_INDENT=4\n"
        "LEVEL5_INDENT=5\nMENU_ITEM_HEIGHT=22\nMENU_ITEM_WIDTH=180\nBACKGROUND_BITMAP=bg.bmp\n"
        "ITEM_ON_MOUSE_BITMAP=on.bmp\nITEM_SELECTED_BITMAP=sel.bmp\n"
        "ITEM_SELECTING_BITMAP=ing.bmp\nITEM_BITMAP_STRETCH=1\nITEM_BITMAP_BK_TRANSPARENT=2\n"
        "DEFALT_FONT_SIZE=11\nDEFALT_FONT_COLOR_R=258\nDEFALT_FONT_COLOR_G=2\n"
        "DEFALT_FONT_COLOR_B=3\n"));
    EXPECT_EQ(layout.indents, (std::array<int32_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(layout.rowHeight, 22);
    EXPECT_EQ(layout.rowWidth, 180);
    EXPECT_EQ(layout.backgroundPicture, "bg.bmp");
    EXPECT_EQ(layout.onMousePicture, "on.bmp");
    EXPECT_EQ(layout.selectedPicture, "sel.bmp");
    EXPECT_EQ(layout.selectingPicture, "ing.bmp");
    EXPECT_TRUE(layout.Stretches());
    EXPECT_FALSE(layout.IsTransparent()); // only exactly 1 counts
    EXPECT_EQ(layout.defaultFontSize, 11);
    EXPECT_EQ(layout.defaultTextColor, 0x030202u);
    EXPECT_EQ(layout.IndentForLevel(7), 5);
    EXPECT_EQ(layout.IndentForLevel(4), 5);
    EXPECT_EQ(layout.IndentForLevel(-2), 1);

    // A colour with any part absent is black.
    EXPECT_EQ(MenuFile::ReadLayout(m_bench.WriteMenu("[SETTINGS]\nDEFALT_FONT_COLOR_R=255\n"
                                                     "DEFALT_FONT_COLOR_G=255\n"))
                  .defaultTextColor,
              0u);
}

TEST(MenuLayoutMeasure, ConfiguredSizeOrTheSelectedPicturesAndZeroIsNotRemembered)
{
    MenuLayout fromPicture;
    EXPECT_EQ(fromPicture.MeasureRow(223, 30), std::make_pair(223, 30));
    EXPECT_EQ(fromPicture.rowHeight, 30);
    EXPECT_EQ(fromPicture.rowWidth, 223);

    MenuLayout configured;
    configured.rowHeight = 18;
    configured.rowWidth = 150;
    EXPECT_EQ(configured.MeasureRow(223, 30), std::make_pair(150, 18));

    MenuLayout zero;
    zero.rowHeight = 0;
    zero.MeasureRow(223, 30);
    EXPECT_EQ(zero.rowHeight, 0);
    EXPECT_EQ(zero.rowWidth, 223);
}

TEST(MenuFileValues, ColourPartsUseTheirLowEightBits)
{
    EXPECT_EQ(MenuFile::MakeColorRef(300, 0, 0, 7), 44u);
    EXPECT_EQ(MenuFile::MakeColorRef(1, 2, 3, 7), 0x030201u);
    EXPECT_EQ(MenuFile::MakeColorRef(255, 511, 256, 7), 0x00FFFFu);
    EXPECT_EQ(MenuFile::MakeColorRef(1, -1, 3, 7), 7u);
}

TEST(MenuFileValues, StringNumberFollowsTheLastUnderscore)
{
    EXPECT_EQ(MenuFile::StringNumber("Print_3"), 3);
    EXPECT_EQ(MenuFile::StringNumber("A_B_7"), 7);
    EXPECT_EQ(MenuFile::StringNumber("Name_"), 0);
    EXPECT_EQ(MenuFile::StringNumber("X_12abc"), 12);
    EXPECT_EQ(MenuFile::StringNumber("X_-4"), 0);
    EXPECT_FALSE(MenuFile::StringNumber("Setup"));
    EXPECT_EQ(MenuFile::StringNumber("Big_99999999999999"), INT_MAX);
}

TEST_F(MenuFileTest, EntriesComeInSectionOrderAndOnlyFromCaseExactItemSections)
{
    const auto entries = Read("[SETTINGS]\nLEVEL1_INDENT=3\n"
                              "[MENUITEM_10]\nITEMID=10\nSTRING=Ten\n"
                              "[OTHER]\nITEMID=99\nSTRING=Other\n"
                              "[menuitem_1]\nITEMID=1\nSTRING=Lower\n"
                              "[MENUITEM_2]\nITEMID=2\nSTRING=Two\n"
                              "[MENUITEM_]\nITEMID=3\nSTRING=Bare\n"
                              "[MENUITEMX]\nITEMID=4\nSTRING=NoUnderscore\n");
    EXPECT_EQ(Texts(entries), QStringList({"Ten", "Two", "Bare"}));
}

TEST_F(MenuFileTest, ManySectionNamesAreAllRead)
{
    // 60 names of 26 characters: far more than a 520-character name buffer holds.
    QByteArray menu;
    for (int i = 0; i < 60; ++i)
        menu += QStringLiteral("[MENUITEM_ENTRY_NUMBER_%1]\nITEMID=%2\nSTRING=Entry %2\n")
                    .arg(i, 4, 10, QChar('0'))
                    .arg(i + 1)
                    .toUtf8();
    const auto entries = Read(menu);
    ASSERT_EQ(entries.size(), 60u);
    EXPECT_EQ(entries.front()->text, "Entry 1");
    EXPECT_EQ(entries.back()->text, "Entry 60");
}

TEST_F(MenuFileTest, MissingFileGivesAnEmptyMenu)
{
    EXPECT_TRUE(
        MenuFile::ReadEntries(m_bench.ProgramFolder() + "NONE.DAT", m_texts, m_bind, 0).empty());
}

TEST_F(MenuFileTest, ValuesAndValidityOfPageLessEntries)
{
    const auto entries = Read("[SETTINGS]\nDEFALT_FONT_COLOR_R=1\nDEFALT_FONT_COLOR_G=2\n"
                              "DEFALT_FONT_COLOR_B=3\n"
                              "[MENUITEM_A]\nSTRING=Dropped\n"
                              "[MENUITEM_B]\nITEMID=5\nSTRING=Caption\nFONT_BOLD=1\nFONT_SIZE=12\n"
                              "FONT_COLOR_R=300\nFONT_COLOR_G=0\nFONT_COLOR_B=0\n"
                              "[MENUITEM_C]\nPARENTITEMID=5\nSELECTING=2\nSTRING=Child\n"
                              "FONT_COLOR_R=10\nFONT_COLOR_B=10\n");
    ASSERT_EQ(Texts(entries), QStringList({"Caption", "Child"}));
    const MenuItem& caption = *entries[0];
    EXPECT_EQ(caption.itemId, 5);
    EXPECT_EQ(caption.selecting, 0);
    EXPECT_FALSE(caption.IsSelectable());
    EXPECT_TRUE(caption.IsBold());
    EXPECT_EQ(caption.fontSizePoints, 12);
    EXPECT_EQ(caption.textColor, 44u);
    EXPECT_TRUE(caption.libraryName.isEmpty());
    EXPECT_FALSE(caption.plugin.IsLoaded());
    const MenuItem& child = *entries[1];
    EXPECT_EQ(child.parentId, 5);
    EXPECT_EQ(child.selecting, 2);
    EXPECT_TRUE(child.IsSelectable());
    EXPECT_FALSE(child.IsBold());
    // Green is absent: the default colour of "SETTINGS".
    EXPECT_EQ(child.textColor, 0x030201u);
}

TEST_F(MenuFileTest, StringValuesLookUpTheNumberAfterTheLastUnderscore)
{
    const auto entries = Read("[MENUITEM_1]\nITEMID=1\nSTRING=Print_3\n"
                              "[MENUITEM_2]\nITEMID=2\nSTRING=Print_4\n"
                              "[MENUITEM_3]\nITEMID=3\nSTRING=Setup\n"
                              "[MENUITEM_4]\nITEMID=4\nSTRING=A_B_7\n"
                              "[MENUITEM_5]\nITEMID=5\nSTRING=Name_\n"
                              "[MENUITEM_6]\nITEMID=6\nSTRING=Huge_99999999999\n");
    EXPECT_EQ(Texts(entries),
              QStringList({"Printing", "Print_4", "Setup", "Seven", "Zero", "Huge_99999999999"}));
}

TEST_F(MenuFileTest, PluginEntriesAreDroppedWhenLoadingOrInitialisationFails)
{
    const QString a = m_bench.AddPlugin("menu_plugin_a");
    const QString b = m_bench.AddPlugin("menu_plugin_b");
    const QString incomplete = m_bench.AddPlugin("menu_plugin_incomplete");
    m_bench.Control("menu_plugin_b").initializeResult = -3;
    int frame = 0;
    int pane = 0;
    m_bind.mainFrame = &frame;
    m_bind.pagePane = &pane;

    {
        const auto entries =
            Read(("[MENUITEM_1]\nITEMID=1\nSTRING=Missing\n"
                  "USE_DLL_NAME=libmenu_plugin_none.so\n"
                  "[MENUITEM_2]\nSTRING=Alpha\nUSE_DLL_NAME=" +
                  a + "\n[MENUITEM_3]\nITEMID=3\nSTRING=Beta\nUSE_DLL_NAME=" + b +
                  "\n[MENUITEM_4]\nITEMID=4\nSTRING=Partial\nUSE_DLL_NAME=" + incomplete + "\n")
                     .toUtf8());
        // An entry with a loaded plug-in is valid without ITEMID and PARENTITEMID.
        ASSERT_EQ(Texts(entries), QStringList({"Alpha"}));
        EXPECT_TRUE(entries[0]->plugin.IsLoaded());
        const TestPluginControl& alpha = m_bench.Control("menu_plugin_a");
        EXPECT_EQ(alpha.initFrame, &frame);
        EXPECT_EQ(alpha.initPane, &pane);
        EXPECT_EQ(alpha.initState, &m_bench.State());
        EXPECT_EQ(m_bench.Calls("menu_plugin_b", kCallInitialize).size(), 1u);
        EXPECT_TRUE(m_bench.Calls("menu_plugin_incomplete", kCallInitialize).empty());
    }
    // Releasing the menu finalises only the plug-in that was initialised.
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallFinalize).size(), 1u);
    EXPECT_TRUE(m_bench.Calls("menu_plugin_b", kCallFinalize).empty());
    EXPECT_TRUE(m_bench.Calls("menu_plugin_b", kCallGetMenuName).empty());
}

TEST_F(MenuFileTest, PluginsAreInitialisedInFileOrder)
{
    const QString a = m_bench.AddPlugin("menu_plugin_a");
    const QString b = m_bench.AddPlugin("menu_plugin_b");
    const auto entries = Read(("[MENUITEM_Z]\nSTRING=B\nUSE_DLL_NAME=" + b +
                               "\n[MENUITEM_A]\nSTRING=A\nUSE_DLL_NAME=" + a + "\n")
                                  .toUtf8());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_LT(m_bench.Sequences("menu_plugin_b", kCallInitialize).at(0),
              m_bench.Sequences("menu_plugin_a", kCallInitialize).at(0));
}

TEST_F(MenuFileTest, MenuNameFromThePluginWithTheLengthRetry)
{
    const QString a = m_bench.AddPlugin("menu_plugin_a");
    const QString b = m_bench.AddPlugin("menu_plugin_b");
    const QString c = m_bench.AddPlugin("menu_plugin_c");
    const QString noName = m_bench.AddPlugin("menu_plugin_no_name");
    SetPluginMenuName(m_bench.Control("menu_plugin_a"), "Paper");
    SetPluginMenuName(m_bench.Control("menu_plugin_b"), "Broken");
    m_bench.Control("menu_plugin_b").menuNameMode = kMenuNameFails;
    SetPluginMenuName(m_bench.Control("menu_plugin_c"), "Greedy");
    m_bench.Control("menu_plugin_c").menuNameMode = kMenuNameShortOnce;

    const auto entries =
        Read(("[MENUITEM_1]\nMENU_NAME_KEY=Cutter\nUSE_DLL_NAME=" + a +
              "\n[MENUITEM_2]\nMENU_NAME_KEY=Key\nUSE_DLL_NAME=" + b +
              "\n[MENUITEM_3]\nMENU_NAME_KEY=Key\nUSE_DLL_NAME=" + c +
              "\n[MENUITEM_4]\nMENU_NAME_KEY=Key\nUSE_DLL_NAME=" + noName +
              // "STRING" wins over the plug-in, which is then not asked.
              "\n[MENUITEM_5]\nSTRING=Own\nMENU_NAME_KEY=Key\nUSE_DLL_NAME=" + a + "\n")
                 .toUtf8());
    // Entries whose plug-in gives no text stay in the menu with an empty text.
    EXPECT_EQ(Texts(entries), QStringList({"Paper:Cutter", "", "", "", "Own"}));
    // First a call without a buffer, then one with a buffer of the announced length.
    EXPECT_EQ(m_bench.Calls("menu_plugin_a", kCallGetMenuName),
              (std::vector<int32_t>{-1, int32_t(QString("Paper:Cutter").size() + 1)}));
    EXPECT_EQ(m_bench.Calls("menu_plugin_b", kCallGetMenuName).size(), 1u);
    EXPECT_EQ(m_bench.Calls("menu_plugin_c", kCallGetMenuName).size(), 2u);
    EXPECT_EQ(QString::fromUtf16(m_bench.Control("menu_plugin_a").lastMenuKey), "Cutter");
    EXPECT_FALSE(m_bench.Control("menu_plugin_a").lastMenuKeyNull);
}

TEST_F(MenuFileTest, EmptyMenuNameKeyIsPassedAsNull)
{
    const QString a = m_bench.AddPlugin("menu_plugin_a");
    SetPluginMenuName(m_bench.Control("menu_plugin_a"), "Page");
    const auto entries = Read(("[MENUITEM_1]\nUSE_DLL_NAME=" + a + "\n").toUtf8());
    EXPECT_EQ(Texts(entries), QStringList({"Page:"}));
    EXPECT_TRUE(m_bench.Control("menu_plugin_a").lastMenuKeyNull);
}

TEST(MenuLevels, ParentsEarlierLaterAndMissing)
{
    MenuItemList entries;
    const auto add = [&](int32_t id, int32_t parent) {
        auto entry = std::make_unique<MenuItem>();
        entry->itemId = id;
        entry->parentId = parent;
        entries.push_back(std::move(entry));
    };
    add(1, 0);
    add(2, 1);
    add(3, 2);
    add(4, 3);
    add(5, 4);
    add(6, 5);
    add(7, 6);
    add(8, 7);   // level 7: drawn with the fifth indent
    add(9, 12);  // parent 12 stands later and is itself deep
    add(10, 77); // no such parent
    add(11, 0);
    add(12, 8);
    MenuFile::ComputeLevels(entries);
    EXPECT_EQ(Levels(entries), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 1, 0, 0, 8}));
}

TEST(MenuLevels, FirstEntryWithTheParentIdentifierWins)
{
    MenuItemList entries;
    for (const auto& [id, parent] :
         std::vector<std::pair<int, int>>{{1, 0}, {2, 1}, {2, 0}, {3, 2}}) {
        auto entry = std::make_unique<MenuItem>();
        entry->itemId = id;
        entry->parentId = parent;
        entries.push_back(std::move(entry));
    }
    MenuFile::ComputeLevels(entries);
    EXPECT_EQ(Levels(entries), (std::vector<int32_t>{0, 1, 0, 2}));
}
