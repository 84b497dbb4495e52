// quorvel profile add NAME --maildir DIR [--address ADDR]... [--address-book PATH]...
//                          [--default]
// quorvel profile add NAME --imap imaps://USER@HOST[:PORT] [--password-command CMD]
//                          [--ca-file FILE] [--accept-untrusted-certificate] ...
// quorvel profile list | remove NAME | default NAME
//
// Profiles name their default store (a Maildir or an IMAP account) and the user's own
// addresses, and the user's address books (vCard files or folders of .vcf files; the
// first is the Contacts folder). The first profile added becomes the default. The
// password of an IMAP account comes from its command, or from the profile's
// credentials file, which `add` writes (mode 0600) from what it reads on standard input
// (asked for, without echo, at a terminal) unless the file is there already. An
// account address never holds the password. `add` of an IMAP profile logs in once
// first (unless --no-check), and the first profile registers the add-in when nothing
// is registered.
// Exit status: 0; 1 when the change cannot be made (an unknown or existing
// name, a folder that is neither a Maildir nor empty, an address that is no IMAP
// account or no mail address, no password, an unwritable registry, the host of the
// profile to remove still running, an IMAP account that cannot be logged in to).
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <ostream>

#include "app/commands.h"
#include "app/host_setup.h"
#include "app/profile_store.h"
#include "host/profiles.h"
#include "mapi/imap/imap_account.h"
#include "mapi/imap/password_source.h"
#include "outlook/registration.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/printable.h"
#include "platform/registry_file.h"
#include "settings/data_folder.h"

namespace quorvel::app {
namespace {

struct ProfileOptions {
  std::string name;
  std::string maildir;
  std::string imap;
  std::string passwordCommand;
  std::string caFile;
  bool acceptUntrusted = false;
  std::vector<std::string> addresses;
  std::vector<std::string> addressBooks;
  bool makeDefault = false;
  bool noCheck = false;
};

int Fail(CommandIo& io, const std::string& error) {
  io.err << "quorvel: " << platform::Printable(error) << "\n";
  return kExitFailure;
}

// The first line of standard input; at a terminal asked for with `prompt` and
// without echo.
std::string ReadPasswordLine(const std::string& prompt, CommandIo& io) {
  termios saved{};
  bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    io.err << prompt << std::flush;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    io.err << "\n";
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// An existing folder or file, as an absolute path; "" when there is none.
std::string Resolved(const std::string& path, bool folder) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (::realpath(path.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0 ||
      (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))) {
    return {};
  }
  return resolved;
}

// Why `folder` (an existing folder, absolute) cannot be a profile's Maildir; "" when
// it can: a Maildir (with cur/, new/ or tmp/) or an empty folder, which the host
// makes one. Anything else would be filled with Maildir folders by the host.
std::string MaildirProblem(const std::string& folder) {
  if (folder == "/") return "the root folder / cannot be a Maildir";
  platform::FileSystem& files = platform::RealFileSystem();
  bool maildir = false;  // one of its folders is enough: the host makes the others
  for (const char* sub : {"/cur", "/new", "/tmp"}) {
    platform::FileInfo info;
    maildir = maildir ||
              (files.Stat(folder + sub, &info).ok() && info.kind == platform::FileKind::kFolder);
  }
  if (maildir) return {};
  std::vector<platform::FolderEntry> entries;
  if (!files.ListFolder(folder, &entries).ok()) return "the folder " + folder + " cannot be read";
  if (entries.empty()) return {};
  return "the folder " + folder +
         " is neither a Maildir (with cur/, new/ or tmp/) nor empty: name the Maildir itself, "
         "or an empty folder for a new one";
}

// Refuses to remove the profile of a host that runs: its store, lock and socket would
// be left to a host of a profile that no longer exists.
bool HostStopped(const std::string& profile, CommandIo& io) {
  const std::string dataFolder = DefaultDataFolders().DataFolder();
  if (dataFolder.empty()) return true;
  const platform::LockHolder holder =
      platform::LockFile::Holder(host::HostLockPath(dataFolder, profile));
  if (holder.pid == 0) return true;
  Fail(io, "the host of profile '" + profile + "' runs (PID " + std::to_string(holder.pid) +
               "): stop it first (systemctl --user stop quorvel, or end its quorvel run), then "
               "remove the profile");
  return false;
}

// The IMAP half of `add`: the account checked, its certificate rules, and the
// password's source ready (the credentials file written when needed).
bool PrepareImap(const ProfileOptions& o, host::Profile* profile, bool* wrotePassword,
                 CommandIo& io) {
  std::string error;
  auto account = mapi::imap::ParseImapUrl(o.imap, &error);
  if (!account) {
    Fail(io, error);
    return false;
  }
  profile->imap = mapi::imap::FormatImapUrl(*account);
  profile->passwordCommand = o.passwordCommand;
  profile->acceptUntrustedCertificate = o.acceptUntrusted;
  if (!o.caFile.empty()) {
    profile->caFile = Resolved(o.caFile, false);
    if (profile->caFile.empty()) {
      Fail(io, "the certificate file " + o.caFile + " is not a readable file");
      return false;
    }
  }
  if (profile->addresses.empty() && account->user.find('@') != std::string::npos) {
    profile->addresses.push_back(account->user);
  }
  if (!o.passwordCommand.empty()) return true;
  const std::string path = CredentialsPath(profile->name);
  if (path.empty()) {
    Fail(io, "no place for the credentials file: set XDG_CONFIG_HOME or HOME");
    return false;
  }
  if (mapi::imap::ReadPassword({path, ""}, &error)) return true;  // written by the user
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    Fail(io, error);
    return false;
  }
  std::string password =
      ReadPasswordLine("Password for " + account->user + " at " + account->host + ": ", io);
  if (password.empty()) {
    Fail(io, "no password given: type it on standard input, write it into " + path +
                 " (mode 0600) first, or give --password-command CMD");
    return false;
  }
  if (!mapi::imap::WritePasswordFile(path, password, &error)) {
    Fail(io, error);
    return false;
  }
  *wrotePassword = true;
  return true;
}

int Add(const ProfileOptions& o, CommandIo& io) {
  if (o.maildir.empty() == o.imap.empty()) {
    io.err << "quorvel: profile add: give either --maildir DIR or --imap URL\n";
    return kExitUsage;
  }
  if (o.imap.empty() && (!o.passwordCommand.empty() || !o.caFile.empty() || o.acceptUntrusted)) {
    io.err << "quorvel: profile add: --password-command, --ca-file and "
              "--accept-untrusted-certificate are for --imap profiles\n";
    return kExitUsage;
  }
  host::Profile profile{o.name, "", o.addresses, false};
  for (const std::string& book : o.addressBooks) {
    std::string path = Resolved(book, true);
    if (path.empty()) path = Resolved(book, false);
    if (path.empty() || ::access(path.c_str(), R_OK) != 0) {
      return Fail(io,
                  "the address book " + book + " is neither a readable vCard file nor a folder");
    }
    profile.addressBooks.push_back(path);
  }
  if (!host::ValidProfileName(o.name)) {
    return Fail(io, "'" + o.name +
                        "' is not a usable profile name (letters, digits, '.', '_' and '-', at "
                        "most 64)");
  }
  auto registry = platform::OpenDefaultRegistry();
  host::Profiles profiles(*registry);
  std::string error;
  // Before the credentials file is written: it must not be another profile's.
  if (registry->KeyExists(platform::RegRoot::kCurrentUser,
                          std::string(host::kProfilesKey) + "\\" + o.name)) {
    return Fail(io, "a profile named '" + o.name + "' exists already");
  }
  bool wrotePassword = false;  // by this command, from standard input
  if (!o.maildir.empty()) {
    profile.maildir = Resolved(o.maildir, true);
    if (profile.maildir.empty()) return Fail(io, "the Maildir " + o.maildir + " is not a folder");
    if (std::string problem = MaildirProblem(profile.maildir); !problem.empty()) {
      return Fail(io, problem);
    }
  } else if (!PrepareImap(o, &profile, &wrotePassword, io)) {
    return kExitFailure;
  }
  if (!profile.imap.empty() && !o.noCheck) {
    // The server, the certificate and the password are tried once now, so that a
    // mistake is said here rather than by a host that never starts.
    auto store = OpenProfileStore(profile, /*watch=*/false, &error);
    if (!store.ok()) {
      if (wrotePassword) platform::RealFileSystem().Remove(CredentialsPath(o.name));
      return Fail(io, error + "; the profile was not added (--no-check adds it without trying)");
    }
  }
  std::vector<host::Profile> before;
  const bool first = profiles.List(&before, &error) && before.empty();
  if (!profiles.Add(profile, o.makeDefault, &error)) return Fail(io, error);
  io.out << "Added profile " << o.name << " (" << platform::Printable(profile.StoreName()) << ")\n";
  if (!profile.imap.empty() && profile.passwordCommand.empty()) {
    io.out << "Its password is kept in " << platform::Printable(CredentialsPath(o.name)) << "\n";
  }
  // The first profile registers the add-in where nothing is registered, as an
  // installer would; after `unregister` later profiles leave that choice alone.
  if (first && !outlook::AddInRegistered(*registry)) {
    const std::string module = ProgramPath();
    if (outlook::RegisterAddIn(*registry, module, &error) == platform::ERROR_SUCCESS) {
      io.out << "Registered the add-in (" << platform::Printable(module) << ")\n";
    } else {
      io.err << "quorvel: the add-in could not be registered: " << platform::Printable(error)
             << "; run \"quorvel register\"\n";
    }
  }
  return kExitOk;
}

int List(CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profiles profiles(*registry);
  std::vector<host::Profile> all;
  std::string error;
  if (!profiles.List(&all, &error)) return Fail(io, error);
  for (const host::Profile& p : all) {
    io.out << (p.isDefault ? "* " : "  ") << platform::EscapedField(p.name) << "\t"
           << (p.StoreName().empty() ? "(damaged)" : platform::EscapedField(p.StoreName()));
    for (const std::string& a : p.addresses) io.out << "\t" << platform::EscapedField(a);
    io.out << "\n";
  }
  return kExitOk;
}

void SetupProfile(CLI::App& sub, CommandIo& io) {
  auto o = std::make_shared<ProfileOptions>();
  sub.require_subcommand(1);
  CLI::App* add = sub.add_subcommand("add", "Add a profile");
  add->add_option("NAME", o->name, "Profile name")->required();
  add->add_option("--maildir", o->maildir, "The profile's Maildir");
  add->add_option("--imap", o->imap,
                  "The profile's IMAP account: imaps://USER@HOST[:PORT] (TLS) or "
                  "imap://USER@HOST[:PORT] (STARTTLS)");
  add->add_option("--password-command", o->passwordCommand,
                  "A command that prints the IMAP password (else it is kept in the profile's "
                  "credentials file, read now from standard input)");
  add->add_option("--ca-file", o->caFile,
                  "Trust only the certificate authorities in this PEM file for the IMAP server");
  add->add_flag("--accept-untrusted-certificate", o->acceptUntrusted,
                "Accept an IMAP server certificate that does not verify (refused by default)");
  add->add_option("--address", o->addresses, "An address of the user's own (repeat)");
  add->add_option("--address-book", o->addressBooks,
                  "A vCard file or a folder of .vcf files (repeat; the first is the Contacts "
                  "folder)");
  add->add_flag("--default", o->makeDefault, "Make it the default profile");
  add->add_flag("--no-check", o->noCheck,
                "Add an IMAP profile without trying its server and password first");
  add->callback([o, &io] { io.status = Add(*o, io); });
  CLI::App* list = sub.add_subcommand("list", "List the profiles (* marks the default)");
  list->callback([&io] { io.status = List(io); });
  CLI::App* remove = sub.add_subcommand("remove", "Remove a profile");
  remove->add_option("NAME", o->name, "Profile name")->required();
  remove->callback([o, &io] {
    auto registry = platform::OpenDefaultRegistry();
    std::string error;
    host::Profile profile;
    std::string spelling =
        host::Profiles(*registry).Resolve(o->name, &profile, &error) ? profile.name : o->name;
    if (!HostStopped(spelling, io)) {
      io.status = kExitFailure;
      return;
    }
    if (!host::Profiles(*registry).Remove(o->name, &error)) {
      io.status = Fail(io, error);
      return;
    }
    // Its password goes with it.
    if (std::string path = CredentialsPath(spelling); !path.empty()) {
      platform::RealFileSystem().Remove(path);
    }
    io.out << "Removed profile " << o->name << "\n";
    io.status = kExitOk;
  });
  CLI::App* def = sub.add_subcommand("default", "Make a profile the default one");
  def->add_option("NAME", o->name, "Profile name")->required();
  def->callback([o, &io] {
    auto registry = platform::OpenDefaultRegistry();
    std::string error;
    io.status = host::Profiles(*registry).SetDefault(o->name, &error) ? kExitOk : Fail(io, error);
  });
}

}  // namespace

Command ProfileCommand() {
  return {"profile", "Add, list, remove profiles and choose the default one", SetupProfile};
}

}  // namespace quorvel::app
