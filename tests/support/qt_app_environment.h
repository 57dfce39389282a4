#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

// One QApplication for the whole test program, made before the first test and destroyed
// after the last one (before static destruction). Widget tests run on the offscreen
// platform unless the environment chooses another.
class QtAppEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "qpu_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};
