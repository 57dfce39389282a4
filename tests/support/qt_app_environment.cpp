#include "qt_app_environment.h"

// gtest_main runs every registered environment's SetUp before the first test.
[[maybe_unused]] static ::testing::Environment* const kQtApp =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);
