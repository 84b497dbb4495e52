#include "outlook/registration.h"

#include <vector>

#include "platform/file_system.h"

namespace quorvel::outlook {
namespace {

using platform::RegRoot;
using platform::RegValue;

constexpr RegRoot HKCU = RegRoot::kCurrentUser;
constexpr RegRoot HKLM = RegRoot::kLocalMachine;
constexpr RegRoot HKCR = RegRoot::kClassesRoot;

// One value to write: root, key, name ("" for the default value), data.
struct Entry {
  RegRoot root;
  std::string key;
  std::string name;
  RegValue value;
};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The classes and the type library, as class registration writes them.
std::vector<Entry> ClassEntries(const std::string& module) {
  struct Class {
    const char* clsid;
    const char* name;
    const char* progId;
    const char* versionIndependent;
  };
  // The add-in's version-independent ProgID is its versioned one, as it always was.
  const Class classes[] = {{kCoreClsid, "Quorvel2 Class", "Quorvel2.1", "Quorvel2"},
                           {kAddInClsid, "Quorvel Class", "Quorvel.1", "Quorvel.1"}};
  const std::string typeLib = kTypeLibId;
  std::vector<Entry> entries;
  auto add = [&](RegRoot root, std::string key, std::string name, RegValue value) {
    entries.push_back({root, std::move(key), std::move(name), std::move(value)});
  };
  for (const Class& c : classes) {
    const std::string clsid = c.clsid;
    add(HKCR, c.progId, "", RegValue::String(c.name));
    add(HKCR, std::string(c.progId) + "\\CLSID", "", RegValue::String(clsid));
  }
  add(HKCR, "Quorvel2", "", RegValue::String("Quorvel2 Class"));
  add(HKCR, "Quorvel2\\CLSID", "", RegValue::String(kCoreClsid));
  add(HKCR, "Quorvel2\\CurVer", "", RegValue::String("Quorvel2.1"));
  add(HKCR, "Quorvel", "", RegValue::String("Quorvel Class"));
  add(HKCR, "Quorvel\\CLSID", "", RegValue::String(kAddInClsid));
  add(HKCR, "Quorvel\\CurVer", "", RegValue::String("Quorvel.1"));
  for (const Class& c : classes) {
    const std::string key = std::string("CLSID\\") + c.clsid;
    add(HKCR, key, "", RegValue::String(c.name));
    add(HKCR, key + "\\ProgID", "", RegValue::String(c.progId));
    add(HKCR, key + "\\VersionIndependentProgID", "", RegValue::String(c.versionIndependent));
    add(HKCR, key + "\\Programmable", "", RegValue::String(""));
    add(HKCR, key + "\\InprocServer32", "", RegValue::String(module));
    add(HKCR, key + "\\InprocServer32", "ThreadingModel", RegValue::String("Apartment"));
    add(HKCR, key + "\\TypeLib", "", RegValue::String(typeLib));
  }
  const std::string lib = "TypeLib\\" + typeLib + "\\1.0";
  add(HKCR, lib, "", RegValue::String("QV 1.0 Type Library"));
  add(HKCR, lib + "\\0\\win32", "", RegValue::String(module));
  add(HKCR, lib + "\\FLAGS", "", RegValue::String("0"));
  add(HKCR, lib + "\\HELPDIR", "", RegValue::String(Folder(module)));
  const std::string iface = std::string("Interface\\") + kInterfaceId;
  add(HKCR, iface, "", RegValue::String("IQuorvel2"));
  add(HKCR, iface + "\\TypeLib", "", RegValue::String(typeLib));
  add(HKCR, iface + "\\TypeLib", "Version", RegValue::String("1.0"));
  return entries;
}

// The class keys' tops, removed whole on unregistration.
std::vector<std::string> ClassKeys() {
  return {"Quorvel2.1",
          "Quorvel2",
          "Quorvel.1",
          "Quorvel",
          std::string("CLSID\\") + kCoreClsid,
          std::string("CLSID\\") + kAddInClsid,
          std::string("TypeLib\\") + kTypeLibId,
          std::string("Interface\\") + kInterfaceId};
}

void DeleteExtensionCache(platform::Registry& registry) {
  RegValue value;
  if (registry.QueryValue(HKCU,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          "Local AppData", &value) != platform::ERROR_SUCCESS) {
    return;
  }
  std::string folder(value.data.begin(), value.data.end());
  while (!folder.empty() && folder.back() == '\0') folder.pop_back();
  if (folder.empty()) return;
  platform::RealFileSystem().Remove(folder + "/Microsoft/Outlook/extend.dat");
}

long Fail(long code, const std::string& what, platform::Registry& registry, std::string* error) {
  if (error) {
    *error = what;
    std::string reason = registry.LastError();
    if (!reason.empty()) *error += ": " + reason;
  }
  return code;
}

}  // namespace

long RegisterAddIn(platform::Registry& registry, const std::string& modulePath,
                   std::string* error) {
  DeleteExtensionCache(registry);
  std::vector<Entry> entries;
  const std::string addIn = std::string(kAddInsKey) + "\\Quorvel";
  entries.push_back(
      {HKLM, addIn, "Description", RegValue::String("AntiSpam add-in for Microsoft Outlook")});
  entries.push_back({HKLM, addIn, "FriendlyName", RegValue::String("Quorvel")});
  entries.push_back({HKLM, addIn, "LoadBehavior", RegValue::Dword(3)});
  for (Entry& e : ClassEntries(modulePath)) entries.push_back(std::move(e));
  entries.push_back({HKLM, kExtensionsKey, "Quorvel",
                     RegValue::String(Replace(kExtensionValue, "%MODULE%", modulePath))});
  for (const Entry& e : entries) {
    const std::string where = std::string(platform::RegRootName(e.root)) + "\\" + e.key;
    if (long rc = registry.CreateKey(e.root, e.key); rc != platform::ERROR_SUCCESS) {
      return Fail(rc, "cannot create " + where, registry, error);
    }
    if (long rc = registry.SetValue(e.root, e.key, e.name, e.value);
        rc != platform::ERROR_SUCCESS) {
      return Fail(rc, "cannot write " + where, registry, error);
    }
  }
  return platform::ERROR_SUCCESS;
}

long UnregisterAddIn(platform::Registry& registry, std::string* error) {
  auto gone = [](long rc) {
    return rc == platform::ERROR_SUCCESS || rc == platform::ERROR_FILE_NOT_FOUND;
  };
  const std::string oldKey = std::string(kAddInsKey) + "\\QV.QVAddIn";
  if (long rc = registry.DeleteTree(HKLM, oldKey); !gone(rc)) {
    return Fail(rc, std::string("cannot delete HKEY_LOCAL_MACHINE\\") + oldKey, registry, error);
  }
  DeleteExtensionCache(registry);
  if (long rc = registry.DeleteValue(HKLM, kExtensionsKey, "Quorvel"); !gone(rc)) {
    return Fail(rc,
                std::string("cannot delete HKEY_LOCAL_MACHINE\\") + kExtensionsKey + "\\Quorvel",
                registry, error);
  }
  for (const std::string& key : ClassKeys()) {
    if (long rc = registry.DeleteTree(HKCR, key); !gone(rc)) {
      return Fail(rc, "cannot delete HKEY_CLASSES_ROOT\\" + key, registry, error);
    }
  }
  return platform::ERROR_SUCCESS;
}

bool AddInRegistered(platform::Registry& registry) {
  return registry.KeyExists(HKCR, std::string("CLSID\\") + kAddInClsid);
}

}  // namespace quorvel::outlook
