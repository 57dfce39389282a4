#include "frame_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtAppEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[24] = "test_mainwnd_frame";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};
const auto* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

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
