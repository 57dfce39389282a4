#pragma once

#include "print_settings_logic.h"

#include <qpu/plugin_sdk/page_base.h>

class QComboBox;

// The page of print density and print speed. Online, Apply writes both to the printer;
// in start mode 4 every change goes straight into block 0x10005.
class PrintSettingsPage final : public qpu::sdk::PageBase
{
    Q_OBJECT
public:
    explicit PrintSettingsPage(const qpu::sdk::PluginContext& context);

    bool HasUnsavedChanges() const override;
    int32_t SaveChanges() override;
    void Reload() override;

    // The values the page shows.
    print_settings::Values Shown() const;
    void Show(const print_settings::Values& values);

private:
    // firstFormat and lastFormat, when given, name the first and the last choice.
    void FillChoices(QComboBox* combo, const std::vector<int32_t>& choices, const QString& format,
                     int32_t current, const QString& firstFormat = {},
                     const QString& lastFormat = {});
    void OnEdited();
    void OnDefault();

    QComboBox* m_density = nullptr;
    QComboBox* m_speed = nullptr;
    QPushButton* m_apply = nullptr;
    print_settings::Values m_loaded;
    bool m_filling = false;
};
