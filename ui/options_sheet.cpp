#include "ui/options_sheet.h"

#include <utility>

#include "platform/string_table.h"
#include "ui/about_page.h"
#include "ui/general_page.h"
#include "ui/list_page.h"
#include "ui/phrase_filter_page.h"
#include "ui/run_pages.h"

namespace quorvel::ui {

OptionsSheet::OptionsSheet(OptionsContext context) : context_(std::move(context)) {
  copy_ = context_.live.CopyOut();
  auto white = std::make_unique<SenderListPage>(ListPage::kWhiteList, copy_, context_);
  auto black = std::make_unique<SenderListPage>(ListPage::kBlackList, copy_, context_);
  white->SetOpposite(black.get());
  black->SetOpposite(white.get());
  pages_.push_back(std::make_unique<GeneralPage>(copy_, context_));
  pages_.push_back(std::make_unique<PhraseFilterPage>(copy_, context_));
  pages_.push_back(std::move(white));
  pages_.push_back(std::move(black));
  pages_.push_back(std::make_unique<SenderListPage>(ListPage::kSafeRecipients, copy_, context_));
  pages_.push_back(std::make_unique<AboutPage>(context_));

  dialog_.kind = "options";
  dialog_.title = std::string(platform::kProductName);
  dialog_.style = DialogStyle::kSheet;
  for (auto& page : pages_) dialog_.pages.push_back(page->Build());
  Button help = RoleButton(ButtonRole::kHelp, "Help");
  help.enabled = static_cast<bool>(context_.openHelp);
  dialog_.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel"),
                     help};
  dialog_.validatePage = [this](const Dialog& dialog, const std::string& id) -> std::string {
    for (const auto& page : pages_) {
      if (page->Id() == id) return page->Refuse(dialog);
    }
    return "";
  };
  ShowPage(copy_.lastOptionsPage);
}

OptionsSheet::~OptionsSheet() = default;

std::size_t OptionsSheet::ActivePage() const {
  for (std::size_t i = 0; i < dialog_.pages.size(); ++i) {
    if (dialog_.pages[i].id == dialog_.currentPage) return i;
  }
  return 0;
}

void OptionsSheet::ShowPage(std::size_t index) {
  dialog_.currentPage = dialog_.pages[index < dialog_.pages.size() ? index : 0].id;
}

GeneralPage& OptionsSheet::general() { return static_cast<GeneralPage&>(*pages_[0]); }
PhraseFilterPage& OptionsSheet::phraseFilter() {
  return static_cast<PhraseFilterPage&>(*pages_[1]);
}
SenderListPage& OptionsSheet::whiteList() { return static_cast<SenderListPage&>(*pages_[2]); }
SenderListPage& OptionsSheet::blackList() { return static_cast<SenderListPage&>(*pages_[3]); }
SenderListPage& OptionsSheet::safeRecipients() { return static_cast<SenderListPage&>(*pages_[4]); }

void OptionsSheet::OnAction(DialogSession& session, std::int32_t button) {
  if (button == kHelpButton) {
    if (context_.openHelp) context_.openHelp();
    return;
  }
  for (auto& page : pages_) {
    if (page->OnButton(session, button)) return;
  }
}

std::string OptionsSheet::RefusingPage() const {
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    std::string problem = pages_[i]->Refuse(dialog_);
    if (!problem.empty()) return dialog_.pages[i].id + "\n" + problem;
  }
  return "";
}

std::string OptionsSheet::Ok() {
  if (std::string refusal = RefusingPage(); !refusal.empty()) {
    const std::size_t split = refusal.find('\n');
    dialog_.currentPage = refusal.substr(0, split);
    std::string problem = refusal.substr(split + 1);
    context_.ui.Show(problem, dialog_.title, platform::MB_OK | platform::MB_ICONWARNING);
    return problem;
  }
  for (auto& page : pages_) page->Take(dialog_);
  copy_.lastOptionsPage = static_cast<std::uint32_t>(ActivePage());
  // The sheet is done with its copy: it goes into place rather than being copied.
  context_.live.CopyIn(std::move(copy_));
  return "";
}

void OptionsSheet::Cancel() {
  context_.live.Lock()->lastOptionsPage = static_cast<std::uint32_t>(ActivePage());
}

bool OptionsSheet::Run() {
  const std::int32_t closed = RunOpenDialog(
      context_.ui, dialog_,
      [this](DialogSession& session, std::int32_t button) { OnAction(session, button); });
  if (closed == kSupportMailLink) {
    // The mail link opens the user's mail program and closes the sheet.
    context_.ui.OpenUrl(kSupportMailUrl);
    Cancel();
    return false;
  }
  if (closed != platform::IDOK) {
    Cancel();
    return false;
  }
  // The pages were accepted by the run; taking them cannot be refused now.
  return Ok().empty();
}

}  // namespace quorvel::ui
