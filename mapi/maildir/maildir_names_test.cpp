#include "mapi/maildir/maildir_names.h"

#include <gtest/gtest.h>

#include "mapi/maildir/props_file.h"
#include "mapi/tags.h"

namespace quorvel::mapi {
namespace {

TEST(MaildirNamesTest, EntryIdsRoundTrip) {
  StoreKey key = MakeStoreKey("/home/u/Maildir");
  EXPECT_NE(key, MakeStoreKey("/home/u/Maildir2"));
  auto store = DecodeMaildirId(MaildirStoreId(key).bytes());
  ASSERT_TRUE(store);
  EXPECT_EQ(store->kind, 'S');
  EXPECT_EQ(store->key, key);
  auto folder = DecodeMaildirId(MaildirFolderId(key, "Archive.2024").bytes());
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->kind, 'F');
  EXPECT_EQ(folder->folderPath, "Archive.2024");
  auto message = DecodeMaildirId(MaildirMessageId(key, "Spam", "1700000000.M1P2.host").bytes());
  ASSERT_TRUE(message);
  EXPECT_EQ(message->kind, 'M');
  EXPECT_EQ(message->folderPath, "Spam");
  EXPECT_EQ(message->unique, "1700000000.M1P2.host");
  auto inbox = DecodeMaildirId(MaildirMessageId(key, "", "u1").bytes());
  ASSERT_TRUE(inbox);
  EXPECT_EQ(inbox->folderPath, "");
}

TEST(MaildirNamesTest, DamagedIdsAreRejected) {
  std::string good(MaildirMessageId(1, "Spam", "u1").bytes());
  const std::string damaged[] = {
      "",
      "QVMD",
      "XXXXS12345678",
      std::string("QVMDZ") + std::string(8, '\0'),
      std::string("QVMDS") + std::string(8, '\0') + "extra",
      good.substr(0, 14),  // length byte cut
      std::string("QVMDM") + std::string(8, '\0') +
          "\xFF\xFF"
          "abc",                                                             // length past the end
      std::string("QVMDM") + std::string(8, '\0') + std::string("\0\0", 2),  // no unique part
      std::string("QVMDM") + std::string(8, '\0') + std::string("\0\0", 2) + "u:2,S",
      std::string("QVMDM") + std::string(8, '\0') + std::string("\0\0", 2) + "../etc",
  };
  for (const std::string& bytes : damaged) {
    EXPECT_FALSE(DecodeMaildirId(bytes)) << bytes;
  }
  // A unique part can never name a path outside its folder.
  EXPECT_FALSE(DecodeMaildirId(std::string("QVMDM") + std::string(8, '\0') +
                               std::string("\0\0", 2) + "a/b"));
}

TEST(MaildirNamesTest, MessageFileNames) {
  struct Case {
    const char* name;
    bool valid;
    const char* unique;
    const char* flags;
    bool info;
  };
  const Case cases[] = {
      {"1700.M1P2.host", true, "1700.M1P2.host", "", false},
      {"1700.M1P2.host:2,SR", true, "1700.M1P2.host", "RS", true},
      {"1700.M1P2.host:2,", true, "1700.M1P2.host", "", true},
      {"1700.x:1,experimental", true, "1700.x", "", false},
      {".hidden", false, "", "", false},
      {":2,S", false, "", "", false},
      {"", false, "", "", false},
  };
  for (const Case& c : cases) {
    auto parsed = ParseMessageFileName(c.name);
    ASSERT_EQ(parsed.has_value(), c.valid) << c.name;
    if (!c.valid) continue;
    EXPECT_EQ(parsed->unique, c.unique);
    EXPECT_EQ(parsed->flags, c.flags);
    EXPECT_EQ(parsed->hasInfo, c.info);
  }
  EXPECT_EQ(WithFlag("RT", 'S', true), "RST");
  EXPECT_EQ(WithFlag("RST", 'S', false), "RT");
  EXPECT_EQ(WithFlag("S", 'S', true), "S");
  EXPECT_EQ(CurFileName("u", "SRS"), "u:2,RS");
}

TEST(MaildirNamesTest, OnlySeenAndDraftInfoFlagsMakeMessageFlags) {
  const struct {
    const char* name;
    std::uint32_t flags;
  } cases[] = {
      {"1.host", 0},  // new/: no info yet
      {"1.host:2,", 0},
      {"1.host:2,S", MSGFLAG_READ},
      {"1.host:2,D", MSGFLAG_UNSENT},
      {"1.host:2,DFRS", MSGFLAG_READ | MSGFLAG_UNSENT},
      {"1.host:2,FPRT", 0},
      {"1.host:1,DS", 0},  // experimental info, not flags
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MessageFlagsOf(*ParseMessageFileName(c.name)), c.flags) << c.name;
  }
}

TEST(MaildirNamesTest, FolderPaths) {
  EXPECT_TRUE(IsValidFolderName("Spam"));
  EXPECT_TRUE(IsValidFolderName("Caf\xC3\xA9 2024"));
  for (const char* bad : {"", "a.b", "a/b", ".", ".."}) EXPECT_FALSE(IsValidFolderName(bad)) << bad;
  EXPECT_FALSE(IsValidFolderName(std::string("a\0b", 3)));
  EXPECT_EQ(FolderDirectory("/m", ""), "/m");
  EXPECT_EQ(FolderDirectory("/m", "A.B"), "/m/.A.B");
  EXPECT_EQ(ParentFolderPath("A.B"), "A");
  EXPECT_EQ(ParentFolderPath("A"), "");
  EXPECT_EQ(FolderLeafName("A.B"), "B");
}

TEST(MaildirNamesTest, UniqueNamesDiffer) {
  platform::FakeClock clock;
  std::string a = NewUniqueName(clock);
  std::string b = NewUniqueName(clock);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.find('/'), std::string::npos);
  EXPECT_EQ(a.find(':'), std::string::npos);
  EXPECT_TRUE(ParseMessageFileName(a));
}

TEST(PropsFileTest, EveryKeptTypeRoundTrips) {
  std::vector<PropValue> props = {
      PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue),
      PropValue::Long(PROP_TAG(PT_LONG, 0x6801), -5),
      PropValue::Boolean(PROP_TAG(PT_BOOLEAN, 0x6802), true),
      PropValue::I8(PROP_TAG(PT_I8, 0x6803), -1234567890123LL),
      PropValue::Time(PROP_TAG(PT_SYSTIME, 0x6804), 133000000000000000ULL),
      PropValue::String8(PROP_TAG(PT_STRING8, 0x6805), "line\nbreak \xE9"),
      PropValue::Bin(PROP_TAG(PT_BINARY, 0x6806), std::string("\0\x01\xFF", 3)),
      PropValue::Unicode(PROP_TAG(PT_UNICODE, 0x6807), u"K\u00f6ln"),
  };
  EXPECT_EQ(ParseProps(SerializeProps(props)), props);
  // Error values are not kept.
  EXPECT_TRUE(ParseProps(SerializeProps({PropValue::Error(PR_SUBJECT)})).empty());
}

TEST(PropsFileTest, DamagedFilesLoseOnlyDamagedLines) {
  EXPECT_TRUE(ParseProps("").empty());
  EXPECT_TRUE(ParseProps("QVPROPS 2\n7CAF0003 998712\n").empty());
  auto props = ParseProps(
      "QVPROPS 1\n"
      "7CAF0003 998712\n"
      "7CAF0003 99871x\n"  // bad number
      "ZZZZZZZZ 1\n"       // bad tag
      "6805001E 4A4\n"     // odd hex
      "6802000B 2\n"       // bad Boolean
      "680D000D 00\n"      // a type that is not kept
      "7CAF0003\n"         // no value
      "6805001E 4142");    // last line without a newline
  ASSERT_EQ(props.size(), 2u);
  EXPECT_EQ(props[0], PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue));
  EXPECT_EQ(props[1], PropValue::String8(PROP_TAG(PT_STRING8, 0x6805), "AB"));
}

}  // namespace
}  // namespace quorvel::mapi
