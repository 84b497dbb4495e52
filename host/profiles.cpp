#include "host/profiles.h"

#include <algorithm>
#include <cctype>

#include "platform/code_page.h"

namespace quorvel::host {
namespace {

using platform::RegRoot;
using platform::RegValue;

constexpr RegRoot HKCU = RegRoot::kCurrentUser;

std::string Key(const std::string& name) { return std::string(kProfilesKey) + "\\" + name; }

std::string AsText(const RegValue& v) {
  std::string text(v.data.begin(), v.data.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

RegValue MultiString(const std::vector<std::string>& items) {
  std::vector<std::uint8_t> data;
  for (const std::string& item : items) {
    data.insert(data.end(), item.begin(), item.end());
    data.push_back(0);
  }
  data.push_back(0);
  RegValue v;
  v.type = platform::REG_MULTI_SZ;
  v.data = std::move(data);
  return v;
}

std::vector<std::string> SplitMulti(const RegValue& v) {
  std::vector<std::string> items;
  std::string current;
  for (std::uint8_t b : v.data) {
    if (b != 0) {
      current.push_back(static_cast<char>(b));
    } else if (!current.empty()) {
      items.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) items.push_back(std::move(current));
  return items;
}

bool Failed(long rc, const std::string& what, platform::Registry& registry, std::string* error) {
  if (rc == platform::ERROR_SUCCESS) return false;
  *error = what;
  std::string reason = registry.LastError();
  if (!reason.empty()) *error += ": " + reason;
  return true;
}

const char* kHowToAdd =
    "add one with 'quorvel profile add NAME --maildir DIR' or 'quorvel profile add NAME --imap "
    "imaps://USER@HOST'";

}  // namespace

bool ValidProfileName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

bool ValidAddress(std::string_view address) {
  const std::size_t at = address.find('@');
  if (at == std::string_view::npos || at == 0 || at > 64 ||
      address.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  for (char c : address.substr(0, at)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F ||
        std::string_view("<>()[],;:\"\\").find(c) != std::string_view::npos) {
      return false;
    }
  }
  std::string_view domain = address.substr(at + 1);
  if (domain.empty() || domain.size() > 253) return false;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= domain.size(); ++i) {
    if (i == domain.size() || domain[i] == '.') {
      if (label == 0 || label > 63) return false;
      label = 0;
      continue;
    }
    const char c = domain[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
    ++label;
  }
  return true;
}

std::string Profiles::DefaultName() {
  RegValue v;
  if (registry_.QueryValue(HKCU, kProfilesKey, "DefaultProfile", &v) != platform::ERROR_SUCCESS) {
    return {};
  }
  return AsText(v);
}

bool Profiles::Read(const std::string& name, Profile* out, std::string* error) {
  const std::string key = Key(name);
  RegValue maildir, imap;
  long rc = registry_.QueryValue(HKCU, key, "Maildir", &maildir);
  long imapRc = registry_.QueryValue(HKCU, key, "Imap", &imap);
  if (rc == platform::ERROR_FILE_NOT_FOUND && imapRc == platform::ERROR_FILE_NOT_FOUND) {
    *error = registry_.KeyExists(HKCU, key)
                 ? "profile '" + name +
                       "' is damaged: it names no Maildir and no IMAP account (remove it and "
                       "add it again)"
                 : "no profile named '" + name + "' (see 'quorvel profile list')";
    return false;
  }
  *out = Profile{};
  if (imapRc != platform::ERROR_FILE_NOT_FOUND) {
    if (Failed(imapRc, "cannot read profile '" + name + "'", registry_, error)) return false;
    if (imap.type != platform::REG_SZ || AsText(imap).empty()) {
      *error = "profile '" + name + "' is damaged: its Imap value is not an account address";
      return false;
    }
    out->imap = AsText(imap);
    RegValue v;
    if (registry_.QueryValue(HKCU, key, "PasswordCommand", &v) == platform::ERROR_SUCCESS) {
      out->passwordCommand = AsText(v);
    }
    if (registry_.QueryValue(HKCU, key, "CaFile", &v) == platform::ERROR_SUCCESS) {
      out->caFile = AsText(v);
    }
    if (registry_.QueryValue(HKCU, key, "AcceptUntrustedCertificate", &v) ==
        platform::ERROR_SUCCESS) {
      out->acceptUntrustedCertificate = v.type == platform::REG_DWORD && v.data.size() == 4 &&
                                        (v.data[0] | v.data[1] | v.data[2] | v.data[3]) != 0;
    }
  } else {
    if (Failed(rc, "cannot read profile '" + name + "'", registry_, error)) return false;
    if (maildir.type != platform::REG_SZ || AsText(maildir).empty()) {
      *error = "profile '" + name + "' is damaged: its Maildir value is not a folder name";
      return false;
    }
    out->maildir = AsText(maildir);
  }
  // The key's own spelling of the name.
  std::vector<std::string> names;
  registry_.EnumSubKeys(HKCU, kProfilesKey, &names);
  out->name = name;
  for (const std::string& n : names) {
    if (platform::CompareNoCase(n, name) == 0) out->name = n;
  }
  RegValue addresses;
  if (registry_.QueryValue(HKCU, key, "Addresses", &addresses) == platform::ERROR_SUCCESS) {
    out->addresses = SplitMulti(addresses);
  }
  RegValue books;
  if (registry_.QueryValue(HKCU, key, "AddressBooks", &books) == platform::ERROR_SUCCESS) {
    out->addressBooks = SplitMulti(books);
  }
  out->isDefault = platform::CompareNoCase(DefaultName(), out->name) == 0;
  return true;
}

bool Profiles::Add(const Profile& profile, bool makeDefault, std::string* error) {
  if (!ValidProfileName(profile.name)) {
    *error = "'" + profile.name +
             "' is not a usable profile name (letters, digits, '.', '_' and '-', at most 64)";
    return false;
  }
  if (registry_.KeyExists(HKCU, Key(profile.name))) {
    *error = "a profile named '" + profile.name + "' exists already";
    return false;
  }
  std::vector<Profile> existing;
  if (!List(&existing, error)) return false;
  if (profile.maildir.empty() == profile.imap.empty()) {
    *error = "a profile names either a Maildir or an IMAP account";
    return false;
  }
  for (const std::string& address : profile.addresses) {
    if (!ValidAddress(address)) {
      *error = "'" + address + "' is not a mail address (user@example.org)";
      return false;
    }
  }
  const std::string key = Key(profile.name);
  std::vector<std::pair<const char*, RegValue>> values;
  if (profile.imap.empty()) {
    values.emplace_back("Maildir", RegValue::String(profile.maildir));
  } else {
    values.emplace_back("Imap", RegValue::String(profile.imap));
    if (!profile.passwordCommand.empty()) {
      values.emplace_back("PasswordCommand", RegValue::String(profile.passwordCommand));
    }
    if (!profile.caFile.empty()) values.emplace_back("CaFile", RegValue::String(profile.caFile));
    if (profile.acceptUntrustedCertificate) {
      values.emplace_back("AcceptUntrustedCertificate", RegValue::Dword(1));
    }
  }
  values.emplace_back("Addresses", MultiString(profile.addresses));
  if (!profile.addressBooks.empty()) {
    values.emplace_back("AddressBooks", MultiString(profile.addressBooks));
  }
  bool failed = Failed(registry_.CreateKey(HKCU, key), "cannot create profile", registry_, error);
  for (const auto& [valueName, value] : values) {
    failed = failed || Failed(registry_.SetValue(HKCU, key, valueName, value),
                              "cannot write profile", registry_, error);
  }
  if (failed) {
    registry_.DeleteTree(HKCU, key);
    return false;
  }
  bool hasDefault = false;
  for (const Profile& p : existing) hasDefault = hasDefault || p.isDefault;
  if (makeDefault || !hasDefault) return SetDefault(profile.name, error);
  return true;
}

bool Profiles::Remove(const std::string& name, std::string* error) {
  Profile profile;
  if (!registry_.KeyExists(HKCU, Key(name))) {
    *error = "no profile named '" + name + "' (see 'quorvel profile list')";
    return false;
  }
  bool wasDefault = platform::CompareNoCase(DefaultName(), name) == 0;
  if (Failed(registry_.DeleteTree(HKCU, Key(name)), "cannot remove profile '" + name + "'",
             registry_, error)) {
    return false;
  }
  if (wasDefault) registry_.DeleteValue(HKCU, kProfilesKey, "DefaultProfile");
  return true;
}

bool Profiles::SetDefault(const std::string& name, std::string* error) {
  Profile profile;
  if (!Read(name, &profile, error)) return false;
  return !Failed(
      registry_.SetValue(HKCU, kProfilesKey, "DefaultProfile", RegValue::String(profile.name)),
      "cannot set the default profile", registry_, error);
}

bool Profiles::List(std::vector<Profile>* out, std::string* error) {
  out->clear();
  std::vector<std::string> names;
  long rc = registry_.EnumSubKeys(HKCU, kProfilesKey, &names);
  if (rc == platform::ERROR_FILE_NOT_FOUND) return true;
  if (Failed(rc, "cannot read the profiles", registry_, error)) return false;
  for (const std::string& name : names) {
    Profile p;
    std::string ignored;
    if (Read(name, &p, &ignored)) {
      out->push_back(std::move(p));
    } else {
      out->push_back({name, "", {}, false});  // listed, so that it can be removed
    }
  }
  std::sort(out->begin(), out->end(), [](const Profile& a, const Profile& b) {
    return platform::CompareNoCase(a.name, b.name) < 0;
  });
  return true;
}

bool Profiles::Resolve(const std::string& requested, Profile* out, std::string* error) {
  if (!requested.empty()) return Read(requested, out, error);
  std::vector<Profile> all;
  if (!List(&all, error)) return false;
  if (all.empty()) {
    *error = std::string("no profile yet: ") + kHowToAdd;
    return false;
  }
  std::string name = DefaultName();
  if (name.empty() || !registry_.KeyExists(HKCU, Key(name))) {
    *error =
        "no default profile: choose one with 'quorvel profile default NAME' or give "
        "--profile NAME";
    return false;
  }
  return Read(name, out, error);
}

}  // namespace quorvel::host
