#pragma once

#include <cstdint>

// The mouse rules of the menu: which row is under the pointer (on-mouse), which is being
// pressed (selecting) and which is selected (its page is shown). Each index is -1 when no
// row has that state. The view feeds it hit-tested mouse messages; the rules call back to
// redraw single rows and to tell the plug-ins concerned with FORMVIEWDLL_ChangeMenuState.
class MenuRowState
{
public:
    static constexpr int kNoRow = -1;

    // Key-state flags of a mouse message (which buttons and modifier keys are down).
    static constexpr uint32_t kLeftButton = 0x0001;
    static constexpr uint32_t kRightButton = 0x0002;
    static constexpr uint32_t kShift = 0x0004;
    static constexpr uint32_t kControl = 0x0008;
    static constexpr uint32_t kMiddleButton = 0x0010;

    // FORMVIEWDLL_ChangeMenuState arguments and the refusal to be left.
    static constexpr int32_t kLeave = 1;
    static constexpr int32_t kEnter = 2;
    static constexpr int32_t kReselect = 3;
    static constexpr int32_t kRefuse = -5;

    class Client
    {
    public:
        virtual ~Client() = default;
        virtual int RowCount() const = 0;
        // A row whose entry has a selecting value other than 0.
        virtual bool IsSelectable(int row) const = 0;
        // The entry's selecting value.
        virtual int32_t SelectingValue(int row) const = 0;
        // Calls FORMVIEWDLL_ChangeMenuState of the row's plug-in when it is loaded and
        // returns its answer; returns 0 without a call when it is not.
        virtual int32_t ChangeMenuState(int row, int32_t state) = 0;
        // Repaints one row (ignored for kNoRow).
        virtual void RedrawRow(int row) = 0;
        // The selected row changed (after the plug-ins were told).
        virtual void SelectedRowChanged(int /*row*/) {}
    };

    explicit MenuRowState(Client& client) : m_client(client) {}

    // The first row whose selecting value is exactly 1 becomes the selected row and its
    // plug-in is told to enter; without one no row is selected.
    void SelectInitialRow();

    // The pointer moved to hitRow (kNoRow when it is over no row) with the given key-state
    // flags; insideView is false when the pointer has left the view.
    void MouseMove(int hitRow, uint32_t keyFlags, bool insideView);
    // The left button went down over hitRow. Returns whether the list control's own
    // handling should follow.
    bool LeftButtonDown(int hitRow);
    // The left button went up. Returns whether the list control's own handling should
    // follow.
    bool LeftButtonUp();
    // The view lost the mouse (the pointer left it, or another window took the mouse).
    void CaptureLost();

    // Whether the main window may close: true when no row is selected or the selected
    // row's plug-in agrees to be left (answers 0). An entry without a loaded plug-in has no
    // page to keep and never holds the program open.
    bool CanClose();

    int OnMouseRow() const { return m_onMouse; }
    int SelectingRow() const { return m_selecting; }
    int SelectedRow() const { return m_selected; }
    bool HoldsCapture() const { return m_captured; }

private:
    bool IsSelectableRow(int row) const;
    void Redraw(int row);

    Client& m_client;
    int m_onMouse = kNoRow;
    int m_selecting = kNoRow;
    int m_selected = kNoRow;
    bool m_captured = false;
};
