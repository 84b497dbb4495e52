#include "host/add_in_loader.h"

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quorvel::host {
namespace {

using platform::RegRoot;
using platform::RegValue;

constexpr const char* kAddIns = "Software\\Microsoft\\Office\\Outlook\\Addins";
constexpr const char* kExtensions = "SOFTWARE\\Microsoft\\Exchange\\Client\\Extensions";

bool ReadText(platform::Registry& r, RegRoot root, const std::string& key, const std::string& name,
              std::string* out) {
  RegValue v;
  if (r.QueryValue(root, key, name, &v) != platform::ERROR_SUCCESS) return false;
  if (v.type != platform::REG_SZ && v.type != platform::REG_EXPAND_SZ) return false;
  out->assign(v.data.begin(), v.data.end());
  while (!out->empty() && out->back() == '\0') out->pop_back();
  return true;
}

bool Exists(const std::string& path) { return platform::RealFileSystem().Exists(path); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

void LoadOne(platform::Registry& r, RegRoot root, const std::string& progId,
             const AddInFactories& factories, LoadResult* result) {
  const std::string key = std::string(kAddIns) + "\\" + progId;
  RegValue behavior;
  long rc = r.QueryValue(root, key, "LoadBehavior", &behavior);
  if (rc != platform::ERROR_SUCCESS) {
    result->notes.push_back("add-in " + progId +
                            " is not loaded: its registration has no LoadBehavior");
    return;
  }
  if (behavior.type != platform::REG_DWORD || behavior.data.size() != 4) {
    result->notes.push_back(
        "add-in " + progId +
        " is not loaded: its registration is damaged (LoadBehavior is no number)");
    return;
  }
  std::uint32_t load = behavior.data[0] | behavior.data[1] << 8 | behavior.data[2] << 16 |
                       static_cast<std::uint32_t>(behavior.data[3]) << 24;
  if ((load & 3) != 3) {
    result->notes.push_back("add-in " + progId + " is not loaded: its LoadBehavior is " +
                            std::to_string(load) + ", not set to load at start");
    return;
  }
  std::string clsid, module;
  if (!ReadText(r, RegRoot::kClassesRoot, progId + "\\CLSID", "", &clsid)) {
    result->notes.push_back("add-in " + progId +
                            " is not loaded: its class is not registered (run 'quorvel register')");
    return;
  }
  if (!ReadText(r, RegRoot::kClassesRoot, "CLSID\\" + clsid + "\\InprocServer32", "", &module) ||
      module.empty()) {
    result->notes.push_back("add-in " + progId + " is not loaded: class " + clsid +
                            " names no module (run 'quorvel register')");
    return;
  }
  if (!Exists(module)) {
    result->notes.push_back("add-in " + progId + " is not loaded: its module " + module +
                            " does not exist (run 'quorvel register' again)");
    return;
  }
  auto factory = factories.addIns.find(clsid);
  if (factory == factories.addIns.end()) {
    result->notes.push_back("add-in " + progId + " is not loaded: class " + clsid +
                            " is not one this program provides");
    return;
  }
  for (const LoadedAddIn& loaded : result->addIns) {
    if (loaded.clsid == clsid) return;  // registered for the machine and the user
  }
  std::shared_ptr<AddIn> addIn = factory->second();
  if (!addIn) {
    result->notes.push_back("add-in " + progId + " is not loaded: it could not be created");
    return;
  }
  result->addIns.push_back({progId, clsid, std::move(addIn)});
}

}  // namespace

LoadResult LoadAddIns(platform::Registry& registry, const AddInFactories& factories) {
  LoadResult result;
  for (RegRoot root : {RegRoot::kLocalMachine, RegRoot::kCurrentUser}) {
    std::vector<std::string> names;
    long rc = registry.EnumSubKeys(root, kAddIns, &names);
    if (rc == platform::ERROR_BADDB) {
      result.notes.push_back("the add-in registrations cannot be read: " + registry.LastError());
    }
    for (const std::string& progId : names) LoadOne(registry, root, progId, factories, &result);
  }
  if (result.addIns.empty() && result.notes.empty()) {
    result.notes.push_back("no add-in is registered (run 'quorvel register')");
  }

  std::vector<std::string> values;
  if (registry.EnumValues(RegRoot::kLocalMachine, kExtensions, &values) ==
      platform::ERROR_SUCCESS) {
    for (const std::string& name : values) {
      std::string text;
      if (!ReadText(registry, RegRoot::kLocalMachine, kExtensions, name, &text)) continue;
      std::vector<std::string> parts = Split(text, ';');
      if (parts.size() < 3 || parts[0] != "4.0" || parts[1].empty()) {
        result.notes.push_back("client extension " + name + " is not loaded: its value \"" + text +
                               "\" is damaged");
        continue;
      }
      if (!Exists(parts[1])) {
        result.notes.push_back("client extension " + name + " is not loaded: its module " +
                               parts[1] + " does not exist");
        continue;
      }
      if (!factories.clientExtension || result.clientExtension) continue;
      result.clientExtension = factories.clientExtension();
    }
  }
  return result;
}

}  // namespace quorvel::host
