#pragma once

#include "printer_info_logic.h"

#include <qpu/plugin_sdk/page_base.h>

class QCheckBox;
class QLabel;
class QTimer;

// The printer information page: the identity read from the printer (block 0x10001), the
// port, the live status, and a test print.
class PrinterInfoPage final : public qpu::sdk::PageBase
{
    Q_OBJECT
public:
    explicit PrinterInfoPage(const qpu::sdk::PluginContext& context);

    void Reload() override;
    // Prints the test page; 1 on success. A printer whose status stops printing is told
    // why, and nothing is sent.
    int32_t TestPrint();
    // Shows the status code the communication library reports now.
    void RefreshStatus();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* AddField(class QFormLayout* form, int labelNumber, const QString& english,
                     const QString& name);
    // The status code the communication library reports when it stops printing; none when
    // the printer can print or no library is bound.
    std::optional<int32_t> StatusStoppingPrint() const;

    QLabel* m_model = nullptr;
    QLabel* m_serial = nullptr;
    QLabel* m_firmware = nullptr;
    QLabel* m_charset = nullptr;
    QLabel* m_port = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_notRead = nullptr;
    QCheckBox* m_withSettings = nullptr;
    QPushButton* m_testPrint = nullptr;
    QTimer* m_statusTimer = nullptr;
};
