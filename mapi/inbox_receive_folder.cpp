#include "mapi/inbox_receive_folder.h"

#include "mapi/row_table.h"

namespace quorvel::mapi {

std::shared_ptr<Table> InboxReceiveFolderTable(const EntryId& inbox) {
  std::vector<std::vector<PropValue>> rows;
  for (const char* cls : {"", "IPM", "IPM.Note"}) {
    rows.push_back({PropValue::String8(PR_MESSAGE_CLASS, cls), PropValue::Id(PR_ENTRYID, inbox)});
  }
  std::vector<PropTag> columns = {PR_MESSAGE_CLASS, PR_ENTRYID};
  return std::make_shared<RowTable>(std::move(rows), columns);
}

ReceiveFolder InboxReceiveFolder(const EntryId& inbox, std::string_view messageClass) {
  for (std::string_view cls : {"IPM.Note", "IPM"}) {
    if (messageClass.substr(0, cls.size()) == cls &&
        (messageClass.size() == cls.size() || messageClass[cls.size()] == '.')) {
      return ReceiveFolder{inbox, std::string(cls)};
    }
  }
  return ReceiveFolder{inbox, ""};
}

}  // namespace quorvel::mapi
