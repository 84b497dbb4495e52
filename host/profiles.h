// Profiles: the stand-in for the mail client's profiles, kept in the registry under
// HKEY_CURRENT_USER\Software\Microsoft\Windows NT\CurrentVersion\Windows Messaging
// Subsystem\Profiles: one subkey per profile with its default store, either "Maildir"
// (REG_SZ, a folder) or "Imap" (REG_SZ, an account address "imaps://user@host[:port]"
// or "imap://...", with "PasswordCommand" and "CaFile" (REG_SZ) and
// "AcceptUntrustedCertificate" (REG_DWORD 1) when given), "Addresses" (REG_MULTI_SZ,
// the user's own addresses), and the key's "DefaultProfile" value naming the default
// one.
//
// Names compare case-insensitively, like registry keys. Every failure comes back as
// false with a message for the user in *error.
#ifndef QUORVEL_HOST_PROFILES_H_
#define QUORVEL_HOST_PROFILES_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace quorvel::host {

inline constexpr const char* kProfilesKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

struct Profile {
  Profile() = default;
  // A Maildir profile.
  Profile(std::string name_, std::string maildir_, std::vector<std::string> addresses_,
          bool isDefault_)
      : name(std::move(name_)),
        maildir(std::move(maildir_)),
        addresses(std::move(addresses_)),
        isDefault(isDefault_) {}

  std::string name;
  std::string maildir;  // the default store's folder; empty for an IMAP profile
  std::vector<std::string> addresses;
  bool isDefault = false;
  // An IMAP profile: the account's address (empty for a Maildir profile), a command
  // that prints the password (else the profile's credentials file holds it), the
  // authorities to trust in place of the system's, and whether a server certificate
  // that does not verify is accepted all the same.
  std::string imap;
  std::string passwordCommand;
  std::string caFile;
  bool acceptUntrustedCertificate = false;
  // The user's address books: vCard files or folders of ".vcf" files. The first is
  // the Contacts folder, the others are containers of the address book.
  std::vector<std::string> addressBooks;

  // What the profile's store is, for the user: the folder or the account's address.
  const std::string& StoreName() const { return imap.empty() ? maildir : imap; }
};

// A mail address of the user's own as `profile add --address` takes it: local@domain,
// one '@', no blanks, control characters or the punctuation of a display form
// ("<>()[],;:\"\\"), a local part of at most 64 and a domain of dot-separated labels
// (letters, digits, '-') of at most 253.
bool ValidAddress(std::string_view address);

class Profiles {
 public:
  explicit Profiles(platform::Registry& registry) : registry_(registry) {}

  // Adds a profile; the first one, or one added with makeDefault, becomes the default.
  // An address that is not ValidAddress is refused.
  bool Add(const Profile& profile, bool makeDefault, std::string* error);
  bool Remove(const std::string& name, std::string* error);
  bool SetDefault(const std::string& name, std::string* error);
  // Every profile, sorted by name. False only when the registry cannot be read.
  bool List(std::vector<Profile>* out, std::string* error);
  // The profile `requested` names, or the default one when it is empty; a clear error
  // (how to add or choose one) otherwise.
  bool Resolve(const std::string& requested, Profile* out, std::string* error);

 private:
  bool Read(const std::string& name, Profile* out, std::string* error);
  std::string DefaultName();

  platform::Registry& registry_;
};

// A profile name usable as a registry key and inside file names: 1 to 64 letters,
// digits, '.', '_' or '-', not starting with '.'.
bool ValidProfileName(const std::string& name);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_PROFILES_H_
