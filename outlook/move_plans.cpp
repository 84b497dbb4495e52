#include "outlook/move_plans.h"

#include <unistd.h>

#include <sstream>

#include "outlook/marking_journal.h"
#include "outlook/marking_move.h"
#include "outlook/open_folder.h"
#include "outlook/record_line.h"
#include "outlook/unsaved_markings.h"

namespace quorvel::outlook {
namespace {

std::string PlanPath(const std::string& dataFolder, const std::string& name) {
  return platform::JoinFilePath(platform::JoinFilePath(dataFolder, kMarkingsFolderName), name);
}

struct Plan {
  long pid = 0;
  bool junk = false;
  bool byMove = false;
  std::string from, to, toName;
  std::vector<std::string> messageIds;  // "" for one without
};

bool ParsePlan(const std::string& bytes, Plan* plan) {
  std::istringstream in(bytes);
  std::string kind, source, line;
  if (!(in >> plan->pid >> kind >> source)) return false;
  plan->junk = kind == "junk";
  plan->byMove = source == "move";
  std::getline(in, line);  // the rest of the kind's line
  if (!std::getline(in, plan->from) || !std::getline(in, plan->to) ||
      !std::getline(in, plan->toName)) {
    return false;
  }
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    plan->messageIds.push_back(space == std::string::npos ? "" : line.substr(space + 1));
  }
  return true;
}

// Whether either journal generation has the marking line of `id`.
bool JournalHasMarking(platform::FileSystem& files, const std::string& dataFolder,
                       const std::string& id) {
  std::string key = "{\"kind\":\"marking\"";
  AppendJsonField(key, "id", id);
  for (const char* name : {kJournalFileName, kJournalOldFileName}) {
    std::string bytes;
    if (files.ReadFile(dataFolder + name, &bytes).ok() && bytes.find(key) != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

platform::FileStatus WriteMovePlan(platform::FileSystem& files, const std::string& dataFolder,
                                   const std::string& id, const MarkingRecord& record,
                                   const MarkingMove& planned) {
  std::string text = std::to_string(::getpid()) + "\n" +
                     (record.mode == MarkingMode::kJunk ? "junk" : "good") +
                     (record.quiet ? " move\n" : " command\n") + planned.sourceFolder + "\n" +
                     planned.destinationFolder + "\n" + OneLine(planned.destinationPath) + "\n";
  for (const MovedMessage& m : planned.messages) {
    text += m.before + " " + OneLine(m.messageId) + "\n";
  }
  platform::FileStatus status =
      files.CreateFolders(platform::JoinFilePath(dataFolder, kMarkingsFolderName));
  if (!status.ok()) return status;
  return files.WriteFileAtomic(PlanPath(dataFolder, id + kMovingSuffix), text);
}

void RemoveMovePlan(platform::FileSystem& files, const std::string& dataFolder,
                    const std::string& id) {
  files.Remove(PlanPath(dataFolder, id + kMovingSuffix));
}

void SettleMovePlans(platform::FileSystem& files, const std::string& dataFolder,
                     mapi::Session& session, JournalFile& journal, platform::FileTime now,
                     const std::function<void(const std::vector<std::string>&)>& movedToSpam) {
  if (dataFolder.empty()) return;
  std::vector<platform::FolderEntry> entries;
  if (!files.ListFolder(platform::JoinFilePath(dataFolder, kMarkingsFolderName), &entries).ok()) {
    return;
  }
  const std::string suffix = kMovingSuffix;
  for (const platform::FolderEntry& e : entries) {
    if (e.name.size() <= suffix.size() ||
        e.name.compare(e.name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string id = e.name.substr(0, e.name.size() - suffix.size());
    const std::string path = PlanPath(dataFolder, e.name);
    std::string bytes;
    Plan plan;
    if (!files.ReadFile(path, &bytes).ok()) continue;
    const bool parsed = ParsePlan(bytes, &plan);
    if (parsed && MarkingProcessRuns(plan.pid)) continue;  // its marking may still go on
    if (parsed && !JournalHasMarking(files, dataFolder, id)) {
      std::shared_ptr<mapi::Folder> from = OpenFolder(session, plan.from);
      std::shared_ptr<mapi::Folder> to = OpenFolder(session, plan.to);
      if (!from || !to) continue;  // a store not reachable now: a later start
      MarkingEntry entry{.id = id, .time = now, .junk = plan.junk, .byMove = plan.byMove};
      std::vector<std::string> moved;
      auto inSource = MessagesById(session, *from);
      auto inDestination = MessagesById(session, *to);
      for (const std::string& messageId : plan.messageIds) {
        if (messageId.empty() || inSource.count(messageId) != 0) continue;
        auto found = inDestination.find(messageId);
        if (found == inDestination.end()) continue;
        entry.messages.push_back(
            {messageId, plan.from, plan.to, "", plan.toName, found->second.ToHex()});
        moved.push_back(messageId);
        inDestination.erase(found);
      }
      if (!entry.messages.empty() && !journal.AppendLine(MarkingLine(entry))) continue;
      if (plan.junk && movedToSpam && !moved.empty()) movedToSpam(moved);
    }
    files.Remove(path);
  }
}

}  // namespace quorvel::outlook
