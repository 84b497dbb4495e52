// The dictionary dialog ("Custom dictionary"): the entries of one custom dictionary in
// a list box with "&Add...", "&Remove", "E&dit..." and "Close". It works on a copy of
// the set; Close hands the copy back to replace the dictionary of the options sheet's
// record. Entries are kept as typed (no trimming), compared without regard to case.
//
// Add asks for a word in the input box "Add New Word"; Edit in the input box "Edit"
// filled with the selected entry; Remove asks "Are you sure you want to delete %s
// item%s?". A word already in the list (another entry, for Edit) is refused with
// "This word is already in the list.". A word with control characters, longer than
// the lists take or with characters the code page cannot hold is refused too.
//
// The actions are public so that a command can do what a button does (AddWord for
// Add after its input box, and so on) on a dialog nobody sees (ModelSession).
// Texts in the model are UTF-8; the set is in the ANSI code page.
#ifndef QUORVEL_UI_DICTIONARY_DIALOG_H_
#define QUORVEL_UI_DICTIONARY_DIALOG_H_

#include <cstdint>
#include <string>

#include "lists/string_set.h"
#include "ui/ui.h"

namespace quorvel::ui {

enum class DictionaryKind { kNotSpam, kSpam };

inline constexpr const char* kWordAlreadyThere = "This word is already in the list.";
inline constexpr std::int32_t kDictionaryAdd = 0x7301;
inline constexpr std::int32_t kDictionaryRemove = 0x7302;
inline constexpr std::int32_t kDictionaryEdit = 0x7303;

class DictionaryDialog {
 public:
  DictionaryDialog(Ui& ui, DictionaryKind kind, const StringSet& dictionary);

  Dialog& dialog() { return dialog_; }
  const StringSet& words() const { return copy_; }

  // Runs the dialog with the user until Close (true: words() is the new dictionary)
  // or until it is closed otherwise (false).
  bool Run();

  // What the buttons do, after their input box or question. The list's changes go
  // through `session`. False, with the refusal shown, when nothing changed.
  bool AddWord(DialogSession& session, const std::string& word);
  bool EditWord(DialogSession& session, std::size_t row, const std::string& word);
  // Asks, then removes the selected rows; false when none was removed.
  bool RemoveSelected(DialogSession& session);

  // The row of `word` (UTF-8, compared without regard to case); -1 when absent.
  std::int32_t RowOf(const std::string& word) const;

 private:
  void OnButton(DialogSession& session, std::int32_t button);
  bool Refuse(const std::string& text, std::uint32_t icon);
  std::string Checked(const std::string& word, std::string* ansi);

  Ui& ui_;
  StringSet copy_;
  Dialog dialog_;
};

// Opens the dialog on `dictionary` and, on Close, replaces it by the edited copy.
// True when it was replaced.
bool EditDictionary(Ui& ui, DictionaryKind kind, StringSet& dictionary);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_DICTIONARY_DIALOG_H_
