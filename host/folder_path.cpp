#include "host/folder_path.h"

#include "platform/code_page.h"

namespace quorvel::host {

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
    if (platform::CompareNoCase(top->Name(), platform::Utf8ToAnsi(names[0])) == 0) {
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
    auto child = at->Folders()->Item(platform::Utf8ToAnsi(names[next]));
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
  std::vector<std::string> names = {platform::AnsiToUtf8(folder.Name())};
  // A parent chain longer than any real one is a loop in a damaged store.
  std::shared_ptr<MAPIFolder> parent = folder.Parent();
  for (int depth = 0; parent && depth < 256; ++depth) {
    names.insert(names.begin(), platform::AnsiToUtf8(parent->Name()));
    parent = parent->Parent();
  }
  return JoinFolderPath(names);
}

}  // namespace quorvel::host
