#include "status_decoder.h"

#include <qpu/comm_lib.h>

namespace qpcomm {

namespace {
bool bit(uint8_t b, int n)
{
    return ((b >> n) & 1) != 0;
}
} // namespace

PrinterCondition decodeStatusBlock(const std::array<uint8_t, 4>& block)
{
    PrinterCondition c;
    c.waitingRecovery = bit(block[0], 2);
    c.offline = bit(block[0], 3);
    c.coverOpen = bit(block[0], 5);
    c.feeding = bit(block[0], 6);
    c.cleaning = bit(block[1], 0);
    c.awaitingRemoval = bit(block[1], 1);
    c.recoverableError = bit(block[1], 2);
    c.cutterError = bit(block[1], 3);
    c.fatalError = bit(block[1], 5);
    c.autoRecoverableError = bit(block[1], 6);
    c.paperNearEnd = bit(block[2], 0) || bit(block[2], 1);
    c.paperEnd = bit(block[2], 2) || bit(block[2], 3);
    c.journalNearEnd = bit(block[2], 5);
    c.journalEnd = bit(block[2], 6);
    c.ink[0] = block[3] & 0x03;
    c.ink[1] = (block[3] >> 2) & 0x03;
    c.layoutError = bit(block[3], 5);
    return c;
}

PrinterCondition decodeRealtimeStatus(const std::array<uint8_t, 8>& a)
{
    PrinterCondition c;
    c.offline = bit(a[0], 3);
    c.waitingRecovery = bit(a[0], 5);
    c.feeding = bit(a[0], 6);
    c.coverOpen = bit(a[1], 2);
    c.recoverableError = bit(a[2], 2);
    c.cutterError = bit(a[2], 3);
    c.fatalError = bit(a[2], 5);
    c.autoRecoverableError = bit(a[2], 6);
    c.paperNearEnd = bit(a[3], 2) || bit(a[3], 3);
    c.paperEnd = bit(a[3], 5) || bit(a[3], 6);
    c.journalNearEnd = bit(a[4], 2) || bit(a[4], 3);
    c.journalEnd = bit(a[4], 5) || bit(a[4], 6);
    c.awaitingRemoval = bit(a[5], 2);
    c.cleaning = bit(a[5], 3);
    c.layoutError = bit(a[5], 5);
    for (int i = 0; i < 2; ++i) {
        const uint8_t b = a[6 + i];
        c.ink[i] = bit(b, 5) ? 3 : bit(b, 3) ? 2 : bit(b, 2) ? 1 : 0;
    }
    return c;
}

int32_t ordinaryCode(const PrinterCondition& c)
{
    if (c.fatalError) {
        return 3;
    }
    if (c.recoverableError) {
        return 4;
    }
    if (c.cutterError) {
        return 9;
    }
    if (c.autoRecoverableError) {
        return 5;
    }
    if (c.coverOpen) {
        return 6;
    }
    if (c.paperEnd) {
        return 7;
    }
    if (c.journalEnd) {
        return 8;
    }
    if (c.layoutError) {
        return 22;
    }
    if (c.awaitingRemoval) {
        return 17;
    }
    if (c.feeding) {
        return 14;
    }
    if (c.waitingRecovery) {
        return 16;
    }
    if (c.offline) {
        return QPC_STATUS_OFFLINE;
    }
    if (c.paperNearEnd) {
        return 18;
    }
    if (c.journalNearEnd) {
        return 19;
    }
    return QPC_STATUS_ONLINE;
}

int32_t lastingCode(const PrinterCondition& c)
{
    if (c.ink[0] == 3) {
        return 10;
    }
    if (c.ink[1] == 3) {
        return 11;
    }
    if (c.ink[0] == 2) {
        return 12;
    }
    if (c.ink[1] == 2) {
        return 13;
    }
    if (c.cleaning) {
        return 15;
    }
    if (c.ink[0] == 1) {
        return 20;
    }
    if (c.ink[1] == 1) {
        return 21;
    }
    return QPC_STATUS_LASTING_ENDED;
}

} // namespace qpcomm
