#include "host/folder_path.h"

#include "mapi/queries.h"
#include "mapi/utf8_text.h"
#include "platform/mailbox_name.h"

namespace quorvel::host {
namespace {

// The subfolder of `parent` named `name` (UTF-8, any case), read from one hierarchy
// table: the names compared are the store's Unicode ones where it gives them.
Result<std::shared_ptr<MAPIFolder>> ChildNamed(NameSpace& nameSpace, MAPIFolder& parent,
                                               const std::string& name) {
  auto opened = parent.MAPIOBJECT();
  if (!opened.ok()) return opened.hr;
  auto table = (*opened)->GetHierarchyTable(0);
  if (!table.ok()) return table.hr;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_UNICODE_DISPLAY_NAME,
                                   mapi::PR_DISPLAY_NAME};
  auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok()) return rows.hr;
  for (const mapi::Row& row : *rows) {
    const std::string rowName =
        mapi::GetUtf8(row, mapi::PR_UNICODE_DISPLAY_NAME, mapi::PR_DISPLAY_NAME);
    if (!rowName.empty() && platform::EqualsNoCaseUtf8(rowName, name)) {
      return nameSpace.GetFolderFromID(row[0].AsEntryId().ToHex(), parent.StoreID());
    }
  }
  return mapi::MAPI_E_NOT_FOUND;
}

}  // namespace

std::vector<std::string> SplitFolderPath(std::string_view path) {
  std::vector<std::string> names;
  if (path.empty()) return names;
  std::string name;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '\\' && i + 1 < path.size()) {
      name += path[++i];
    } else if (path[i] == '/') {
      names.push_back(std::move(name));
      name.clear();
    } else {
      name += path[i];
    }
  }
  names.push_back(std::move(name));
  return names;
}

std::string JoinFolderPath(const std::vector<std::string>& names) {
  std::string path;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) path += '/';
    for (char c : names[i]) {
      if (c == '/' || c == '\\') path += '\\';
      path += c;
    }
  }
  return path;
}

Outcome FindFolderByPath(NameSpace& nameSpace, std::string_view path,
                         std::shared_ptr<MAPIFolder>* folder) {
  std::vector<std::string> names = SplitFolderPath(path);
  if (names.empty()) return Outcome::Of(OutcomeCode::kNotFound, "no folder is named \"\"");
  std::shared_ptr<MAPIFolder> at;
  for (const auto& top : nameSpace.TopFolders()) {
    if (platform::EqualsNoCaseUtf8(top->NameUtf8(), names[0])) {
      at = top;
      break;
    }
  }
  std::size_t next = 1;
  if (!at) {
    auto inbox = nameSpace.GetDefaultFolder(olFolderInbox);
    if (!inbox.ok()) {
      return Outcome::Of(OutcomeCode::kNotFound, "no top folder is named \"" + names[0] + "\"");
    }
    at = *inbox;
    next = 0;
  }
  for (; next < names.size(); ++next) {
    auto child = ChildNamed(nameSpace, *at, names[next]);
    if (!child.ok()) {
      return Outcome::Of(OutcomeCode::kNotFound, "folder \"" + FolderPathOf(*at) +
                                                     "\" has no subfolder \"" + names[next] + "\"");
    }
    at = *child;
  }
  *folder = at;
  return Outcome::Ok();
}

std::string FolderPathOf(MAPIFolder& folder) {
  std::vector<std::string> names = {folder.NameUtf8()};
  // A parent chain longer than any real one is a loop in a damaged store.
  std::shared_ptr<MAPIFolder> parent = folder.Parent();
  for (int depth = 0; parent && depth < 256; ++depth) {
    names.insert(names.begin(), parent->NameUtf8());
    parent = parent->Parent();
  }
  return JoinFolderPath(names);
}

}  // namespace quorvel::host
