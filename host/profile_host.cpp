#include "host/profile_host.h"

#include <unistd.h>

#include <iostream>

#include "host/store_namespace.h"
#include "host/store_session.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/vcard/vcard_books.h"

namespace quorvel::host {

std::string HostLockPath(const std::string& dataFolder, const std::string& profile) {
  std::string folder = dataFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + "host-" + profile + ".lock";
}

mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenMaildirProfileStore(const Profile& profile,
                                                                      bool watch,
                                                                      std::string* error) {
  if (::access(profile.maildir.c_str(), R_OK | W_OK | X_OK) != 0) {
    *error = "the Maildir of profile '" + profile.name + "' (" + profile.maildir +
             ") is missing or not readable and writable";
    return mapi::MAPI_E_NOT_FOUND;
  }
  mapi::MaildirOptions options;
  options.accountAddress = profile.addresses.empty() ? std::string() : profile.addresses.front();
  options.watch = watch;
  options.log = [](const std::string& line) { std::cerr << ("quorvel: " + line + "\n"); };
  auto store = mapi::OpenMaildirStore(profile.maildir, options);
  if (!store.ok()) {
    *error =
        "the Maildir of profile '" + profile.name + "' (" + profile.maildir + ") cannot be opened";
  }
  return store;
}

std::unique_ptr<ProfileHost> ProfileHost::Open(HostConfig config, std::string* error) {
  std::unique_ptr<ProfileHost> host(new ProfileHost(std::move(config)));
  const Profile& profile = host->config_.profile;
  platform::LockHolder holder;
  std::string lockError;
  host->lock_ = platform::LockFile::TryAcquire(host->config_.lockPath, &holder, &lockError);
  if (!host->lock_) {
    if (!lockError.empty()) {
      *error = lockError;
    } else {
      *error = "a host for profile '" + profile.name + "' is running already" +
               (holder.pid > 0 ? " (PID " + std::to_string(holder.pid) + ")" : std::string());
    }
    return nullptr;
  }
  const StoreOpener& open =
      host->config_.openStore ? host->config_.openStore : StoreOpener(OpenMaildirProfileStore);
  auto store = open(profile, host->config_.watch, error);
  if (!store.ok()) return nullptr;
  host->store_ = *store;
  std::shared_ptr<mapi::vcard::VCardBooks> books;
  if (!profile.addressBooks.empty()) {
    books = mapi::vcard::VCardBooks::Load(profile.addressBooks);
    for (const std::string& problem : books->problems()) {
      host->bookNotes_.push_back("address book " + problem);
    }
  }
  auto session = std::make_shared<StoreSession>(
      profile.name, std::vector<std::shared_ptr<mapi::MsgStore>>{*store}, books);
  auto nameSpace = StoreNameSpace::Create(session, profile.name, profile.addresses);
  host->application_ = std::make_unique<Application>(nameSpace, *host->config_.presenter);
  auto inbox = nameSpace->GetDefaultFolder(olFolderInbox);
  if (!inbox.ok()) {
    *error = "the Inbox of profile '" + profile.name + "' cannot be opened";
    return nullptr;
  }
  host->mainWindow_ = host->application_->Explorers()->Add(*inbox);
  host->mainWindow_->Activate();
  host->since_ = std::time(nullptr);
  return host;
}

ProfileHost::~ProfileHost() { Disconnect(); }

std::vector<std::string> ProfileHost::Connect() {
  loaded_ = LoadAddIns(*config_.registry, config_.factories);
  if (loaded_.clientExtension) {
    // The mail client installs its extensions at logon, before the add-ins connect.
    ExtensionEvents::Places places;
    std::shared_ptr<NameSpace> ns = application_->Session();
    places.session = ns->MAPIOBJECT();
    places.store = store_;
    if (auto inbox = ns->GetDefaultFolder(olFolderInbox); inbox.ok() && *inbox) {
      if (auto id = mapi::EntryId::FromHex((*inbox)->EntryID())) places.inbox = *id;
    }
    if (auto sent = ns->GetDefaultFolder(olFolderSentMail); sent.ok() && *sent) {
      if (auto id = mapi::EntryId::FromHex((*sent)->EntryID())) places.sentItems = *id;
    }
    extensionEvents_ = ExtensionEvents::Start(loaded_.clientExtension, std::move(places));
  }
  for (LoadedAddIn& a : loaded_.addIns) a.addIn->OnConnection(*application_, ext_cm_Startup);
  for (LoadedAddIn& a : loaded_.addIns) a.addIn->OnStartupComplete();
  ready_ = true;
  std::vector<std::string> notes = bookNotes_;
  notes.insert(notes.end(), loaded_.notes.begin(), loaded_.notes.end());
  return notes;
}

void ProfileHost::Disconnect() {
  ready_ = false;
  std::vector<LoadedAddIn> addIns;
  addIns.swap(loaded_.addIns);
  for (LoadedAddIn& a : addIns) a.addIn->OnBeginShutdown();
  for (LoadedAddIn& a : addIns) a.addIn->OnDisconnection(ext_dm_HostShutdown);
  if (extensionEvents_) extensionEvents_->Stop();
  extensionEvents_.reset();
  loaded_.clientExtension.reset();
}

void ProfileHost::WaitUntilIdle() {
  for (LoadedAddIn& a : loaded_.addIns) a.addIn->WaitUntilIdle();
}

bool ProfileHost::WaitUntilIdleFor(std::chrono::milliseconds limit) {
  for (LoadedAddIn& a : loaded_.addIns) {
    if (!a.addIn->WaitUntilIdleFor(limit)) return false;
  }
  return true;
}

std::shared_ptr<AddIn> ProfileHost::FindAddIn(const std::string& clsid) const {
  for (const LoadedAddIn& a : loaded_.addIns) {
    if (a.clsid == clsid) return a.addIn;
  }
  return nullptr;
}

std::vector<std::shared_ptr<AddIn>> ProfileHost::AddIns() const {
  std::vector<std::shared_ptr<AddIn>> out;
  for (const LoadedAddIn& a : loaded_.addIns) out.push_back(a.addIn);
  return out;
}

}  // namespace quorvel::host
