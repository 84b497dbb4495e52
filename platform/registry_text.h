// The registry editor's text format, one file per root:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Veltmark\Quorvel\Settings]
//   "MarkSpamAsRead"=dword:00000001
//   "Folder"="Inbox\\Spam"
//   @="default value"
//   "WhiteList"=hex:01,02,03,04,05   (long data continues on the next line
//                                     after a trailing backslash)
//   "Path"=hex(2):25,00,00,00
//
// Reading accepts what the registry editor writes: UTF-16LE with a byte-order mark,
// UTF-8 (with or without a mark) or ANSI text; "REGEDIT4" files; comments (';');
// continued lines (a trailing backslash); "hex(N):" data, which for the string types
// (1, 2, 7) holds UTF-16LE text; "[-key]" and "name"=- deletions. Writing gives UTF-8
// with '\n' line ends. Key and value names and string data are ANSI in the tree.
#ifndef QUORVEL_PLATFORM_REGISTRY_TEXT_H_
#define QUORVEL_PLATFORM_REGISTRY_TEXT_H_

#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace quorvel::platform {

struct RegistryTextError {
  int line = 0;  // 1-based; 0 when the file as a whole is at fault
  std::string message;
};

// Adds the file's keys and values to *tree. On failure returns false and fills
// *error; *tree is then partly filled and must be discarded.
bool ParseRegistryText(std::string_view bytes, RegRoot root, RegistryTree* tree,
                       RegistryTextError* error);

std::string FormatRegistryText(const RegistryTree& tree, RegRoot root);

// The line of the file on which value `name` of `key` is last set (what a load of it
// holds), or 0 when the file does not set it; for messages about a value.
int FindValueLine(std::string_view bytes, RegRoot root, std::string_view key,
                  std::string_view name);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_REGISTRY_TEXT_H_
