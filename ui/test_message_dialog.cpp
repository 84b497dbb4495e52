#include "ui/test_message_dialog.h"

#include "platform/message_box.h"
#include "platform/string_table.h"

namespace quorvel::ui {
namespace {

constexpr unsigned kStringJunkHeadline = 198;
constexpr unsigned kStringGoodHeadline = 199;
constexpr std::string_view kTrimmed = " \t\r\n";

std::string Trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(kTrimmed);
  if (start == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(kTrimmed);
  return std::string(text.substr(start, end - start + 1));
}

Control TextBox(const char* id, const char* label, std::string text) {
  Control c;
  c.kind = ControlKind::kTextBox;
  c.id = id;
  c.label = label;
  c.text = std::move(text);
  c.readOnly = true;
  c.multiline = true;
  return c;
}

}  // namespace

std::string ReasonLine(std::string_view text, int n) {
  std::size_t start = 0;
  for (int line = 1; line < n; ++line) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) break;  // fewer lines: the last one
    start = lf + 1;
  }
  const std::size_t lf = text.find('\n', start);
  return Trimmed(text.substr(start, lf == std::string_view::npos ? text.npos : lf - start));
}

std::string AfterFirstLine(std::string_view text) {
  const std::size_t lf = text.find('\n');
  return lf == std::string_view::npos ? std::string() : Trimmed(text.substr(lf + 1));
}

bool IsLongResult(std::string_view reason) {
  return reason.find(kBayesScorePrefix) != std::string_view::npos;
}

Dialog TestMessageResult(bool spam, const std::string& reason) {
  Dialog d;
  d.kind = kTestMessageKind;
  d.title = kTestMessageTitle;
  d.headline = std::string(platform::LoadString(spam ? kStringJunkHeadline : kStringGoodHeadline));
  Control icon;
  icon.id = kIconControl;
  icon.label = "Verdict:";
  icon.text = spam ? "spam" : "good";
  d.controls.push_back(icon);
  d.controls.push_back(TextBox(kReasonControl, "Reason:", ReasonLine(reason, 1)));
  d.controls.push_back(TextBox(
      kInformationControl,
      "Information:", IsLongResult(reason) ? AfterFirstLine(reason) : ReasonLine(reason, 2)));
  d.buttons = {RoleButton(ButtonRole::kOk, "OK")};
  d.defaultButton = d.affirmativeButton = d.cancelButton = platform::IDOK;
  return d;
}

}  // namespace quorvel::ui
