// HookedUi: a presenter that passes everything on to another presenter but lets a
// hook see each dialog first. The hook may change the dialog's values and let it be
// shown, or answer it itself with a button, and the dialog is then not shown. A
// command that does what a button does lets the button's own flow run and answers
// its dialog with what the command line gave (PrefillHook); the flow's questions and
// warnings still reach the user.
//
// Dialogs kept open (Open) are presented again for each press through Present, so
// the hook sees each press too.
//
// Subclasses may override the other methods to watch what is shown
// (app::CommandPresenter keeps the texts of message boxes and notices).
//
// Thread-safety: as the presenter it wraps; the hook is called on the thread that
// presents the dialog and must be safe there.
#ifndef QUORVEL_UI_HOOKED_UI_H_
#define QUORVEL_UI_HOOKED_UI_H_

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "ui/ui.h"

namespace quorvel::ui {

// Sees a dialog before it is shown; a button it returns answers the dialog without
// showing it.
using DialogHook = std::function<std::optional<std::int32_t>(Dialog&)>;

class HookedUi : public Ui {
 public:
  // An empty hook passes everything on. REQUIRES: `inner` outlives this object.
  HookedUi(Ui& inner, DialogHook hook) : inner_(inner), hook_(std::move(hook)) {}

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    return inner_.Show(text, caption, style);
  }
  std::int32_t Present(Dialog& dialog) override;
  std::unique_ptr<Progress> BeginProgress(const std::string& title) override {
    return inner_.BeginProgress(title);
  }
  void Notify(const std::string& title, const std::string& text) override {
    inner_.Notify(title, text);
  }
  bool OpenUrl(const std::string& url) override { return inner_.OpenUrl(url); }
  bool Interactive() const override { return inner_.Interactive(); }

 private:
  Ui& inner_;
  DialogHook hook_;
};

// A hook that fills the text boxes named in `texts` of the first dialog of `kind`
// and answers it with `button`; every other dialog, and any later one of `kind`, is
// shown. Thread-safe; its copies share the one answer.
DialogHook PrefillHook(std::string kind, std::map<std::string, std::string> texts,
                       std::int32_t button = platform::IDOK);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_HOOKED_UI_H_
