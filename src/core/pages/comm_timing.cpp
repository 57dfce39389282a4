#include "pages/comm_timing.h"

#include <QString>

#include <cstring>

namespace {

constexpr size_t kPortDescriptionOffset = 3160;
constexpr int kWiredTimeMs = 1000;
constexpr int kWirelessTimeMs = 15000;
constexpr int kPageAttempts = 30;
constexpr int kPagePauseMs = 1000;

static_assert(kPortDescriptionOffset + QPU_TEXT_UNITS * sizeof(QpuChar16) <=
                  offsetof(PortInfo, origin),
              "the port description lies inside the record's spare bytes");

} // namespace

QString PortDescriptionText(const PortInfo& port)
{
    QpuChar16 units[QPU_TEXT_UNITS] = {};
    std::memcpy(units, reinterpret_cast<const char*>(&port) + kPortDescriptionOffset,
                sizeof(units));
    qsizetype length = 0;
    while (length < QPU_TEXT_MAX_CHARS && units[length] != 0)
        ++length;
    return QString::fromUtf16(units, length);
}

CommTiming CommonCommTiming(const AppState* state)
{
    CommTiming timing;
    timing.timeMs = kWiredTimeMs;
    timing.attempts = kPageAttempts;
    timing.pauseMs = kPagePauseMs;
    if (state != nullptr && state->portType == PortTypeEthernet) {
        const QString description = PortDescriptionText(state->portInfo);
        if (description.contains(QLatin1String("RW-K")) ||
            description.contains(QLatin1String("Wi-Fi")))
            timing.timeMs = kWirelessTimeMs;
    }
    return timing;
}
