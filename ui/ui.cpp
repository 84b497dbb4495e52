#include "ui/ui.h"

#include <algorithm>
#include <thread>

namespace quorvel::ui {
namespace {

// The buttons of each set, in the order the box shows them.
std::vector<int> Buttons(std::uint32_t style) {
  switch (style & platform::kMessageBoxButtonMask) {
    case platform::MB_OKCANCEL:
      return {platform::IDOK, platform::IDCANCEL};
    case platform::MB_YESNOCANCEL:
      return {platform::IDYES, platform::IDNO, platform::IDCANCEL};
    case platform::MB_YESNO:
      return {platform::IDYES, platform::IDNO};
    default:
      return {platform::IDOK};
  }
}

}  // namespace

bool Progress::WaitCancelled(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!Cancelled()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
  }
  return true;
}

std::unique_ptr<DialogSession> Ui::Open(Dialog& dialog) { return PresentEachTime(*this, dialog); }

int DefaultButton(std::uint32_t style) {
  std::vector<int> buttons = Buttons(style);
  std::size_t index = (style & MB_DEFBUTTON3) ? 2 : (style & MB_DEFBUTTON2) ? 1 : 0;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

int AffirmativeButton(std::uint32_t style) { return Buttons(style).front(); }

int CancelButton(std::uint32_t style) {
  std::vector<int> buttons = Buttons(style);
  for (int wanted : {platform::IDCANCEL, platform::IDNO}) {
    for (int b : buttons) {
      if (b == wanted) return b;
    }
  }
  return buttons.front();
}

std::int32_t RunDialog(Ui& ui, Dialog& dialog) {
  for (;;) {
    std::int32_t button = ui.Present(dialog);
    if (button == dialog.cancelButton || !dialog.validate) return button;
    std::string problem = dialog.validate(dialog, button);
    if (problem.empty()) return button;
    ui.Show(problem, dialog.title, platform::MB_OK | platform::MB_ICONWARNING);
    if (!ui.Interactive()) return dialog.cancelButton;
  }
}

}  // namespace quorvel::ui
