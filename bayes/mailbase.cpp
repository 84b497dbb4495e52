#include "bayes/mailbase.h"

namespace quorvel {

std::string JoinPath(const std::string& folder, std::string_view name) {
  if (folder.empty()) return {};  // unknown folder: no file, not one in the working directory
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

Mailbase::Mailbase(platform::MessageBoxes& messageBoxes, platform::FileSystem& files)
    : files_(files), table_(files), store_(table_, messageBoxes, files) {}

Mailbase::Mailbase(platform::MessageBoxes& messageBoxes, const std::string& dataFolder,
                   const std::string& moduleFolder, platform::FileSystem& files)
    : Mailbase(messageBoxes, files) {
  SetPaths(dataFolder, moduleFolder);
}

Mailbase::~Mailbase() {
  // Reading never writes: a store that was only loaded (even from a ".bak", which
  // makes it dirty) is left as it is on disk.
  if (store_.changed()) store_.SaveIfDirty();
  store_.StopRebuildThread();
}

void Mailbase::SetPaths(const std::string& dataFolder, const std::string& moduleFolder) {
  dataFolder_ = dataFolder;
  moduleFolder_ = moduleFolder;
  table_.SetPath(JoinPath(dataFolder, kTableFileName));
  store_.SetInitialPath(JoinPath(moduleFolder, kInitialRawFileName));
  const std::string raw = JoinPath(dataFolder, kRawFileName);
  store_.SetPath(raw);
  // The table loads only as the partner of the "Bayes.raw" in force. The check reads
  // the files without the store's lock (the table's lock is held when it runs).
  platform::FileSystem& files = files_;
  table_.SetStampCheck([&files, raw](PairStamp* expected) {
    return !raw.empty() && StampInForce(files, raw, MailbaseStore::FileCheck(), expected);
  });
}

JudgingReadiness Mailbase::PrepareForJudging() {
  JudgingReadiness readiness;
  unusable_ = false;
  table_.EnsureLoaded();
  if (table_.loaded()) return readiness;
  const std::string table = JoinPath(dataFolder_, kTableFileName);
  if (store_.EnsureLoaded() &&
      (store_.loadedFrom() == LoadSource::kRaw || store_.loadedFrom() == LoadSource::kRawBackup)) {
    const CorpusPair learned = store_.MainPair();
    // Nothing of the damaged file goes into the new one: its formula settings may be
    // what was damaged, so the default ones are used.
    table_.Clear();
    table_.set_settings(TableSettings{});
    // Saved as "Bayes.db" of the pair in force, unless another process is writing the
    // mail base right now (it then writes a table of its own).
    const bool saved = store_.WriteTableFile(
        table_.CompileForSaving(learned.good(), learned.junk(), store_.loadedStamp()));
    readiness.note =
        "\"" + table + "\" (and its .bak) could not be loaded: compiled again from " +
        (store_.loadedFrom() == LoadSource::kRaw ? "Bayes.raw" : "Bayes.raw.bak") +
        (saved ? " and saved" : ", but it could not be saved (" + store_.lastSaveError() + ")");
    return readiness;
  }
  readiness.usable = false;
  unusable_ = true;
  // Counts taken from the shipped seed must not be saved over the user's damaged files
  // because of this check: the store forgets them (and is not dirty).
  store_.Reset();
  std::string missing;  // the shipped files a new data folder would be given
  for (const std::string_view name : {kTableFileName, kRawFileName}) {
    const std::string shipped = JoinPath(moduleFolder_, name);
    if (files_.Exists(shipped)) continue;
    missing += (missing.empty() ? "\"" : ", \"") + shipped + "\"";
  }
  readiness.note = "the mail base cannot be loaded: \"" + table + "\", \"" +
                   JoinPath(dataFolder_, kRawFileName) +
                   "\" and their .bak copies are missing or damaged (\"quorvel mailbase build\" "
                   "makes a new one; " +
                   (missing.empty() ? "without any of these files the shipped one is copied again"
                                    : "the shipped mail base is missing too: " + missing) +
                   ")";
  return readiness;
}

}  // namespace quorvel
