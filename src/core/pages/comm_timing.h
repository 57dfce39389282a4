#pragma once

#include <qpu/app_state.h>

#include <QString>

#include <cstdint>

// How a page's printer operations retry: a time, the number of attempts and the pause
// between attempts. A retry loop sleeps for the pause between attempts and gives up after
// the attempts or after kCommRetryLimitSeconds in all.
struct CommTiming
{
    int32_t timeMs = 0;
    int32_t attempts = 0;
    int32_t pauseMs = 0;
};
static_assert(sizeof(CommTiming) == 12, "CommTiming size");

inline constexpr int kCommRetryLimitSeconds = 45;

// The timing of an ordinary page: 30 attempts with 1000 ms between them; the time is
// 15000 ms for a wireless network printer (port type NET and a port description that
// names "RW-K" or "Wi-Fi"), 1000 ms otherwise. A null state counts as a wired printer.
CommTiming CommonCommTiming(const AppState* state);

// The wide text that the port record keeps at byte offset 3160 (its port description),
// up to its first zero and at most 259 units.
QString PortDescriptionText(const PortInfo& port);
