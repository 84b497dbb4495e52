#include "outlook/open_folder.h"

namespace quorvel::outlook {

std::shared_ptr<mapi::Folder> OpenFolder(mapi::Session& session, const mapi::EntryId& id) {
  if (!id.present()) return nullptr;
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_FOLDER) return nullptr;
  return opened->As<mapi::Folder>();
}

std::shared_ptr<mapi::Folder> OpenFolder(mapi::Session& session, const std::string& hex) {
  auto id = mapi::EntryId::FromHex(hex);
  return id ? OpenFolder(session, *id) : nullptr;
}

}  // namespace quorvel::outlook
