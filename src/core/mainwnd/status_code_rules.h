#pragma once

#include <qpu/status_texts.h>

#include <QString>

// The decisions of the status strip, without a window: which status code is on screen,
// which lasting condition (ink, cleaning) outranks ordinary codes, and when a fresh read of
// every setting must start because the printer became usable after being offline. The
// status view owns one instance, feeds it what it receives and carries out the answers.
//
// How the status view's messages map onto it:
//   WM_USER+200 refresh       fields only, no state here (mainwnd/status_fields.h)
//   WM_USER+201 state query   *wParam = ShownCode()
//   WM_USER+202 fresh read    run the printer read
//   WM_USER+203 end           StopMonitoring()
//   WM_USER+204 status code   OnStatusCode(); when the answer says so, run the read and
//                             then StatusReadFinished(update, result)
//
// The view's printer read (at start, on WM_USER+202 and from WM_USER+204) calls
// ReadFinished(result) once the read has run; when it does not run because the menu
// entries are not known yet, it answers 1 without reporting anything.
//
// The WM_USER+204 handler of the view, in short:
//   const auto update = m_rules.OnStatusCode(code, frame->IsProgressDialogOpen());
//   if (!update.handled) return 1;
//   const QString text = LangText(TextNumberOf(update.shownCode), EnglishTextOf(...));
//   if (update.startRead && !m_rules.StatusReadFinished(update, ReadPrinter())) {
//       ShowStatusLine(m_lastStatusText);   // printer not readable: keep the former state
//       return 0;
//   }
//   ShowStatusLine(text);                   // text becomes m_lastStatusText
//   return 1;
class StatusCodeRules
{
public:
    static constexpr int kOnline = 0;
    static constexpr int kOffline = 1;
    static constexpr int kOfflineOther = 16;
    static constexpr int kHighestKnownCode = QPU_STATUS_CODE_COUNT - 1;
    // Shown for every code outside 0..22.
    static constexpr int kUnknownCode = -1;
    // Ends a lasting condition; as the lasting code it means "none".
    static constexpr int kNoLastingCode = 100;
    // Answer of a printer read that found no printer or another model.
    static constexpr int kReadWrongPrinter = -67;

    // What a received status code leads to.
    struct Update
    {
        // False when the code was ignored (monitoring ended, or the same ordinary code as
        // last time): nothing changes on screen and the message answers 1.
        bool handled = false;
        // The code whose text is to be shown (-1..22), and the shown code before it.
        int shownCode = kUnknownCode;
        int formerShownCode = kUnknownCode;
        // Number of the status text in the PRT_STATUS texts.
        int textNumber = 0;
        // Start the printer read now; show the new text only after StatusReadFinished.
        bool startRead = false;
    };

    // A status code from the communication library (WM_USER+204). printerJobRunning: the
    // main frame has a progress dialog open, so no read may start now.
    Update OnStatusCode(int code, bool printerJobRunning);
    // The answer of the printer read that an Update asked for. True: show the update's text
    // (the message answers 1). False: the printer could not be read (-67); the former shown
    // code is back, the status line keeps its last text and the message answers 0. The next
    // code is then handled even when it repeats the last ordinary one (the library tells
    // the current code again after the read); that repeat is shown but starts no read,
    // while any other usable code tries again.
    bool StatusReadFinished(const Update& update, int readResult);
    // Every printer read that ran (at start, WM_USER+202, or after a status code) reports
    // its result here: a successful one (1) means the settings are current.
    void ReadFinished(int readResult);

    // Start of monitoring by the main frame. A printer that answered at start-up
    // (startupCommResult 0) is taken as online: shown and last ordinary code become 0 and
    // the answer is true, meaning "show Online and start the printer read". Otherwise
    // the state stays and the current shown code's text is to be shown.
    bool StartMonitoring(quint32 startupCommResult);
    // WM_USER+203: status codes are ignored from now on.
    void StopMonitoring() { m_monitoring = false; }

    int ShownCode() const { return m_shownCode; }
    int LastOrdinaryCode() const { return m_lastOrdinaryCode; }
    int LastingCode() const { return m_lastingCode; }
    bool IsMonitoring() const { return m_monitoring; }
    bool NeedsReread() const { return m_rereadPending; }

    // The codes of the ink conditions and of cleaning (10-13, 15, 20, 21).
    static bool IsLastingCode(int code);
    // 0 and the near-end codes 18-21: the printer can print and can be read.
    static bool IsUsableCode(int code);
    // A printer job (RunPrinterJob) is refused while this code is shown: offline or
    // unknown.
    static bool RefusesPrinterJobs(int shownCode);
    // Number of the code's text in the PRT_STATUS texts; codes outside 0..22 give that of
    // "Unknown".
    static int TextNumberOf(int code);
    // The compiled-in English text of a code, used when the language file lacks it.
    static QString EnglishTextOf(int code);

    // Numbers of the labels in the PRT_STATUS texts, and their English defaults.
    static constexpr int kPortLabelNumber = 22;
    static constexpr int kSerialLabelNumber = 23;
    static constexpr int kStatusLabelNumber = 24;
    static constexpr int kUnknownFieldNumber = 28;
    static constexpr int kUnknownStatusNumber = QPU_STATUS_UNKNOWN_TEXT_NUMBER;
    static QString EnglishPortLabel() { return QStringLiteral("Port:"); }
    static QString EnglishSerialLabel() { return QStringLiteral("Serial No:"); }
    static QString EnglishStatusLabel() { return QStringLiteral("Status:"); }
    static QString EnglishUnknown() { return QStringLiteral("Unknown"); }

    // The status line: label, a blank and the text; in start mode 4, where no printer is
    // attached, the label alone.
    static QString StatusLine(const QString& statusLabel, const QString& statusText,
                              bool noPrinterMode);

private:
    int m_shownCode = kUnknownCode;
    int m_lastOrdinaryCode = kUnknownCode;
    int m_lastingCode = kNoLastingCode;
    bool m_monitoring = true;
    bool m_rereadPending = true;
    // After a read that found no readable printer: take the next code even if it repeats.
    bool m_takeRepeatedCode = false;
};
