#include "app/message_inputs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapi/queries.h"
#include "mapi/tags.h"
#include "platform/memory_file_system.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;

constexpr const char* kSeparator = "From a@example.org Mon Jun 24 17:04:13 2002\n";

class MessageInputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvel-inputs-test-XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = root_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  std::string Path(const std::string& name) const { return (root_ / name).string(); }

  // What reading `arg` gives: one line per message ("name subject flags [@offset]")
  // or problem ("! problem").
  std::vector<std::string> Read(const std::string& arg, bool recursive = false) {
    std::vector<std::string> lines;
    const int problems = ReadMessageInput(
        arg, InputOptions{recursive},
        [&](MessageInput& input) {
          const auto subject = mapi::HrGetOneProp(*input.message, mapi::PR_SUBJECT);
          const auto flags = mapi::HrGetOneProp(*input.message, mapi::PR_MESSAGE_FLAGS);
          std::string line = input.name.substr(root_.string().size() + 1) + " " +
                             (subject.ok() && subject->AsString8() ? *subject->AsString8() : "-") +
                             " " + std::to_string(flags.ok() ? *flags->AsLong() : -1);
          if (input.offset) line += " @" + std::to_string(*input.offset);
          lines.push_back(line);
        },
        [&](const std::string& problem) {
          lines.push_back("! " + problem.substr(problem.find(root_.string()) == 0
                                                    ? root_.string().size() + 1
                                                    : 0));
        },
        *files_);
    EXPECT_EQ(problems,
              static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                return l.starts_with("! ");
              })));
    return lines;
  }

  fs::path root_;
  platform::FileSystem* files_ = &platform::RealFileSystem();
};

TEST_F(MessageInputsTest, PlainFolderSkipsHiddenFilesAndSubFoldersUnlessRecursive) {
  Write("plain/b.eml", "Subject: b\n\nx\n");
  Write("plain/a.eml", "Subject: a\n\nx\n");
  Write("plain/.hidden", "Subject: hidden\n\nx\n");
  Write("plain/sub/c.eml", "Subject: c\n\nx\n");
  Write("plain/.dot/d.eml", "Subject: d\n\nx\n");
  // In a folder every file is one message, even one that begins like an mbox.
  Write("plain/e.eml", std::string(kSeparator) + "Subject: e\n\nx\n");
  EXPECT_EQ(Read(Path("plain")),
            (std::vector<std::string>{"plain/a.eml a 0", "plain/b.eml b 0", "plain/e.eml e 0"}));
  EXPECT_EQ(Read(Path("plain"), true),
            (std::vector<std::string>{"plain/a.eml a 0", "plain/b.eml b 0", "plain/e.eml e 0",
                                      "plain/sub/c.eml c 0"}));
}

TEST_F(MessageInputsTest, MaildirMessagesCarryTheirFlags) {
  Write("box/cur/2.host:2,S", "Subject: read\n\nx\n");
  Write("box/cur/1.host:2,D", "Subject: draft\n\nx\n");
  Write("box/new/3.host", "Subject: new\n\nx\n");
  Write("box/cur/.hidden", "Subject: hidden\n\nx\n");
  EXPECT_EQ(Read(Path("box")),
            (std::vector<std::string>{"box/cur/1.host:2,D draft 8", "box/cur/2.host:2,S read 1",
                                      "box/new/3.host new 0"}));
}

TEST_F(MessageInputsTest, AnMboxFileIsItsMessagesWithNumbersAndOffsets) {
  const std::string first = std::string(kSeparator) + "Subject: one\n\n>From quoted\n\n";
  Write("archive", first + kSeparator + "Subject: two\n\nx\n");
  EXPECT_EQ(Read(Path("archive")),
            (std::vector<std::string>{"archive:1 one 0 @0",
                                      "archive:2 two 0 @" + std::to_string(first.size())}));
  // Not an mbox: one message, named by its path.
  Write("single.eml", "Subject: single\n\nFrom me\n");
  EXPECT_EQ(Read(Path("single.eml")), (std::vector<std::string>{"single.eml single 0"}));
}

TEST_F(MessageInputsTest, DamageIsReportedAndTheRestIsRead) {
  const std::string one = std::string(kSeparator) + "Subject: one\n\nx\n\n";
  const std::string bad = "From nobody\nSubject: two\n\ny\n\n";
  const std::string empty = std::string(kSeparator) + "\n";
  Write("damaged", one + bad + empty + kSeparator + "Subject: four\n\ncut off");
  const std::string at2 = std::to_string(one.size());
  const std::string at4 = std::to_string(one.size() + bad.size() + empty.size());
  EXPECT_EQ(Read(Path("damaged")),
            (std::vector<std::string>{
                "damaged:1 one 0 @0",
                "! damaged:2: damaged separator line (byte " + at2 + ")",
                "damaged:2 two 0 @" + at2,
                "! damaged:3: empty message, skipped (byte " +
                    std::to_string(one.size() + bad.size()) + ")",
                "! damaged:4: the file ends inside this message (byte " + at4 + ")",
                "damaged:4 four 0 @" + at4,
            }));
  EXPECT_EQ(Read(Path("missing")), (std::vector<std::string>{"! missing: no such file or folder"}));
}

// A folder reached again through a link inside it is not read round and round.
TEST_F(MessageInputsTest, ALinkToAFolderIsNotFollowedWhenRecursive) {
  Write("plain/a.eml", "Subject: a\n\nx\n");
  Write("plain/sub/b.eml", "Subject: b\n\nx\n");
  fs::create_directory_symlink("..", root_ / "plain/sub/up");
  EXPECT_EQ(Read(Path("plain"), true),
            (std::vector<std::string>{"plain/a.eml a 0", "plain/sub/b.eml b 0"}));
}

// The same reading on in-memory files that hand out short pieces or fail.
class MessageInputsFaultsTest : public MessageInputsTest {
 protected:
  void SetUp() override {
    MessageInputsTest::SetUp();
    realRoot_ = root_;
    root_ = "/m";
    files_ = &memory_;
  }
  void TearDown() override {
    root_ = realRoot_;
    MessageInputsTest::TearDown();
  }
  void Put(const std::string& name, const std::string& text) {
    memory_.PutFile("/m/" + name, text);
  }

  platform::MemoryFileSystem memory_;
  fs::path realRoot_;
};

TEST_F(MessageInputsFaultsTest, ShortReadsGiveWholeMessagesAndMailboxes) {
  const std::string first = std::string(kSeparator) + "Subject: one\n\nx\n\n";
  Put("archive", first + kSeparator + "Subject: two\n\nx\n");
  Put("box/cur/1.host:2,S", "Subject: read\n\nx\n");
  Put("single.eml", "Subject: single\n\nbody\n");
  // Three bytes at a time: even the five that tell a mailbox from a message come in two.
  memory_.SetReadPiece(3);
  EXPECT_EQ(Read(Path("archive")),
            (std::vector<std::string>{"archive:1 one 0 @0",
                                      "archive:2 two 0 @" + std::to_string(first.size())}));
  EXPECT_EQ(Read(Path("box")), (std::vector<std::string>{"box/cur/1.host:2,S read 1"}));
  EXPECT_EQ(Read(Path("single.eml")), (std::vector<std::string>{"single.eml single 0"}));
}

TEST_F(MessageInputsFaultsTest, WhatFailsIsAProblemAndTheRestIsRead) {
  Put("box/cur/1.host:2,", "Subject: one\n\nx\n");
  Put("box/cur/2.host:2,", "Subject: two\n\nx\n");
  Put("box/new/3.host", "Subject: three\n\nx\n");
  Put("archive", std::string(kSeparator) + "Subject: one\n\nx\n\n" + kSeparator +
                     "Subject: two\n\n" + std::string(200000, 'x') + "\n");
  int archiveReads = 0;
  memory_.SetFault([&](platform::MemoryFileSystem::Call call, const std::string& path) {
    using Call = platform::MemoryFileSystem::Call;
    if (call == Call::kList && path == "/m/box/new") return EACCES;
    if (call == Call::kRead && path == "/m/box/cur/1.host:2,") return EIO;
    // The mailbox fails in its second message, after its opening and first reads.
    if (call == Call::kRead && path == "/m/archive" && ++archiveReads > 4) return EIO;
    return 0;
  });
  EXPECT_EQ(Read(Path("box")), (std::vector<std::string>{
                                   "! box/cur/1.host:2,: Input/output error",
                                   "box/cur/2.host:2, two 0",
                                   "! box/new: permission denied (its messages were not read)",
                               }));
  const std::vector<std::string> archive = Read(Path("archive"));
  ASSERT_FALSE(archive.empty());
  EXPECT_EQ(archive.front(), "archive:1 one 0 @0");
  EXPECT_EQ(archive.back(), "! archive: cannot be read to its end");
}

}  // namespace
}  // namespace quorvel::app
