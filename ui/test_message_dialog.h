// The Test Message result as a model: the verdict's headline and icon, the reason's
// first line under "Reason:" and, under "Information:", either the reason's second
// line (the short dialog) or everything after its first line (the long dialog, for a
// Bayesian score: the score line, a dashed line and the decisive tokens, each token
// and its probability separated by a tab, which front ends line up as two columns).
#ifndef QUORVEL_UI_TEST_MESSAGE_DIALOG_H_
#define QUORVEL_UI_TEST_MESSAGE_DIALOG_H_

#include <string>
#include <string_view>

#include "ui/dialog.h"

namespace quorvel::ui {

inline constexpr const char* kTestMessageKind = "test-message";
inline constexpr const char* kTestMessageTitle = "Test Message";
// The controls' ids. The icon control is a label "Verdict:" whose text names the icon:
// "spam" or "good".
inline constexpr const char* kReasonControl = "reason";
inline constexpr const char* kInformationControl = "information";
inline constexpr const char* kIconControl = "icon";
// What a reason holds when the Bayesian filter decided by its score.
inline constexpr std::string_view kBayesScorePrefix = "Bayesian Filter\nTotal Score is";
// The long dialog's tab stop, in dialog units.
inline constexpr int kInformationTabStop = 120;

// Line `n` (from 1) of `text`, lines ending at LF, trimmed of blanks, tabs, CR and LF
// at both ends; the last line when the text has fewer.
std::string ReasonLine(std::string_view text, int n);
// Everything after the first LF, trimmed the same way; "" without an LF.
std::string AfterFirstLine(std::string_view text);
// Whether `reason` opens the long dialog.
bool IsLongResult(std::string_view reason);

// The result dialog for a verdict with its reason (UTF-8), with one OK button. Its
// headline is "Message is recognized as Junk e-mail" or "... Good e-mail".
Dialog TestMessageResult(bool spam, const std::string& reason);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_TEST_MESSAGE_DIALOG_H_
