#include "mainwnd/menu_row_state.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kLeft = MenuRowState::kLeftButton;

// Rows with selecting values; rows with a loaded plug-in answer ChangeMenuState.
class FakeRows : public MenuRowState::Client
{
public:
    struct Row
    {
        int32_t selecting = 2;
        bool loaded = true;
        int32_t leaveAnswer = 0;
    };

    explicit FakeRows(std::vector<Row> rows) : m_rows(std::move(rows)) {}

    int RowCount() const override { return static_cast<int>(m_rows.size()); }
    bool IsSelectable(int row) const override { return m_rows.at(row).selecting != 0; }
    int32_t SelectingValue(int row) const override { return m_rows.at(row).selecting; }
    int32_t ChangeMenuState(int row, int32_t state) override
    {
        const Row& r = m_rows.at(row);
        if (!r.loaded)
            return 0;
        calls.emplace_back(row, state);
        return state == MenuRowState::kLeave ? r.leaveAnswer : 0;
    }
    void RedrawRow(int row) override { redrawn.insert(row); }
    void SelectedRowChanged(int row) override { selectionEvents.push_back(row); }

    void Forget()
    {
        calls.clear();
        redrawn.clear();
        selectionEvents.clear();
    }

    std::vector<Row> m_rows;
    std::vector<std::pair<int, int32_t>> calls;
    std::set<int> redrawn;
    std::vector<int> selectionEvents;
};

using Calls = std::vector<std::pair<int, int32_t>>;

struct Marks
{
    int onMouse;
    int selecting;
    int selected;
    bool operator==(const Marks&) const = default;
};

Marks MarksOf(const MenuRowState& state)
{
    return {state.OnMouseRow(), state.SelectingRow(), state.SelectedRow()};
}

void PrintTo(const Marks& m, std::ostream* os)
{
    *os << "{onMouse " << m.onMouse << ", selecting " << m.selecting << ", selected " << m.selected
        << "}";
}

} // namespace

TEST(MenuRowState, InitialSelectionIsTheFirstRowWhoseSelectingValueIsExactlyOne)
{
    FakeRows rows({{0}, {2}, {1}, {1}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    EXPECT_EQ(MarksOf(state), (Marks{-1, -1, 2}));
    EXPECT_EQ(rows.calls, (Calls{{2, 2}}));
    EXPECT_EQ(rows.redrawn, std::set<int>{2});
    EXPECT_EQ(rows.selectionEvents, std::vector<int>{2});
}

TEST(MenuRowState, NoInitialSelectionWhenNoRowHasSelectingOne)
{
    FakeRows rows({{2}, {2}, {3}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    EXPECT_EQ(state.SelectedRow(), -1);
    EXPECT_TRUE(rows.calls.empty());
    // Every row can still be clicked.
    state.MouseMove(1, 0, true);
    state.LeftButtonDown(1);
    state.LeftButtonUp();
    EXPECT_EQ(state.SelectedRow(), 1);
    EXPECT_EQ(rows.calls, (Calls{{1, 2}}));
}

TEST(MenuRowState, InitialSelectionOfAPageLessRowCallsNoPlugin)
{
    FakeRows rows(std::vector<FakeRows::Row>{{1, false}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    EXPECT_EQ(state.SelectedRow(), 0);
    EXPECT_TRUE(rows.calls.empty());
}

TEST(MenuRowState, ClickSelectsLeavingTheFormerPageFirst)
{
    FakeRows rows({{1}, {2}, {2}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    rows.Forget();

    state.MouseMove(2, 0, true);
    EXPECT_EQ(MarksOf(state), (Marks{2, -1, 0}));
    EXPECT_EQ(rows.redrawn, std::set<int>{2});
    EXPECT_TRUE(state.HoldsCapture());

    rows.Forget();
    EXPECT_FALSE(state.LeftButtonDown(2));
    EXPECT_EQ(MarksOf(state), (Marks{2, 2, 0}));
    EXPECT_EQ(rows.redrawn, std::set<int>{2});

    rows.Forget();
    EXPECT_FALSE(state.LeftButtonUp());
    EXPECT_EQ(MarksOf(state), (Marks{2, -1, 2}));
    EXPECT_EQ(rows.calls, (Calls{{0, 1}, {2, 2}}));
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 2}));
    EXPECT_EQ(rows.selectionEvents, std::vector<int>{2});
}

TEST(MenuRowState, PressThenDragWithTheLeftButtonSelectsTheSecondRow)
{
    FakeRows rows({{2}, {2}, {2}});
    MenuRowState state(rows);
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(0);
    rows.Forget();
    state.MouseMove(1, kLeft, true);
    EXPECT_EQ(MarksOf(state), (Marks{1, 1, -1}));
    // The former selecting row was also the former on-mouse row.
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 1}));
    state.LeftButtonUp();
    EXPECT_EQ(MarksOf(state), (Marks{1, -1, 1}));
    EXPECT_EQ(rows.calls, (Calls{{1, 2}}));
}

TEST(MenuRowState, DragWithAnotherButtonOrShiftHeldGivesUpThePress)
{
    for (const uint32_t extra : {MenuRowState::kRightButton, MenuRowState::kShift,
                                 MenuRowState::kControl, MenuRowState::kMiddleButton}) {
        FakeRows rows({{2}, {2}, {2}});
        MenuRowState state(rows);
        state.MouseMove(0, 0, true);
        state.LeftButtonDown(0);
        state.MouseMove(2, kLeft | extra, true);
        EXPECT_EQ(MarksOf(state), (Marks{2, -1, -1})) << extra;
        // The release selects the on-mouse row.
        state.LeftButtonUp();
        EXPECT_EQ(state.SelectedRow(), 2) << extra;
    }
}

TEST(MenuRowState, MovingWithoutButtonsOverTheSelectingRowKeepsIt)
{
    FakeRows rows({{2}, {2}});
    MenuRowState state(rows);
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(0);
    rows.Forget();
    state.MouseMove(0, 0, true);
    EXPECT_EQ(MarksOf(state), (Marks{0, 0, -1}));
    EXPECT_TRUE(rows.redrawn.empty());
}

TEST(MenuRowState, CaptionRowsKeepTheOnMouseMarkAndIgnoreTheButton)
{
    FakeRows rows({{0}, {2}, {0}});
    MenuRowState state(rows);
    state.MouseMove(1, 0, true);
    rows.Forget();
    state.MouseMove(2, 0, true);
    EXPECT_EQ(MarksOf(state), (Marks{1, -1, -1}));
    EXPECT_TRUE(rows.redrawn.empty());

    // A press on a caption is ignored and the control's own handling is skipped.
    EXPECT_FALSE(state.LeftButtonDown(2));
    EXPECT_EQ(state.SelectingRow(), -1);
    // The release then goes to the on-mouse row, which is still row 1.
    state.LeftButtonUp();
    EXPECT_EQ(state.SelectedRow(), 1);
}

TEST(MenuRowState, LeavingTheRowsClearsOnMouseAndSelecting)
{
    FakeRows rows({{2}, {2}});
    MenuRowState state(rows);
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(1);
    rows.Forget();
    // Below the last row, still inside the view.
    state.MouseMove(-1, kLeft, true);
    EXPECT_EQ(MarksOf(state), (Marks{-1, -1, -1}));
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 1}));
    EXPECT_TRUE(state.HoldsCapture());
    // A release now has no target and lets the control handle it.
    EXPECT_TRUE(state.LeftButtonUp());
    EXPECT_EQ(state.SelectedRow(), -1);
    EXPECT_TRUE(rows.calls.empty());
}

TEST(MenuRowState, PointerOutsideTheViewReleasesTheMouse)
{
    FakeRows rows({{2}, {2}});
    MenuRowState state(rows);
    state.MouseMove(1, 0, true);
    ASSERT_TRUE(state.HoldsCapture());
    state.MouseMove(-1, 0, false);
    EXPECT_FALSE(state.HoldsCapture());
    EXPECT_EQ(MarksOf(state), (Marks{-1, -1, -1}));
    // Coming back takes the mouse again.
    state.MouseMove(0, 0, true);
    EXPECT_TRUE(state.HoldsCapture());
    EXPECT_EQ(state.OnMouseRow(), 0);
}

TEST(MenuRowState, LosingTheMouseClearsOnMouseAndSelecting)
{
    FakeRows rows({{2}, {2}, {1}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(1);
    rows.Forget();
    state.CaptureLost();
    EXPECT_EQ(MarksOf(state), (Marks{-1, -1, 2}));
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 1}));
    EXPECT_FALSE(state.HoldsCapture());
}

TEST(MenuRowState, ClickingTheSelectedRowAgainSendsThreeAndChangesNothing)
{
    FakeRows rows({{1}, {2}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(0);
    rows.Forget();
    state.LeftButtonUp();
    EXPECT_EQ(rows.calls, (Calls{{0, 3}}));
    EXPECT_TRUE(rows.redrawn.empty());
    EXPECT_TRUE(rows.selectionEvents.empty());
    // The press mark stays until the pointer moves or the mouse is lost.
    EXPECT_EQ(MarksOf(state), (Marks{0, 0, 0}));
}

TEST(MenuRowState, ARefusingPageKeepsTheSelection)
{
    FakeRows rows({{1, true, -5}, {2}, {2}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    state.MouseMove(1, 0, true);
    state.LeftButtonDown(1);
    rows.Forget();
    EXPECT_FALSE(state.LeftButtonUp());
    EXPECT_EQ(rows.calls, (Calls{{0, 1}}));
    EXPECT_EQ(MarksOf(state), (Marks{1, 1, 0}));
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 1}));
    EXPECT_TRUE(rows.selectionEvents.empty());

    // Only -5 refuses: another answer lets the page go.
    rows.m_rows[0].leaveAnswer = -1;
    rows.Forget();
    state.LeftButtonUp();
    EXPECT_EQ(rows.calls, (Calls{{0, 1}, {1, 2}}));
    EXPECT_EQ(MarksOf(state), (Marks{1, -1, 1}));
}

TEST(MenuRowState, APageLessRowCanBeSelectedAndLeftWithoutPluginCalls)
{
    FakeRows rows({{1}, {2, false}});
    MenuRowState state(rows);
    state.SelectInitialRow();
    state.MouseMove(1, 0, true);
    state.LeftButtonDown(1);
    state.LeftButtonUp();
    EXPECT_EQ(state.SelectedRow(), 1);
    state.MouseMove(0, 0, true);
    state.LeftButtonDown(0);
    state.LeftButtonUp();
    EXPECT_EQ(state.SelectedRow(), 0);
    EXPECT_EQ(rows.calls, (Calls{{0, 2}, {0, 1}, {0, 2}}));
}

TEST(MenuRowState, PressOutsideTheRowsAndOnThePressedRow)
{
    FakeRows rows({{2}, {2}});
    MenuRowState state(rows);
    EXPECT_TRUE(state.LeftButtonDown(-1));
    EXPECT_TRUE(state.LeftButtonUp());
    state.LeftButtonDown(0);
    rows.Forget();
    EXPECT_FALSE(state.LeftButtonDown(0));
    EXPECT_TRUE(rows.redrawn.empty());
    state.LeftButtonDown(1);
    EXPECT_EQ(rows.redrawn, (std::set<int>{0, 1}));
    EXPECT_EQ(state.SelectingRow(), 1);
}

TEST(MenuRowState, CloseAsksTheSelectedPlugin)
{
    FakeRows none(std::vector<FakeRows::Row>{{2}});
    MenuRowState noSelection(none);
    EXPECT_TRUE(noSelection.CanClose());
    EXPECT_TRUE(none.calls.empty());

    FakeRows agreeing(std::vector<FakeRows::Row>{{1}});
    MenuRowState agree(agreeing);
    agree.SelectInitialRow();
    agreeing.Forget();
    EXPECT_TRUE(agree.CanClose());
    EXPECT_EQ(agreeing.calls, (Calls{{0, 1}}));

    // At closing any non-zero answer keeps the program open, not only -5.
    FakeRows refusing(std::vector<FakeRows::Row>{{1, true, -1}});
    MenuRowState refuse(refusing);
    refuse.SelectInitialRow();
    EXPECT_FALSE(refuse.CanClose());

    FakeRows pageLess(std::vector<FakeRows::Row>{{1, false}});
    MenuRowState caption(pageLess);
    caption.SelectInitialRow();
    EXPECT_TRUE(caption.CanClose());
}
