#include "app/profile_store.h"

#include <iostream>

#include "host/profile_host.h"
#include "mapi/imap/imap_store.h"
#include "platform/registry_file.h"

namespace quorvel::app {

std::string CredentialsPath(const std::string& profile) {
  std::string registry = platform::DefaultRegistryDirectory();  // ".../Veltmark/registry/"
  if (registry.empty()) return {};
  registry.pop_back();
  return registry.substr(0, registry.find_last_of('/') + 1) + "credentials/" + profile;
}

mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenProfileStore(const host::Profile& profile,
                                                               bool watch, std::string* error,
                                                               host::OutcomeCode* code,
                                                               host::StoreLinks* links) {
  if (code) *code = host::OutcomeCode::kFailed;
  if (profile.imap.empty()) return host::OpenMaildirProfileStore(profile, watch, error);
  const std::string what =
      "the IMAP account of profile '" + profile.name + "' (" + profile.imap + ")";
  mapi::ImapStoreOptions options;
  std::string why;
  auto account = mapi::imap::ParseImapUrl(profile.imap, &why);
  if (!account) {
    *error = what + " cannot be used: " + why;
    return mapi::MAPI_E_INVALID_PARAMETER;
  }
  options.account = *account;
  options.account.caFile = profile.caFile;
  options.account.verifyCertificate = !profile.acceptUntrustedCertificate;
  options.password.command = profile.passwordCommand;
  if (profile.passwordCommand.empty()) options.password.file = CredentialsPath(profile.name);
  options.accountAddress = profile.addresses.empty() ? std::string() : profile.addresses.front();
  options.watch = watch;
  options.log = [](const std::string& line) { std::cerr << ("quorvel: " + line + "\n"); };
  // Named as the store names itself, as its other events do.
  const std::string name = options.account.user + "@" + options.account.host;
  if (links != nullptr) {
    options.linkChanged = [links, name](const mapi::ImapLinkChange& change) {
      links->Changed(name, change.connected, change.reason);
    };
  }
  auto store = mapi::OpenImapStore(options, &why);
  if (store.ok()) {
    if (links != nullptr) links->Add(name);
    return store;
  }
  *error = what + " cannot be opened: " + why;
  if (code && store.hr == mapi::MAPI_E_NETWORK_ERROR) *code = host::OutcomeCode::kUnreachable;
  if (code && store.hr == mapi::MAPI_E_LOGON_FAILED) *code = host::OutcomeCode::kRefused;
  if (store.hr == mapi::MAPI_E_NETWORK_ERROR) {
  } else if (why.find("certificate") != std::string::npos && profile.caFile.empty()) {
    *error +=
        " (add the profile again with --ca-file FILE to trust the server's own authority, or "
        "with --accept-untrusted-certificate)";
  }
  return store.hr;
}

}  // namespace quorvel::app
