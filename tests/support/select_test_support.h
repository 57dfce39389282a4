#pragma once
// Helpers of the printer selection tests: port records, a scripted communication library
// and a recorder for the dialog's messages and closing.

#include "app/fixed_text.h"
#include "printers/printer_select_core.h"

#include <qpu/comm_lib.h>

#include <QString>
#include <QStringList>

#include <cstring>
#include <optional>
#include <vector>

namespace select_test {

inline PortInfo MakePort(const QString& keyword, const QString& portName,
                         const QString& deviceName = QStringLiteral("QP-R60"),
                         const QString& driverPortPath = {})
{
    PortInfo port;
    std::memset(&port, 0, sizeof port);
    SetFixedText(port.interfaceKeyword, keyword);
    SetFixedText(port.portName, portName);
    SetFixedText(port.deviceName, deviceName);
    SetFixedText(port.driverPortPath, driverPortPath);
    port.reserved1 = -1;
    port.reserved2 = -1;
    return port;
}

// A communication library whose answers the test scripts. One at a time (the entry points
// are plain functions); Install() makes it the current one.
class ScriptedLibrary
{
public:
    ScriptedLibrary() { s_current = this; }
    ~ScriptedLibrary() { s_current = nullptr; }
    ScriptedLibrary(const ScriptedLibrary&) = delete;
    ScriptedLibrary& operator=(const ScriptedLibrary&) = delete;

    CommLibTable* Table() { return &m_table; }

    std::vector<PortInfo> ports;
    // EnumPort: result of the count call, result of the fill call, count reported beyond
    // the real one, records actually filled (-1: all).
    int32_t countResult = QPC_OK;
    int32_t fillResult = QPC_OK;
    uint32_t extraCount = 0;
    int filledLimit = -1;
    // CommunicationTest: result and the device name reported on success, per port name
    // (port name absent: testResult / reportedModel).
    int32_t testResult = QPC_OK;
    QString reportedModel = QStringLiteral("QP-R60");
    std::vector<std::pair<QString, int32_t>> testResults;
    int32_t setPortResult = QPC_OK;
    int32_t getPortResult = QPC_OK;
    int32_t openResult = QPC_OK;
    int32_t initializeResult = QPC_OK;
    int32_t addResult = QPC_OK;
    int32_t removeResult = QPC_OK;
    QStringList calls;

private:
    static ScriptedLibrary* s_current;
    static int32_t EnumPort(PortInfo** list, uint32_t capacity, uint32_t* count)
    {
        auto& self = *s_current;
        self.calls << QStringLiteral("EnumPort(%1)").arg(capacity);
        if (list == nullptr || capacity == 0) {
            *count = static_cast<uint32_t>(self.ports.size()) + self.extraCount;
            return self.countResult;
        }
        uint32_t filled = 0;
        const uint32_t limit =
            self.filledLimit < 0 ? capacity : static_cast<uint32_t>(self.filledLimit);
        for (; filled < capacity && filled < limit && filled < self.ports.size(); ++filled) {
            *list[filled] = self.ports[filled];
        }
        *count = self.filledLimit < 0 ? filled + self.extraCount : filled;
        return self.fillResult;
    }
    static int32_t CommunicationTest(PortInfo* port)
    {
        auto& self = *s_current;
        const QString name = FixedText(port->portName);
        self.calls << QStringLiteral("CommunicationTest(%1)").arg(name);
        int32_t result = self.testResult;
        for (const auto& [portName, r] : self.testResults) {
            if (portName == name) {
                result = r;
            }
        }
        if (result == QPC_OK) {
            SetFixedText(port->deviceName, self.reportedModel);
        }
        return result;
    }
    static int32_t SetPort(PortInfo* port)
    {
        s_current->calls << QStringLiteral("SetPort(%1)").arg(FixedText(port->portName));
        return s_current->setPortResult;
    }
    static int32_t GetPort(PortInfo*)
    {
        s_current->calls << QStringLiteral("GetPort");
        return s_current->getPortResult;
    }
    static int32_t Open(int32_t mode)
    {
        s_current->calls << QStringLiteral("Open(%1)").arg(mode);
        return s_current->openResult;
    }
    static int32_t Initialize()
    {
        s_current->calls << QStringLiteral("Initialize");
        return s_current->initializeResult;
    }
    static int32_t Close()
    {
        s_current->calls << QStringLiteral("Close");
        return QPC_OK;
    }
    static int32_t AddPort(PortInfo* port)
    {
        auto& self = *s_current;
        self.calls << QStringLiteral("AddPort(%1)").arg(FixedText(port->portName));
        if (self.addResult == QPC_OK) {
            self.ports.push_back(*port);
        }
        return self.addResult;
    }
    static int32_t RemovePort(PortInfo* port)
    {
        auto& self = *s_current;
        const QString name = FixedText(port->portName);
        self.calls << QStringLiteral("RemovePort(%1)").arg(name);
        if (self.removeResult == QPC_OK) {
            std::erase_if(self.ports, [&](const PortInfo& p) {
                return FixedText(p.portName) == name &&
                       FixedText(p.interfaceKeyword) == FixedText(port->interfaceKeyword);
            });
        }
        return self.removeResult;
    }

    CommLibTable m_table = [] {
        CommLibTable table;
        std::memset(&table, 0, sizeof table);
        static int moduleStandIn = 0;
        table.module = &moduleStandIn;
        table.EnumPort = &ScriptedLibrary::EnumPort;
        table.CommunicationTest = &ScriptedLibrary::CommunicationTest;
        table.SetPort = &ScriptedLibrary::SetPort;
        table.GetPort = &ScriptedLibrary::GetPort;
        table.Open = &ScriptedLibrary::Open;
        table.Initialize = &ScriptedLibrary::Initialize;
        table.Close = &ScriptedLibrary::Close;
        table.AddPort = &ScriptedLibrary::AddPort;
        table.RemovePort = &ScriptedLibrary::RemovePort;
        return table;
    }();
};

inline ScriptedLibrary* ScriptedLibrary::s_current = nullptr;

// Records what the decisions asked of the window.
class RecordingUi final : public IPrinterSelectUi
{
public:
    void ShowMessage(int number) override { events << QStringLiteral("message %1").arg(number); }
    bool AskMessage(int number) override
    {
        events << QStringLiteral("ask %1").arg(number);
        return answerYes;
    }
    void Accept() override { events << QStringLiteral("accept"); }

    bool answerYes = true;
    QStringList events;
};

} // namespace select_test
