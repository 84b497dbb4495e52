// Bringing the shipped mail base into the user's data folder.
//
// The module folder holds the seed files "Bayes.db" and "Bayes.raw" (and the
// fall-back "Bayes.raw.initial", which stays there). On first use they are copied
// into the data folder, never over an existing file:
//   "Bayes.db"  -> "Bayes.db", and when that copy was made also "Bayes.db.bak";
//   "Bayes.raw" -> "Bayes.raw", and when that copy was made also "Bayes.raw.bak"
//                  and "Bayes.raw.old".
// "Bayes.raw" is not copied beside a "Bayes.db" (or its ".bak") the data folder already
// holds: that table is the user's, and the shipped counts are not its partner (the
// store takes the counts from the seed only when learning needs them, mailbase_store.h).
// A copy that is not made because the file exists already, or because there is no
// seed, is not an error; the copies that depend on it are skipped. A copy that fails
// (a full disk, no permission) is reported.
#ifndef QUORVEL_BAYES_MAILBASE_SEED_H_
#define QUORVEL_BAYES_MAILBASE_SEED_H_

#include <string>

#include "bayes/mailbase.h"
#include "platform/file_system.h"

namespace quorvel {

// Creates the data folder with its missing parents and, only if that succeeds,
// copies the seed files as above. Returns false, with the first failure in *error,
// when the data folder could not be created or a copy failed. Both folders end with
// '/' (or are joined with one).
bool BringMailbaseFiles(const std::string& dataFolder, const std::string& moduleFolder,
                        std::string* error = nullptr,
                        platform::FileSystem& files = platform::RealFileSystem());

// Brings the files and points the mail base at them: the table at
// "<data folder>Bayes.db", the store at "<data folder>Bayes.raw" (which resets it)
// and its seed at "<module folder>Bayes.raw.initial". Nothing is read here; the
// files are loaded on first use.
bool OpenUserMailbase(Mailbase& mailbase, const std::string& dataFolder,
                      const std::string& moduleFolder, std::string* error = nullptr,
                      platform::FileSystem& files = platform::RealFileSystem());

}  // namespace quorvel

#endif  // QUORVEL_BAYES_MAILBASE_SEED_H_
