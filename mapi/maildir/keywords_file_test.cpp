#include "mapi/maildir/keywords_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/memory_file_system.h"
#include "testing/temporary_folder.h"

namespace quorvel::mapi {
namespace {

TEST(KeywordTableTest, ParsesDovecotsLinesAndMarksDamage) {
  struct Case {
    const char* text;
    bool damaged;
    const char* a;  // names of letters a and c
    const char* c;
  } cases[] = {
      {"0 $Junk\n2 NonJunk\n", false, "$Junk", "NonJunk"},
      {"0 $Junk\r\n\n2 NonJunk", false, "$Junk", "NonJunk"},
      {"0 $Junk\nrubbish\n2 NonJunk\n", true, "$Junk", "NonJunk"},
      {"0 $Junk\n0 Other\n", true, "$Junk", ""},  // a letter named twice
      {"26 TooFar\n0 $Junk\n", true, "$Junk", ""},
      {"2\n0 $Junk\n", true, "$Junk", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    KeywordTable table = ParseKeywordTable(c.text);
    EXPECT_EQ(table.damaged, c.damaged) << c.text;
    EXPECT_EQ(table.names[0], c.a) << c.text;
    EXPECT_EQ(table.names[2], c.c) << c.text;
  }
  KeywordTable table = ParseKeywordTable("0 $Junk\n2 NonJunk\n");
  EXPECT_EQ(ParseKeywordTable(SerializeKeywordTable(table)).names, table.names);
}

class TranslateTest : public ::testing::Test {
 protected:
  TranslateTest() { files.CreateFolders("/m/.Spam"); }
  std::string Move(std::string_view flags) {
    note.clear();
    return TranslateKeywordFlags(files, "/m", "/m/.Spam", flags, &note);
  }
  std::string Destination() { return files.FileBytes("/m/.Spam/dovecot-keywords").value_or(""); }

  platform::MemoryFileSystem files;
  std::string note;
};

TEST_F(TranslateTest, LettersKeepTheirKeywordAcrossFolders) {
  files.PutFile("/m/dovecot-keywords", "0 $Forwarded\n1 Work\n2 $Junk\n");
  files.PutFile("/m/.Spam/dovecot-keywords", "0 $Junk\n1 Work\n");
  // Work stays b, $Junk becomes a, $Forwarded is added at the first free letter.
  EXPECT_EQ(Move("FSabc"), "FSabc");
  EXPECT_EQ(Destination(), "0 $Junk\n1 Work\n2 $Forwarded\n");
  EXPECT_EQ(note, "");
  EXPECT_EQ(Move("Sc"), "Sa");
  EXPECT_EQ(Move("RS"), "RS");  // no keywords: nothing read or written
}

TEST_F(TranslateTest, AMissingDestinationFileIsMadeAsDovecotWouldHaveIt) {
  files.PutFile("/m/dovecot-keywords", "3 $Junk\n");
  EXPECT_EQ(Move("Sd"), "Sa");
  EXPECT_EQ(Destination(), "0 $Junk\n");
}

TEST_F(TranslateTest, WhatCannotBeCarriedIsLeftOffAndSaid) {
  // No source file: the letter means nothing we know.
  EXPECT_EQ(Move("Sa"), "S");
  EXPECT_NE(note.find("not named"), std::string::npos);
  EXPECT_FALSE(files.FileBytes("/m/.Spam/dovecot-keywords"));

  // A full destination keeps its 26 letters and takes no 27th keyword.
  files.PutFile("/m/dovecot-keywords", "0 New\n1 K3\n");
  std::string full;
  for (int i = 0; i < 26; ++i) full += std::to_string(i) + " K" + std::to_string(i) + "\n";
  files.PutFile("/m/.Spam/dovecot-keywords", full);
  EXPECT_EQ(Move("Sab"), "Sd");
  EXPECT_NE(note.find("all 26"), std::string::npos);
  EXPECT_EQ(Destination(), full);

  // A damaged destination is never written over.
  files.PutFile("/m/.Spam/dovecot-keywords", "0 K3\nbroken line\n");
  EXPECT_EQ(Move("Sab"), "Sa");
  EXPECT_NE(note.find("damaged"), std::string::npos);
  EXPECT_EQ(Destination(), "0 K3\nbroken line\n");

  // A destination file that cannot be written: the new keyword is left off.
  files.PutFile("/m/.Spam/dovecot-keywords", "");
  files.FailCall(0, ENOSPC);
  EXPECT_EQ(Move("Sa"), "S");
  EXPECT_NE(note.find("left off"), std::string::npos);
}

// Dovecot takes "dovecot-keywords.lock" while it rewrites the file. Written beside its
// lock, a keyword we added was lost when Dovecot renamed its lock over the file, and
// the letter we gave it then named Dovecot's keyword. The move now waits for the lock
// and adds to the file as Dovecot left it; a lock its writer left behind (unchanged
// for a minute) is taken over.
TEST(KeywordLockTest, DovecotsLockIsWaitedForAndAStaleOneTakenOver) {
  testing::TemporaryFolder root;
  namespace fs = std::filesystem;
  const std::string spam = root.File(".Spam");
  fs::create_directories(spam);
  std::ofstream(root.File("dovecot-keywords")) << "0 $Forwarded\n";
  const std::string lock = spam + "/dovecot-keywords.lock";
  std::ofstream(lock) << "0 Other\n";  // Dovecot writes its new table into the lock
  std::thread dovecot([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    fs::rename(lock, spam + "/dovecot-keywords");
  });
  std::string note;
  const std::string flags =
      TranslateKeywordFlags(platform::RealFileSystem(), root.path(), spam, "Sa", &note);
  dovecot.join();
  EXPECT_EQ(flags, "Sb");
  EXPECT_EQ(note, "");
  std::ifstream in(spam + "/dovecot-keywords");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "0 Other\n1 $Forwarded\n");
  EXPECT_FALSE(fs::exists(lock));

  // Left behind by a writer that died.
  std::ofstream(lock) << "";
  fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::minutes(2));
  std::ofstream(root.File("dovecot-keywords")) << "0 $Forwarded\n1 Late\n";
  EXPECT_EQ(TranslateKeywordFlags(platform::RealFileSystem(), root.path(), spam, "Sb", &note),
            "Sc");
  EXPECT_FALSE(fs::exists(lock));
  for (const auto& entry : fs::directory_iterator(spam)) {
    EXPECT_EQ(entry.path().filename().string().find(".lock"), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace quorvel::mapi
