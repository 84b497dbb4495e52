// Where the password of an IMAP account comes from: a credentials file that only its
// owner may read (mode 0600 or stricter; its first line is the password), or a command
// that prints it (run with /bin/sh -c, its first output line, exit status 0, within
// its deadline), as mail fetchers do. The password is asked for at every connection, so a changed
// file or a keyring behind the command is picked up without a restart. Thread-safe.
#ifndef QUORVEL_MAPI_IMAP_PASSWORD_SOURCE_H_
#define QUORVEL_MAPI_IMAP_PASSWORD_SOURCE_H_

#include <optional>
#include <string>

namespace quorvel::mapi::imap {

struct PasswordSource {
  std::string file;     // a credentials file, or
  std::string command;  // a command that prints the password
  // The command runs in a process group of its own; when it has not printed its line
  // and ended within this time, the whole group (its children too) is killed.
  int timeoutSeconds = 60;
};

// The password; nothing, with *error saying why, when it cannot be had (a file that
// others may read is refused).
std::optional<std::string> ReadPassword(const PasswordSource& source, std::string* error);

// Writes `password` as the credentials file `path`, mode 0600 from its first byte and
// replacing any earlier file atomically, in a folder of mode 0700 made when missing.
// A password with a line end in it is refused (only the first line would be read).
// Kills every password command running now, with its children: for a process that
// ends at once (a stop while it waits for its store). Any thread; async-signal-unsafe.
void StopPasswordCommands();

bool WritePasswordFile(const std::string& path, const std::string& password, std::string* error);

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_PASSWORD_SOURCE_H_
