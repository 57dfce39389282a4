#pragma once

#include <QString>

class QWidget;

// The shared message boxes of the utility, captioned "QP-R60 Utility".
namespace qpu {

inline constexpr const char* kProductTitle = "QP-R60 Utility";

void ShowInfoMessage(QWidget* parent, const QString& text);
void ShowWarningMessage(QWidget* parent, const QString& text);
// True when the user answered Yes.
bool AskYesNo(QWidget* parent, const QString& text);

} // namespace qpu
