#include "ui/phrase_filter_page.h"

#include <utility>

#include "ui/option_switches.h"
#include "ui/options_sheet.h"

namespace quorvel::ui {

std::string PhraseFilterPage::Id() const { return kPhraseFilterPage; }

Page PhraseFilterPage::Build() {
  Page page{.id = kPhraseFilterPage, .title = "Phrase Filter"};
  for (Control& box : SwitchBoxes(kPhraseFilterPage, copy_)) {
    page.controls.push_back(std::move(box));
  }
  auto label = [](const char* id, std::string text, const char* group = "") {
    return Control{.kind = ControlKind::kLabel, .id = id, .label = std::move(text), .group = group};
  };
  page.controls.push_back(label(kBayesGroup, "Bayesian Filter"));
  page.controls.push_back(label("learned-junk",
                                "Learned junk messages: " + std::to_string(context_.learnedJunk),
                                kBayesGroup));
  page.controls.push_back(label("learned-good",
                                "Learned good messages: " + std::to_string(context_.learnedGood),
                                kBayesGroup));
  page.controls.push_back(label(kGoodDictionaryGroup, "Custom Not Spam Dictionary"));
  page.controls.push_back(label(kSpamDictionaryGroup, "Custom Spam Dictionary"));
  page.buttons = {
      {.id = kEditGoodDictionaryButton,
       .text = "&Edit...",
       .closes = false,
       .group = kGoodDictionaryGroup},
      {.id = kEditSpamDictionaryButton,
       .text = "E&dit...",
       .closes = false,
       .group = kSpamDictionaryGroup},
  };
  return page;
}

StringSet& PhraseFilterPage::Dictionary(DictionaryKind kind) {
  return kind == DictionaryKind::kNotSpam ? copy_.customGoodDictionary : copy_.customSpamDictionary;
}

bool PhraseFilterPage::OnButton(DialogSession& /*session*/, std::int32_t button) {
  if (button != kEditGoodDictionaryButton && button != kEditSpamDictionaryButton) return false;
  const DictionaryKind kind =
      button == kEditGoodDictionaryButton ? DictionaryKind::kNotSpam : DictionaryKind::kSpam;
  EditDictionary(context_.ui, kind, Dictionary(kind));
  return true;
}

void PhraseFilterPage::Take(const Dialog& dialog) {
  TakeSwitches(kPhraseFilterPage, dialog, copy_);
}

}  // namespace quorvel::ui
