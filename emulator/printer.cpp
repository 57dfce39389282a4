#include "printer.h"

namespace qpr60 {
namespace {

void appendText(std::vector<uint8_t>& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

PrinterSettings PrinterSettings::defaults()
{
    PrinterSettings s;
    s.customized[5] = 100; // print density, percent
    s.customized[6] = 3;   // print speed level
    return s;
}

std::string PrinterSettings::memorySwitchText(int a) const
{
    std::string text(8, '0');
    if (!validMemorySwitch(a))
        return text;
    for (int i = 0; i < 8; ++i)
        text[i] = (memorySwitches[a - 1] >> i) & 1 ? '1' : '0';
    return text;
}

bool PrinterSettings::applyMemorySwitchText(int a, std::string_view text)
{
    if (!validMemorySwitch(a) || text.size() != 8)
        return false;
    for (const char c : text)
        if (c != '0' && c != '1' && c != '2')
            return false;
    uint8_t value = memorySwitches[a - 1];
    for (int i = 0; i < 8; ++i) {
        if (text[i] == '0')
            value &= static_cast<uint8_t>(~(1u << i));
        else if (text[i] == '1')
            value |= static_cast<uint8_t>(1u << i);
    }
    memorySwitches[a - 1] = value;
    return true;
}

std::vector<uint8_t> Printer::identityAnswer(uint8_t n) const
{
    const std::string* text = nullptr;
    switch (n) {
    case 0x01:
    case 0x31:
        return {m_identity.modelId};
    case 0x41:
        text = &m_identity.firmware;
        break;
    case 0x42:
        text = &m_identity.maker;
        break;
    case 0x43:
        text = &m_identity.model;
        break;
    case 0x44:
        text = &m_identity.serial;
        break;
    case 0x45:
        text = &m_identity.charset;
        break;
    default:
        return {};
    }
    std::vector<uint8_t> out{0x5F};
    appendText(out, *text);
    out.push_back(0x00);
    return out;
}

Printer::Reaction Printer::handle(const PrinterCommand& cmd, SessionState& session)
{
    using Kind = PrinterCommand::Kind;
    Reaction r;
    const bool settingAllowed = session.userMode || !m_strictUserMode;
    switch (cmd.kind) {
    case Kind::RealTimeStatus:
        if (const auto status = realTimeStatus(m_conditions, cmd.n))
            r.answer.push_back(*status);
        break;
    case Kind::TransmitStatus:
        // Paper sensor status, laid out as the real-time paper sensor status.
        if (cmd.n == 1 || cmd.n == '1')
            r.answer.push_back(*realTimeStatus(m_conditions, kPaperSensorStatus));
        break;
    case Kind::PrinterId:
        r.answer = identityAnswer(cmd.n);
        break;
    case Kind::AutoStatus:
        session.autoStatus = cmd.n != 0;
        r.sendAutoStatus = session.autoStatus;
        break;
    case Kind::EnterUserMode:
        session.userMode = true;
        r.answer = {0x37, 0x20, 0x00};
        break;
    case Kind::LeaveUserMode:
        // Outside the user-setting mode the command means nothing to the printer.
        if (session.userMode) {
            session.userMode = false;
            r.restart = true;
        }
        break;
    case Kind::SetCustomized:
        if (settingAllowed) {
            r.settingsChanged = m_settings.customized[cmd.n] != cmd.value;
            m_settings.customized[cmd.n] = cmd.value;
        }
        break;
    case Kind::TransmitCustomized:
        if (settingAllowed) {
            r.answer = {0x37, 0x27};
            appendText(r.answer, std::to_string(cmd.n));
            r.answer.push_back(0x1F);
            appendText(r.answer, std::to_string(m_settings.customized[cmd.n]));
            r.answer.push_back(0x00);
        }
        break;
    case Kind::TransmitMemorySwitch:
        if (settingAllowed && PrinterSettings::validMemorySwitch(cmd.n)) {
            r.answer = {0x37, 0x21};
            appendText(r.answer, m_settings.memorySwitchText(cmd.n));
            r.answer.push_back(0x00);
        }
        break;
    case Kind::SetMemorySwitch:
        if (settingAllowed) {
            const PrinterSettings before = m_settings;
            m_settings.applyMemorySwitchText(
                cmd.n, std::string_view(cmd.switchBits.data(), cmd.switchBits.size()));
            r.settingsChanged = !(before == m_settings);
        }
        break;
    case Kind::Malformed:
        break;
    }
    return r;
}

} // namespace qpr60
