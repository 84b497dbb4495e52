// The options sheet ("Quorvel"): six pages in tab order (General, Phrase Filter, White
// List, Black List, Safe Recipients, About), a Help button, OK and Cancel, no Apply.
//
// Opening makes the sheet's copy of the live settings (under the settings lock) and
// shows the page whose index is LastOptionsPage. Every page edits the copy only.
//   OK: each page says whether its controls are acceptable (a refusal is shown and the
//       sheet stays open on that page), then each takes them into the copy; the index
//       of the page shown goes into the copy's LastOptionsPage; the copy replaces the
//       live record under the settings lock. Saving is the caller's, after the sheet
//       has closed.
//   Cancel: only the index of the page shown reaches the live record's
//       LastOptionsPage; the copy is dropped.
// The About page's mail link closes the sheet as Cancel does, after opening the link.
//
// A command acts on one page as its buttons would, through a ModelSession over
// dialog(), and then calls Ok(), so that every rule of the sheet applies to it too.
//
// Threading: one thread runs a sheet; it takes the settings lock only to copy.
#ifndef QUORVEL_UI_OPTIONS_SHEET_H_
#define QUORVEL_UI_OPTIONS_SHEET_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "settings/user_settings.h"
#include "ui/options_page.h"

namespace quorvel::ui {

class GeneralPage;
class PhraseFilterPage;
class SenderListPage;

// The pages' ids, in tab order.
inline constexpr const char* kGeneralPage = "general";
inline constexpr const char* kPhraseFilterPage = "phrase-filter";
inline constexpr const char* kWhiteListPage = "white-list";
inline constexpr const char* kBlackListPage = "black-list";
inline constexpr const char* kSafeRecipientsPage = "safe-recipients";
inline constexpr const char* kAboutPage = "about";
inline constexpr std::size_t kOptionsPageCount = 6;

class OptionsSheet {
 public:
  // Opening: the copy, the pages, the page LastOptionsPage names (the first when the
  // index is out of range).
  explicit OptionsSheet(OptionsContext context);
  ~OptionsSheet();
  OptionsSheet(const OptionsSheet&) = delete;
  OptionsSheet& operator=(const OptionsSheet&) = delete;

  // Runs the sheet with the user; true when it was closed with OK (the live record
  // then holds the copy and the caller saves).
  bool Run();

  // OK and Cancel as their buttons do. Ok returns "" or the refusal (already shown),
  // leaving the sheet open on the refusing page. After an accepted Ok the copy has
  // gone into the live record: the sheet is closed and its pages may not be used.
  std::string Ok();
  void Cancel();

  // The page shown, by index in tab order, and showing another.
  std::size_t ActivePage() const;
  void ShowPage(std::size_t index);

  UserSettings& copy() { return copy_; }
  Dialog& dialog() { return dialog_; }
  const OptionsContext& context() const { return context_; }
  GeneralPage& general();
  PhraseFilterPage& phraseFilter();
  SenderListPage& whiteList();
  SenderListPage& blackList();
  SenderListPage& safeRecipients();

 private:
  void OnAction(DialogSession& session, std::int32_t button);
  std::string RefusingPage() const;

  OptionsContext context_;
  UserSettings copy_;
  std::vector<std::unique_ptr<OptionsPage>> pages_;
  Dialog dialog_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_OPTIONS_SHEET_H_
