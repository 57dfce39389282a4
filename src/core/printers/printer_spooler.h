#pragma once

#include <QList>
#include <QString>

// One printer queue of the system's print spooler, as the printer selection dialog needs
// it in driver mode.
struct SpoolerPrinter
{
    QString printerName; // the queue name the user knows the printer by
    QString portName;    // the port the queue prints to: the last component of its device
    QString driverName;  // the driver's make and model, e.g. "VORKA QP-R60 Receipt5"

    bool operator==(const SpoolerPrinter&) const = default;
};

// The system's printer queues. The printer selection dialog asks for them in driver mode;
// tests hand it a fixed list.
class IPrinterSpooler
{
public:
    virtual ~IPrinterSpooler() = default;

    // Fills printers with the local printer queues in the spooler's order. False when the
    // spooler could not be asked; printers is then empty and errorString() says why.
    virtual bool ListPrinters(QList<SpoolerPrinter>* printers) = 0;
    virtual QString errorString() const { return {}; }
};

// A spooler with a list fixed at construction.
class FixedPrinterSpooler final : public IPrinterSpooler
{
public:
    explicit FixedPrinterSpooler(QList<SpoolerPrinter> printers = {}, bool available = true)
        : m_printers(std::move(printers)), m_available(available)
    {}

    bool ListPrinters(QList<SpoolerPrinter>* printers) override
    {
        *printers = m_available ? m_printers : QList<SpoolerPrinter>();
        ++m_calls;
        return m_available;
    }
    QString errorString() const override
    {
        return m_available ? QString() : QStringLiteral("spooler not available");
    }

    void SetPrinters(QList<SpoolerPrinter> printers) { m_printers = std::move(printers); }
    void SetAvailable(bool available) { m_available = available; }
    int Calls() const { return m_calls; }

private:
    QList<SpoolerPrinter> m_printers;
    bool m_available;
    int m_calls = 0;
};
