#include "mapi/vcard/vcard_books.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "mapi/folder.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "testing/temporary_folder.h"

namespace quorvel::mapi::vcard {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Pair;

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string Card(const std::string& name, std::vector<std::string> emails) {
  std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\n";
  for (const std::string& e : emails) text += "EMAIL:" + e + "\r\n";
  return text + "END:VCARD\r\n";
}

// Every (name, address) row of a container's contents.
std::vector<std::pair<std::string, std::string>> Rows(Container& container, PropTag email) {
  auto table = container.GetContentsTable(0);
  EXPECT_TRUE(table.ok());
  const PropTag columns[] = {PR_DISPLAY_NAME, email};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  EXPECT_TRUE(rows.ok());
  std::vector<std::pair<std::string, std::string>> out;
  for (const Row& row : *rows)
    out.emplace_back(GetString8(row, PR_DISPLAY_NAME), GetString8(row, email));
  return out;
}

TEST(VCardBooksTest, FirstBookIsTheContactsFolderOthersAreContainers) {
  testing::TemporaryFolder dir;
  Write(dir.File("contacts.vcf"),
        Card("Ann", {"ann@example.org", "ann@home.example"}) + Card("Phone only", {}));
  ::mkdir(dir.File("team").c_str(), 0700);
  Write(dir.File("team/b.vcf"), Card("Bob", {"bob@example.org"}));
  Write(dir.File("team/a.VCF"), Card("Cy", {"cy@example.org"}));
  Write(dir.File("team/notes.txt"), Card("Not read", {"no@example.org"}));
  auto books = VCardBooks::Load({dir.File("contacts.vcf"), dir.File("team")});
  EXPECT_THAT(books->problems(), IsEmpty());

  auto root = books->OpenEntry(EntryId(), 0);
  ASSERT_TRUE(root.ok());
  ASSERT_EQ(root->objectType, MAPI_ABCONT);
  auto contactsId = HrGetOneProp(*root->object, PR_IPM_CONTACT_ENTRYID);
  ASSERT_TRUE(contactsId.ok());
  EXPECT_EQ(contactsId->AsEntryId(), books->ContactsFolderId());

  // The hierarchy lists the second book only, as a container entries can be made in.
  auto hierarchy = root->As<Container>()->GetHierarchyTable(0);
  const PropTag ids[] = {PR_ENTRYID, PR_DISPLAY_NAME};
  auto containers = HrQueryAllRows(**hierarchy, ids, std::nullopt);
  ASSERT_EQ(containers->size(), 1u);
  EXPECT_EQ(GetString8((*containers)[0], PR_DISPLAY_NAME), "team");
  auto team = books->OpenEntry(GetEntryId((*containers)[0], PR_ENTRYID), 0);
  ASSERT_TRUE(team.ok());
  EXPECT_TRUE(HrGetOneProp(*team->object, PR_DEF_CREATE_MAILUSER).ok());
  EXPECT_THAT(Rows(*team->As<Container>(), PR_EMAIL_ADDRESS),
              ElementsAre(Pair("Cy", "cy@example.org"), Pair("Bob", "bob@example.org")));

  // The Contacts folder: one item per address, and the card without one.
  auto folder = books->OpenEntry(books->ContactsFolderId(), 0);
  ASSERT_TRUE(folder.ok());
  ASSERT_EQ(folder->objectType, MAPI_FOLDER);
  const PropName email1{PSETID_Address, false, kContactEmail1Number, {}};
  auto tags = folder->object->GetIDsFromNames(std::span(&email1, 1), 0);
  ASSERT_TRUE(tags.ok());
  const PropTag emailTag = CHANGE_PROP_TYPE((*tags)[0], PT_STRING8);
  EXPECT_THAT(Rows(*folder->As<Folder>(), emailTag),
              ElementsAre(Pair("Ann", "ann@example.org"), Pair("Ann", "ann@home.example"),
                          Pair("Phone only", "")));
  EXPECT_EQ(folder->As<Folder>()->CreateMessage(0).hr, MAPI_E_NO_ACCESS);
}

TEST(VCardBooksTest, ItemsOpenByTheIdsTheirRowsCarry) {
  Book book{"/x", "x", {VCard{"3.0", "Dee", {"dee@example.org"}, 0}}};
  auto books = VCardBooks::FromBooks({book, book});
  auto folder = books->OpenEntry(books->ContactsFolderId(), 0);
  auto table = folder->As<Folder>()->GetContentsTable(0);
  const PropTag columns[] = {PR_ENTRYID};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  ASSERT_EQ(rows->size(), 1u);
  auto item = books->OpenEntry(GetEntryId((*rows)[0], PR_ENTRYID), 0);
  ASSERT_TRUE(item.ok());
  EXPECT_EQ(item->objectType, MAPI_MESSAGE);
  EXPECT_EQ(GetString8(*item->object->GetProps(std::span(&PR_MESSAGE_CLASS, 1)), PR_MESSAGE_CLASS),
            "IPM.Contact");
  // Ids of this kind that name nothing, and ids of another kind.
  std::string bytes(GetEntryId((*rows)[0], PR_ENTRYID).bytes());
  bytes[bytes.size() - 4] = 9;
  EXPECT_EQ(books->OpenEntry(EntryId(bytes), 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ(books->OpenEntry(EntryId(std::string("maildir-id")), 0).hr, MAPI_E_INVALID_ENTRYID);
  EXPECT_FALSE(IsVCardEntryId(EntryId(std::string("QVCBX123456789"))));
}

TEST(VCardBooksTest, MissingAndUnreadableBooksAreEmptyAndNamed) {
  testing::TemporaryFolder dir;
  Write(dir.File("locked.vcf"), Card("Locked", {"l@example.org"}));
  ::chmod(dir.File("locked.vcf").c_str(), 0);
  const bool rootReadsAnything = ::geteuid() == 0;
  auto books = VCardBooks::Load({dir.File("missing.vcf"), dir.File("locked.vcf")});
  ASSERT_EQ(books->books().size(), 2u);
  EXPECT_THAT(books->books()[0].cards, IsEmpty());
  ASSERT_GE(books->problems().size(), 1u);
  EXPECT_THAT(books->problems()[0], HasSubstr("missing.vcf: no such file or folder"));
  if (!rootReadsAnything) {
    ASSERT_EQ(books->problems().size(), 2u);
    EXPECT_THAT(books->problems()[1], HasSubstr("locked.vcf"));
    EXPECT_THAT(books->books()[1].cards, IsEmpty());
  }
  // Without a Contacts book the folder is not there, and the root says so.
  auto none = VCardBooks::FromBooks({});
  EXPECT_FALSE(none->ContactsFolderId().present());
  auto root = none->OpenEntry(EntryId(), 0);
  EXPECT_FALSE(HrGetOneProp(*root->object, PR_IPM_CONTACT_ENTRYID).ok());
}

}  // namespace
}  // namespace quorvel::mapi::vcard
