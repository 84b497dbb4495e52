// PrefilledUi: a presenter that answers one dialog itself and passes everything else
// on. A command that does what a button does, with the values the user gave on the
// command line (the new address of an edited entry), lets the button's own flow run
// and answers its dialog with those values; the flow's questions and warnings still
// reach the user.
//
// Thread-safety: as the presenter it wraps; one dialog is answered at most once.
#ifndef QUORVEL_UI_PREFILLED_UI_H_
#define QUORVEL_UI_PREFILLED_UI_H_

#include <map>
#include <string>
#include <utility>

#include "ui/ui.h"

namespace quorvel::ui {

class PrefilledUi final : public Ui {
 public:
  // The first dialog of `kind` gets the text boxes named in `texts` filled and is
  // answered with `button`. REQUIRES: `inner` outlives this object.
  PrefilledUi(Ui& inner, std::string kind, std::map<std::string, std::string> texts,
              std::int32_t button = platform::IDOK)
      : inner_(inner), kind_(std::move(kind)), texts_(std::move(texts)), button_(button) {}

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
  // Whether the dialog was answered.
  bool used() const { return used_; }

 private:
  Ui& inner_;
  std::string kind_;
  std::map<std::string, std::string> texts_;
  std::int32_t button_;
  bool used_ = false;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_PREFILLED_UI_H_
