// Targets for the stored list images: contact lists, string sets and the spam folder
// map. An image that loads must store as an image that loads to the same image again.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "lists/contact_list.h"
#include "lists/string_set.h"
#include "settings/spam_folder_image.h"

namespace quorvel {
namespace {

constexpr platform::FileTime kLoadTime = 133'000'000'000'000'000ULL;

std::string_view AsText(FuzzInput input) {
  return {reinterpret_cast<const char*>(input.data()), input.size()};
}

std::string Store(Serializable& object) {
  Archive archive = Archive::ForStoring();
  object.Serialize(archive);
  return archive.Image();
}

template <typename T>
std::string CheckImage(std::string_view image, T* loaded) {
  Archive archive = Archive::ForLoading(image, kLoadTime);
  if (!loaded->Serialize(archive).Ok()) return {};
  const std::string stored = Store(*loaded);
  T again;
  Archive reread = Archive::ForLoading(stored, kLoadTime);
  if (const ArchiveStatus status = again.Serialize(reread); !status.Ok()) {
    return "a stored image does not load: " + status.error;
  }
  if (Store(again) != stored) return "a stored image loads to something else";
  return {};
}

}  // namespace

// Loads a contact list image, looks up what it holds, and checks the image round.
std::string FuzzContactList(FuzzInput input) {
  ContactList list;
  if (std::string error = CheckImage(AsText(input), &list); !error.empty()) return error;
  for (const ContactPosition& position : list) {
    if (!list.ContainsText(position.Address())) return "an entry's address is not found";
  }
  return {};
}

// Loads a string set image, matches its patterns once, and checks the image round.
std::string FuzzStringSet(FuzzInput input) {
  StringSet set;
  if (std::string error = CheckImage(AsText(input), &set); !error.empty()) return error;
  for (const std::string& text : set) {
    if (!set.Contains(text)) return "a loaded string is not found";
    MatchesWildcard(text, "john.smith@mail.example.org");
  }
  return {};
}

std::string FuzzSpamFolderImage(FuzzInput input) {
  SpamFolderMap map;
  if (!ReadSpamFolderImage(AsText(input), &map).Ok()) return {};
  const std::string stored = WriteSpamFolderImage(map);
  SpamFolderMap again;
  if (const ArchiveStatus status = ReadSpamFolderImage(stored, &again); !status.Ok()) {
    return "a written map does not read: " + status.error;
  }
  if (WriteSpamFolderImage(again) != stored) return "a written map reads as something else";
  return {};
}

}  // namespace quorvel
