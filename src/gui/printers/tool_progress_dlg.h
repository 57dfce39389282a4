#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The small modal window shown while a companion tool runs: a caption, one line of text and
// a busy bar, no buttons. The user cannot close it; it ends only when the worker reports the
// end of the tool (Finish).
//   template 7008: the Bluetooth connector ("Paring" / "Now Paring...", label 5018)
//   template 7009: the network tool ("Run VorkaNet Config" /
//                  "VorkaNet Config Running...", label 5020)
class CToolProgressDlg : public QDialog
{
    Q_OBJECT

public:
    enum Kind
    {
        kPairing = 7008,
        kNetworkTool = 7009,
    };
    static constexpr int kPairingLabelId = 5018;
    static constexpr int kNetworkToolLabelId = 5020;

    CToolProgressDlg(Kind kind, QWidget* parent);

    Kind WindowKind() const { return m_kind; }
    void SetTexts(const QString& caption, const QString& label);
    QString LabelText() const;
    // Closes the window (ends its modal loop).
    void Finish();
    bool IsFinished() const { return m_finished; }

    // Escape and the window's close button do nothing: the tool decides when it ends.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Kind m_kind;
    QLabel* m_label = nullptr;
    QProgressBar* m_busy = nullptr;
    bool m_finished = false;
};
