// The stored image of the per-profile spam folder map (registry value "SF"):
//
//   count               number of pairs (a count as in lists/archive.h)
//   per pair, in key order:
//     key               the profile key (a string as in lists/archive.h)
//     entry identifier  wide string: count of 16-bit units (coded like a count),
//     friendly name       then that many little-endian UTF-16 units, no terminator
//
// Loading never trusts the image: counts the remaining bytes cannot hold are refused
// before anything is allocated, and leftover bytes are damage.
#ifndef QUORVEL_SETTINGS_SPAM_FOLDER_IMAGE_H_
#define QUORVEL_SETTINGS_SPAM_FOLDER_IMAGE_H_

#include <string>
#include <string_view>

#include "lists/archive.h"
#include "settings/user_settings.h"

namespace quorvel {

std::string WriteSpamFolderImage(const SpamFolderMap& map);

// Replaces *map with the image's pairs; on damage *map is left as it was.
ArchiveStatus ReadSpamFolderImage(std::string_view image, SpamFolderMap* map);

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_SPAM_FOLDER_IMAGE_H_
