#include "outlook/test_message.h"

#include <string>

#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/test_message_dialog.h"

namespace quorvel::outlook {
namespace {

constexpr unsigned kStringSelectMailItem = 551;
constexpr unsigned kStringSelectOneItem = 557;

void Say(ui::Ui& ui, unsigned id) {
  ui.Show(std::string(platform::LoadString(id)), std::string(platform::kProductName),
          platform::MB_OK);
}

}  // namespace

mapi::HRESULT TestItem(ui::Ui& ui, SpamJudge& judge, host::MailItem& item, ClassifyFlags flags) {
  auto message = item.MAPIOBJECT();
  if (!message.ok() || !*message) return mapi::E_FAIL;
  std::string reason;
  const bool spam = judge.IsSpam(*message, flags, &reason);
  ui::Dialog result = ui::TestMessageResult(spam, platform::AnsiToUtf8(reason));
  ui.Present(result);
  return mapi::S_OK;
}

mapi::HRESULT TestSelection(ui::Ui& ui, SpamJudge& judge, host::Explorer* explorer) {
  if (explorer != nullptr) {
    auto folder = explorer->CurrentFolder();
    if (folder && folder->DefaultItemType() != host::olMailItem) return mapi::S_OK;
  }
  const int count = explorer != nullptr ? explorer->Selection().Count() : 0;
  if (count == 0) {
    Say(ui, kStringSelectMailItem);
    return mapi::S_OK;
  }
  if (count != 1) {
    Say(ui, kStringSelectOneItem);
    return mapi::S_OK;
  }
  auto item = explorer->Selection().Item(1);
  if (item) TestItem(ui, judge, *item, kStandardFlags);
  return mapi::S_OK;
}

}  // namespace quorvel::outlook
