#pragma once

#include "platform/admin_check.h"

#include <QString>

#include <optional>

// Hooks through which end-to-end tests drive the real program. They are compiled in only
// in the test build of the program (build/test-app/qp60util, QPU_TEST_HOOKS); the program
// that is staged, installed and packaged never has them and ignores the variables.
//
//   QP60UTIL_TEST_IDENTITY  an identity without administrator rights that the
//                           administrator check sees instead of the process's own:
//                           "uid=<n>;groups=<name>,<name>,..."; an identity with rights
//                           is ignored, so the variable can only withdraw them
//   QP60UTIL_TEST_HOOK      path of a local socket on which a test answers the program's
//                           message boxes and drives its windows (startup_ui_hook.h)
namespace startup {

inline constexpr char kTestIdentityVariable[] = "QP60UTIL_TEST_IDENTITY";
inline constexpr char kTestHookVariable[] = "QP60UTIL_TEST_HOOK";

// True when this build honours the test hooks.
bool TestHooksEnabled();

// The identity of "uid=<n>;groups=<name>,...": the groups get ids 1, 2, ... in order. An
// unreadable text gives an identity with no uid and no groups, which is no administrator.
platform::ProcessIdentity ParseTestIdentity(const QString& text);

// The identity that QP60UTIL_TEST_IDENTITY names; nullopt when the variable is not set or
// the hooks are not compiled in.
std::optional<platform::ProcessIdentity> TestIdentityFromEnvironment();

} // namespace startup
