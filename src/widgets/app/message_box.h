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

// Default texts of the shared message boxes, used when no text is given.
inline constexpr const char* kDefaultInfoText = "Settings were changed successfully.";
inline constexpr const char* kDefaultWarningText = "Failed to change settings.";
inline constexpr const char* kDefaultQuestionText =
    "Do you want to save your changes to the settings to the printer?";
// The buttons AskYesNo answers with.
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Information (OK) and warning (OK) boxes with their default texts; owner may be null.
void ShowInfoMessage(QWidget* owner);
void ShowWarningMessage(QWidget* owner);
// A question with Yes and No under caption ("QP-R60 Utility" when empty), showing text or,
// when it is empty, the default question. Answers kIdYes or kIdNo (closing the box counts
// as No).
int AskYesNo(const QString& caption, QWidget* owner, const QString& text = {});

} // namespace qpu
