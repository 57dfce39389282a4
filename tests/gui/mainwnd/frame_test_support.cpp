#include "frame_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

int32_t FakeRegister(QPC_StatusProc proc, void* context)
{
    const std::lock_guard<std::mutex> lock(FakeCommLib::mutex);
    ++FakeCommLib::registerCalls;
    FakeCommLib::proc = proc;
    FakeCommLib::context = context;
    FakeCommLib::order += 'R';
    return QPC_OK;
}

int32_t FakeUnregister()
{
    const std::lock_guard<std::mutex> lock(FakeCommLib::mutex);
    ++FakeCommLib::unregisterCalls;
    FakeCommLib::proc = nullptr;
    FakeCommLib::context = nullptr;
    FakeCommLib::order += 'U';
    return QPC_OK;
}

int32_t FakeInitialize()
{
    const std::lock_guard<std::mutex> lock(FakeCommLib::mutex);
    ++FakeCommLib::initializeCalls;
    FakeCommLib::order += 'I';
    return QPC_OK;
}

int g_moduleStandIn = 0;

} // namespace

FakeCommLib::FakeCommLib()
{
    table.module = &g_moduleStandIn;
    table.RegisterStatusProc = &FakeRegister;
    table.UnregisterStatusProc = &FakeUnregister;
    table.Initialize = &FakeInitialize;
    registerCalls = 0;
    unregisterCalls = 0;
    initializeCalls = 0;
    proc = nullptr;
    context = nullptr;
    order.clear();
}

FakeCommLib::~FakeCommLib() = default;
