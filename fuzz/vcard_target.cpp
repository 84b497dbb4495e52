// Target for vCard files: any bytes, read as an address book, with the checks every
// input must pass.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "mapi/folder.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "mapi/vcard/vcard_books.h"
#include "mapi/vcard/vcard_reader.h"

namespace quorvel {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

// Reads the cards and checks the limits every address keeps (present, trimmed, not
// too long, not too many per card); then presents them as a Contacts folder and checks
// that it lists one row per address (one for a card without any) and that each row's
// item opens by its id.
std::string FuzzVCard(FuzzInput input) {
  using namespace mapi;
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  std::vector<vcard::VCard> cards = vcard::ReadVCards(bytes);
  std::size_t expectedRows = 0;
  for (const vcard::VCard& card : cards) {
    if (card.emails.size() > vcard::kMaxEmailsPerCard) return "too many addresses kept";
    for (const std::string& email : card.emails) {
      if (email.empty()) return "an empty address";
      if (email.size() > vcard::kMaxEmailLength) return "an overlong address";
      if (Blank(email.front()) || Blank(email.back())) return "an address not trimmed";
    }
    expectedRows += card.emails.empty() ? 1 : card.emails.size();
  }
  auto books = vcard::VCardBooks::FromBooks({vcard::Book{"fuzz.vcf", "fuzz", cards}});
  auto folder = books->OpenEntry(books->ContactsFolderId(), 0);
  if (!folder.ok() || !folder->As<Folder>()) return "the Contacts folder does not open";
  auto table = folder->As<Folder>()->GetContentsTable(0);
  if (!table.ok()) return "the Contacts folder has no contents table";
  const PropTag columns[] = {PR_ENTRYID};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  if (!rows.ok() || rows->size() != expectedRows) return "the folder lists another number of rows";
  for (const Row& row : *rows) {
    auto item = books->OpenEntry(GetEntryId(row, PR_ENTRYID), 0);
    if (!item.ok() || item->objectType != MAPI_MESSAGE) return "a listed item does not open";
  }
  return {};
}

}  // namespace quorvel
