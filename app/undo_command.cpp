// quorvel undo [--list] [N]
//
// Takes back a marking (by a command or by the user's move) that the journal
// records (marking_journal.h): what it learned is unlearned, the list entries it
// added are removed and those it removed put back, the messages it moved go back
// where they were. Without N the last marking; with N the Nth from the last, as
// --list numbers them (newest first: 1 is the last). A marking that a later one (not
// undone) depends on is refused, naming that one; so is one already undone.
//
// --list writes one line per marking: its number, time (UTC), "good" or "junk", how it
// was made ("command" or "move"), its number of messages and, for one taken back,
// "undone".
//
// A marking whose host has not saved what it learned yet is waited for (10 s at most).
//
// Exit status: 0; 1 when there is nothing to undo, the marking is refused or cannot
// be taken back (the reason on standard error); 2 for usage errors.
#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>

#include "app/commands.h"
#include "outlook/marking_undo.h"
#include "outlook/move_plans.h"
#include "outlook/spam_returns.h"
#include "platform/file_system.h"

namespace quorvel::app {
namespace {

// How long undo waits for a running host to save what a marking just learned.
constexpr std::chrono::seconds kUnsavedWait{10};

struct Marking {
  outlook::MarkingEntry entry;
  std::string time;  // as the journal writes it
};

std::string Text(const nlohmann::json& object, const char* name) {
  auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The markings of both journal generations, oldest first, and the ids undone.
void ReadMarkings(const std::string& dataFolder, std::vector<Marking>* markings,
                  std::set<std::string>* undone) {
  for (const char* name : {outlook::kJournalOldFileName, outlook::kJournalFileName}) {
    std::string bytes;
    if (!platform::RealFileSystem().ReadFile(dataFolder + name, &bytes).ok()) continue;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
      const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
      if (!object.is_object()) continue;  // damaged or half-written
      const std::string kind = Text(object, "kind");
      if (kind == "undo") {
        undone->insert(Text(object, "id"));
        continue;
      }
      if (kind == "undo_void") {  // that undo did not happen (unsaved_markings.h)
        undone->erase(Text(object, "id"));
        continue;
      }
      if (kind != "marking") continue;
      Marking m;
      m.time = Text(object, "time");
      m.entry.id = Text(object, "id");
      m.entry.junk = Text(object, "marking") == "junk";
      m.entry.byMove = Text(object, "source") == "move";
      m.entry.counts = Text(object, "counts");
      for (const auto& message : object.value("messages", nlohmann::json::array())) {
        if (!message.is_object()) continue;
        m.entry.messages.push_back({Text(message, "message_id"), Text(message, "from"),
                                    Text(message, "to"), Text(message, "from_name"),
                                    Text(message, "to_name"), Text(message, "entry")});
      }
      for (const auto& change : object.value("lists", nlohmann::json::array())) {
        if (!change.is_object()) continue;
        auto domain = change.find("domain");
        m.entry.lists.push_back(
            {Text(change, "list"), Text(change, "change") == "added", Text(change, "entry"),
             Text(change, "name"),
             domain != change.end() && domain->is_boolean() && domain->get<bool>()});
      }
      if (!m.entry.id.empty()) markings->push_back(std::move(m));
    }
  }
}

int Undo(bool list, int number, CommandIo& io) {
  if (io.hostProcess == nullptr || io.host == nullptr) {
    io.err << "quorvel: undo takes back a marking of a profile, and there is no profile "
              "(see 'quorvel profile add')\n";
    return kExitFailure;
  }
  outlook::AddInProcess& process = *io.hostProcess;
  const std::string dataFolder = process.environment().dataFolder;
  // The moves of a marking a stopped host did not write down join the journal first
  // (outlook/move_plans.h).
  std::shared_ptr<host::NameSpace> names = io.host->application().Session();
  if (auto session = names ? names->MAPIOBJECT() : nullptr; session && !dataFolder.empty()) {
    outlook::JournalFile journal(platform::RealFileSystem(), dataFolder);
    outlook::SettleMovePlans(
        platform::RealFileSystem(), dataFolder, *session, journal,
        process.environment().clock.Now(), [&dataFolder](const std::vector<std::string>& ids) {
          outlook::SpamReturns(platform::RealFileSystem(), dataFolder + outlook::kSpamMovesFileName)
              .NoteMoved(ids);
        });
  }
  std::vector<Marking> markings;
  std::set<std::string> undone;
  ReadMarkings(dataFolder, &markings, &undone);
  if (list) {
    for (std::size_t i = markings.size(); i-- > 0;) {
      const Marking& m = markings[i];
      io.out << markings.size() - i << '\t' << m.time << '\t' << (m.entry.junk ? "junk" : "good")
             << '\t' << (m.entry.byMove ? "move" : "command") << '\t' << m.entry.messages.size()
             << " message(s)" << (undone.count(m.entry.id) ? "\tundone" : "") << "\n";
    }
    return io.out ? kExitOk : kExitIoError;
  }
  if (markings.empty()) {
    io.err << "quorvel: the journal records no marking to undo\n";
    return kExitFailure;
  }
  if (number < 1 || static_cast<std::size_t>(number) > markings.size()) {
    io.err << "quorvel: there is no marking " << number << " (the journal records "
           << markings.size() << "; see 'quorvel undo --list')\n";
    return kExitFailure;
  }
  const std::size_t index = markings.size() - static_cast<std::size_t>(number);
  const Marking& chosen = markings[index];
  if (undone.count(chosen.entry.id)) {
    io.err << "quorvel: marking " << number << " is undone already\n";
    return kExitFailure;
  }
  // A marking just made: its host saves what it learned within moments (or, gone
  // meanwhile, leaves it to be settled here).
  const auto deadline = std::chrono::steady_clock::now() + kUnsavedWait;
  while (process.unsavedMarkings().IsUnsaved(chosen.entry.id) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    process.unsavedMarkings().Settle();
  }
  if (process.unsavedMarkings().IsUnsaved(chosen.entry.id)) {
    io.err << "quorvel: marking " << number
           << " cannot be undone yet: what it learned is not saved in the mail base yet; try "
              "again\n";
    return kExitFailure;
  }
  std::vector<outlook::MarkingEntry> later;
  for (std::size_t i = index + 1; i < markings.size(); ++i) {
    if (!undone.count(markings[i].entry.id)) later.push_back(markings[i].entry);
  }
  if (auto dependent = outlook::DependentMarking(chosen.entry, later)) {
    std::size_t laterNumber = 0;
    for (std::size_t i = 0; i < markings.size(); ++i) {
      if (markings[i].entry.id == dependent->id) laterNumber = markings.size() - i;
    }
    io.err << "quorvel: marking " << number << " cannot be undone: marking " << laterNumber
           << ", made after it, moved one of its messages again or changed one of its list "
              "entries; undo marking "
           << laterNumber << " first\n";
    return kExitFailure;
  }
  auto session = io.host->application().Session()->MAPIOBJECT();
  std::string error;
  if (!session || !outlook::UndoMarking(process, *session, chosen.entry, &error)) {
    io.err << "quorvel: marking " << number << " cannot be undone: "
           << (session ? error : std::string("the profile's store is not open")) << "\n";
    return kExitFailure;
  }
  io.out << "undone: marking " << number << " (" << (chosen.entry.junk ? "junk" : "good") << ", "
         << chosen.entry.messages.size() << " message(s))\n";
  return io.out ? kExitOk : kExitIoError;
}

}  // namespace

Command UndoCommand() {
  return {"undo", "Take back the last marking (or the Nth from the last)",
          [](CLI::App& sub, CommandIo& io) {
            auto list = std::make_shared<bool>(false);
            auto number = std::make_shared<int>(1);
            sub.add_flag("--list", *list, "List the markings the journal records, newest first");
            sub.add_option("N", *number, "Which marking: 1 is the last");
            sub.callback([list, number, &io] { io.status = Undo(*list, *number, io); });
          }};
}

}  // namespace quorvel::app
