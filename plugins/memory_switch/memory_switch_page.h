#pragma once

#include "memory_switch_logic.h"

#include <qpu/plugin_sdk/page_base.h>

#include <array>

class QCheckBox;
class QLabel;

// The page of memory switches 1 to 8: one row of eight bit boxes per switch, and its value
// as the printer writes it, bit 1 first. Online,
// Apply writes the changed switches to the printer; in start mode 4 every change goes
// straight into block 0x10007.
class MemorySwitchPage final : public qpu::sdk::PageBase
{
    Q_OBJECT
public:
    explicit MemorySwitchPage(const qpu::sdk::PluginContext& context);

    // The language window with the model's bit descriptions: MEMORY_SWITCH_PAGE_<model>,
    // string 10 * switch + bit (11 for bit 1 of switch 1 .. 88).
    static QString BitWindow(const qpu::sdk::PluginContext& context);

    bool HasUnsavedChanges() const override;
    int32_t SaveChanges() override;
    void Reload() override;

    memory_switch::Switches Shown() const;
    void Show(const memory_switch::Switches& switches);
    // The box of bit (0..7) of switch (0..7).
    QCheckBox* Box(int switchIndex, int bit) const
    {
        return m_boxes[size_t(switchIndex)][size_t(bit)];
    }

private:
    void OnEdited();

    std::array<std::array<QCheckBox*, 8>, QPU_MEMORY_SWITCH_COUNT> m_boxes{};
    std::array<QLabel*, QPU_MEMORY_SWITCH_COUNT> m_texts{};
    QPushButton* m_apply = nullptr;
    memory_switch::Switches m_loaded{};
    bool m_filling = false;
};
