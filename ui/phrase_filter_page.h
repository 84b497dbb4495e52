// The Phrase Filter page: CheckExternalImages, the learned counts of the Bayesian
// filter, and the buttons that open the dictionary dialog on the copy's Custom
// Not-Spam Dictionary ("&Edit...") and Custom Spam Dictionary ("E&dit..."), each in
// its dictionary's group; the counts are in the group "Bayesian Filter".
#ifndef QUORVEL_UI_PHRASE_FILTER_PAGE_H_
#define QUORVEL_UI_PHRASE_FILTER_PAGE_H_

#include "lists/string_set.h"
#include "ui/dictionary_dialog.h"
#include "ui/options_page.h"

namespace quorvel::ui {

inline constexpr std::int32_t kEditGoodDictionaryButton = 0x7411;
inline constexpr std::int32_t kEditSpamDictionaryButton = 0x7412;
// The group labels.
inline constexpr char kBayesGroup[] = "bayes-group";
inline constexpr char kGoodDictionaryGroup[] = "good-dictionary-group";
inline constexpr char kSpamDictionaryGroup[] = "spam-dictionary-group";

class PhraseFilterPage final : public OptionsPage {
 public:
  PhraseFilterPage(UserSettings& copy, const OptionsContext& context)
      : copy_(copy), context_(context) {}
  std::string Id() const override;
  Page Build() override;
  bool OnButton(DialogSession& session, std::int32_t button) override;
  void Take(const Dialog& dialog) override;

  // The copy's dictionary of that kind, which the dictionary dialog edits.
  StringSet& Dictionary(DictionaryKind kind);

 private:
  UserSettings& copy_;
  const OptionsContext& context_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_PHRASE_FILTER_PAGE_H_
