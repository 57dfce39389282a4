// One QApplication for the whole test program: plug-in pages are widgets.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <filesystem>

int main(int argc, char** argv)
{
    const std::string tempDir = plugintest::PrepareEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (!tempDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(tempDir, ignored);
    }
    return result;
}
