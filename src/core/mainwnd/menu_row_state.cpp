#include "mainwnd/menu_row_state.h"

bool MenuRowState::IsSelectableRow(int row) const
{
    return row >= 0 && row < m_client.RowCount() && m_client.IsSelectable(row);
}

void MenuRowState::Redraw(int row)
{
    if (row != kNoRow)
        m_client.RedrawRow(row);
}

void MenuRowState::SelectInitialRow()
{
    const int count = m_client.RowCount();
    for (int row = 0; row < count; ++row) {
        if (m_client.SelectingValue(row) != 1)
            continue;
        m_selected = row;
        m_client.ChangeMenuState(row, kEnter);
        Redraw(row);
        m_client.SelectedRowChanged(row);
        return;
    }
}

void MenuRowState::MouseMove(int hitRow, uint32_t keyFlags, bool insideView)
{
    // The view keeps the mouse while the pointer is over it, so that it sees the pointer
    // leave; losing it clears the on-mouse and selecting marks.
    if (m_captured && !insideView)
        CaptureLost();
    else if (!m_captured)
        m_captured = true;

    if (hitRow < 0 || hitRow >= m_client.RowCount()) {
        const int formerOnMouse = m_onMouse;
        const int formerSelecting = m_selecting;
        m_onMouse = kNoRow;
        m_selecting = kNoRow;
        Redraw(formerOnMouse);
        if (formerSelecting != formerOnMouse)
            Redraw(formerSelecting);
        return;
    }
    // Over a caption the previous on-mouse row keeps its mark.
    if (!m_client.IsSelectable(hitRow))
        return;

    const int formerOnMouse = m_onMouse;
    bool becameOnMouse = false;
    if (hitRow != m_onMouse) {
        m_onMouse = hitRow;
        Redraw(formerOnMouse);
        becameOnMouse = true;
    }
    if (hitRow == m_selecting)
        return;
    if (m_selecting != kNoRow && m_selecting != formerOnMouse)
        Redraw(m_selecting);
    // Dragging with the left button alone carries the press to the row under the pointer;
    // any other button or a shift key held as well gives up the press.
    if (keyFlags == kLeftButton) {
        m_selecting = hitRow;
        Redraw(hitRow);
    } else {
        m_selecting = kNoRow;
        if (becameOnMouse)
            Redraw(hitRow);
    }
}

bool MenuRowState::LeftButtonDown(int hitRow)
{
    if (hitRow < 0 || hitRow >= m_client.RowCount())
        return true;
    if (!m_client.IsSelectable(hitRow) || hitRow == m_selecting)
        return false;
    const int formerSelecting = m_selecting;
    m_selecting = hitRow;
    Redraw(formerSelecting);
    Redraw(hitRow);
    return false;
}

bool MenuRowState::LeftButtonUp()
{
    const int target = m_selecting != kNoRow ? m_selecting : m_onMouse;
    if (target == kNoRow)
        return true;
    if (!IsSelectableRow(target))
        return false;
    if (target == m_selected) {
        m_client.ChangeMenuState(target, kReselect);
        return false;
    }

    const int former = m_selected;
    m_selected = target;
    if (former != kNoRow && m_client.ChangeMenuState(former, kLeave) == kRefuse) {
        // The page refuses to be left: the former row stays selected. The selecting row
        // keeps its value until the next mouse move or loss of the mouse.
        m_selected = former;
        Redraw(target);
        Redraw(former);
        return false;
    }
    Redraw(former);
    Redraw(target);
    if (m_selecting != kNoRow) {
        if (m_selecting != target)
            Redraw(m_selecting);
        m_selecting = kNoRow;
    }
    m_onMouse = target;
    m_client.ChangeMenuState(target, kEnter);
    m_client.SelectedRowChanged(target);
    return false;
}

void MenuRowState::CaptureLost()
{
    m_captured = false;
    const int formerSelecting = m_selecting;
    const int formerOnMouse = m_onMouse;
    m_selecting = kNoRow;
    m_onMouse = kNoRow;
    Redraw(formerSelecting);
    if (formerOnMouse != formerSelecting)
        Redraw(formerOnMouse);
}

bool MenuRowState::CanClose()
{
    if (m_selected == kNoRow)
        return true;
    return m_client.ChangeMenuState(m_selected, kLeave) == 0;
}
