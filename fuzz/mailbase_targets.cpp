// Targets for the mail base files: "Bayes.raw" in the current and the legacy layout,
// and "Bayes.db". The loaders read files, so each input is written to a scratch file
// first. A file that loads must save as a file that loads and saves to the same bytes.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bayes/mailbase_store.h"
#include "bayes/probability_table.h"
#include "fuzz/fuzz_targets.h"
#include "platform/message_box.h"

namespace quorvel {
namespace {

// Writes the bytes to a fresh scratch file (no ".bak" beside it) and returns its path.
std::string ScratchFile(std::string_view name, FuzzInput input) {
  const std::string path = FuzzScratchFolder() + std::string(name);
  std::error_code ignored;
  std::filesystem::remove(path + ".bak", ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(input.data()),
            static_cast<std::streamsize>(input.size()));
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Saves what `store` holds, loads that into a fresh store and saves again: both files
// must be equal.
std::string CheckRawRound(MailbaseStore& store) {
  const std::string first = FuzzScratchFolder() + "first.raw";
  const std::string second = FuzzScratchFolder() + "second.raw";
  if (!store.SaveRaw(first)) return "could not save a loaded raw file";
  ProbabilityTable table;
  platform::ScriptedMessageBoxes boxes;
  MailbaseStore again(table, boxes);
  if (!again.LoadRaw(first)) return "a saved raw file does not load";
  if (!again.SaveRaw(second)) return "could not save a reloaded raw file";
  if (ReadAll(first) != ReadAll(second)) return "a saved raw file loads to something else";
  return {};
}

std::string FuzzRaw(FuzzInput input, bool legacy) {
  const std::string path = ScratchFile(legacy ? "input.raw.old" : "input.raw", input);
  ProbabilityTable table;
  platform::ScriptedMessageBoxes boxes;
  MailbaseStore store(table, boxes);
  const bool loaded = legacy ? store.LoadLegacy(path) : store.LoadRaw(path);
  if (!loaded) return {};
  return CheckRawRound(store);
}

}  // namespace

std::string FuzzBayesRaw(FuzzInput input) { return FuzzRaw(input, false); }

std::string FuzzBayesRawLegacy(FuzzInput input) { return FuzzRaw(input, true); }

// Loads a table, scores a message against it and checks the save round.
std::string FuzzBayesDb(FuzzInput input) {
  ProbabilityTable table;
  table.SetPath(ScratchFile("input.db", input));
  table.EnsureLoaded();
  if (!table.loaded()) return {};
  std::string explanation;
  double score = 0;
  table.Score(false, u"Cheap offer",
              u"buy now free money click here viagra mortgage rates meeting tomorrow at ten "
              u"the report is attached",
              &explanation, &score);
  const std::string first = FuzzScratchFolder() + "first.db";
  const std::string second = FuzzScratchFolder() + "second.db";
  std::error_code ignored;
  std::filesystem::remove(first + ".bak", ignored);
  std::filesystem::remove(second + ".bak", ignored);
  table.SetPath(first);
  if (!table.Save()) return "could not save a loaded table";
  ProbabilityTable again;
  again.SetPath(first);
  again.EnsureLoaded();
  if (!again.loaded()) return "a saved table does not load";
  again.SetPath(second);
  if (!again.Save()) return "could not save a reloaded table";
  if (ReadAll(first) != ReadAll(second)) return "a saved table loads to something else";
  return {};
}

}  // namespace quorvel
