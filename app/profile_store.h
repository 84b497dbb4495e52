// The store a profile names, opened for its host: the Maildir, or the IMAP account
// with its password from the profile's credentials file (or its password command)
// and its certificate rules.
#ifndef QUORVEL_APP_PROFILE_STORE_H_
#define QUORVEL_APP_PROFILE_STORE_H_

#include <memory>
#include <string>

#include "host/outcome.h"
#include "host/profiles.h"
#include "host/store_links.h"
#include "mapi/store.h"

namespace quorvel::app {

// The credentials file of a profile: $XDG_CONFIG_HOME/Veltmark/credentials/<profile>
// (else under $HOME/.config); empty when neither is set.
std::string CredentialsPath(const std::string& profile);

// Opens the profile's default store, noticing new mail when `watch`. A failure says
// what went wrong and what the user can do; `*code` (when given) tells a server that
// could not be reached (kUnreachable: worth trying again later) from a wrong password
// or certificate (kRefused: trying again does not help) and any other failure (kFailed).
// `links` (when given) hears when an IMAP store's connection is lost and back, and
// must outlive the store.
mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenProfileStore(const host::Profile& profile,
                                                               bool watch, std::string* error,
                                                               host::OutcomeCode* code = nullptr,
                                                               host::StoreLinks* links = nullptr);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_PROFILE_STORE_H_
