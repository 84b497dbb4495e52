#include "mapi/mbox/mbox_reader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace quorvel::mapi {
namespace {

std::vector<MboxMessage> ReadAll(const std::string& mbox, std::size_t max = 1 << 20) {
  std::istringstream in(mbox);
  MboxReader reader(in, max);
  std::vector<MboxMessage> out;
  MboxMessage m;
  while (reader.Next(&m)) out.push_back(m);
  EXPECT_FALSE(reader.failed());
  return out;
}

// What a writer does: a separator, the message with every ">*From " line quoted
// (mboxrd), and an empty line.
std::string Mboxrd(const std::vector<std::string>& messages) {
  std::string out;
  for (const std::string& m : messages) {
    out += "From sender@example.org Mon Jun 24 17:04:13 2002\n";
    std::istringstream lines(m);
    for (std::string line; std::getline(lines, line);) {
      const std::size_t quotes = line.find_first_not_of('>');
      if (quotes != std::string::npos && line.compare(quotes, 5, "From ") == 0) out += '>';
      out += line + "\n";
    }
    out += "\n";
  }
  return out;
}

TEST(MboxSeparatorTest, ShapeOfTheLinesWritersMake) {
  const struct {
    const char* line;
    bool separator;
  } cases[] = {
      {"From spamassassin@localhost  Mon Jun 24 17:04:13 2002", true},
      {"From MAILER-DAEMON Fri Jul  8 12:08:34 2011", true},
      {"From - Mon Jan  1 0:00:00 2001", true},
      {"From 1234567@xxx Wed Jan 04 18:49:13 +0000 2017", true},
      {"From user@host Sat Jan  3 01:05:34 1996 +0100", true},
      {"From ", false},
      {"From user@host", false},
      {"From user@host Mon Jun 24 2002", false},      // no time
      {"From user@host Mon Jun 24 17:04:13", false},  // no year
      {"From here on, we meet at noon", false},
      {"From: user@host Mon Jun 24 17:04:13 2002", false},
      {">From user@host Mon Jun 24 17:04:13 2002", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsMboxSeparator(c.line), c.separator) << c.line;
}

TEST(MboxReaderTest, WrittenMessagesReadBackAsTheyWere) {
  const std::vector<std::string> messages = {
      "Subject: one\n\nFrom the start, quoted once.\n>From a quote, quoted twice.\n"
      ">>From deeper\n>Fromage is not quoted\nnot From at the start\n",
      "Subject: two\n\n\n\nbody after empty lines\n\n",
      "Subject: three\n\nlast\n",
  };
  const std::string mbox = Mboxrd(messages);
  const std::vector<MboxMessage> read = ReadAll(mbox);
  ASSERT_EQ(read.size(), messages.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(read[i].number, i + 1);
    EXPECT_EQ(read[i].bytes, messages[i]);
    EXPECT_EQ(mbox.compare(read[i].offset, 5, "From "), 0);
    EXPECT_FALSE(read[i].damagedSeparator || read[i].truncated || read[i].empty ||
                 read[i].tooLarge);
  }
  EXPECT_EQ(read[0].offset, 0u);
  EXPECT_EQ(read[1].offset, mbox.find("From sender", 1));
}

// Messages larger than the reader's buffer, lines split across its refills, and CR LF.
TEST(MboxReaderTest, LargeMessagesAndCrlfLines) {
  std::string big = "Subject: big\r\n\r\n";
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + " of a long body\r\n";
  const std::string mbox = "From a@b Mon Jun 24 17:04:13 2002\r\n" + big +
                           "\r\nFrom a@b Mon Jun 24 17:04:14 2002\r\nSubject: small\r\n\r\nx\r\n";
  const std::vector<MboxMessage> read = ReadAll(mbox);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].bytes, big);
  EXPECT_EQ(read[1].bytes, "Subject: small\r\n\r\nx\r\n");
  EXPECT_EQ(read[1].offset, mbox.rfind("From a@b"));
}

struct DamageCase {
  const char* name;
  std::string mbox;
  std::vector<std::string> bytes;
  std::vector<std::string> damage;  // per message: "" or the flags set
};

std::string Damage(const MboxMessage& m) {
  std::string out;
  if (m.damagedSeparator) out += "separator ";
  if (m.truncated) out += "truncated ";
  if (m.empty) out += "empty ";
  if (m.tooLarge) out += "large ";
  if (!out.empty()) out.pop_back();
  return out;
}

TEST(MboxReaderTest, DamageIsReportedAndTheRestIsRead) {
  const std::string sep = "From a@b Mon Jun 24 17:04:13 2002\n";
  const std::vector<DamageCase> cases = {
      {"empty file", "", {}, {}},
      {"last message cut inside a line",
       sep + "Subject: 1\n\nfine\n\n" + sep + "Subject: 2\n\ncut in the mid",
       {"Subject: 1\n\nfine\n", "Subject: 2\n\ncut in the mid"},
       {"", "truncated"}},
      {"separator without a date after an empty line",
       sep + "Subject: 1\n\nx\n\nFrom somebody\nSubject: 2\n\ny\n",
       {"Subject: 1\n\nx\n", "Subject: 2\n\ny\n"},
       {"", "separator"}},
      {"unquoted From line inside a paragraph stays in the body",
       sep + "Subject: 1\n\nwe met\nFrom here on it went well\n",
       {"Subject: 1\n\nwe met\nFrom here on it went well\n"},
       {""}},
      {"a writer that left out the empty line",
       sep + "Subject: 1\n\nx\n" + sep + "Subject: 2\n\ny\n",
       {"Subject: 1\n\nx\n", "Subject: 2\n\ny\n"},
       {"", ""}},
      {"not an mbox at the start",
       "Subject: no separator\n\nx\n\n" + sep + "Subject: 2\n\ny\n",
       {"Subject: no separator\n\nx\n", "Subject: 2\n\ny\n"},
       {"separator", ""}},
      {"separators with nothing between and at the end",
       sep + "\n" + sep + "Subject: 2\n\ny\n\n" + sep,
       {"", "Subject: 2\n\ny\n", ""},
       {"empty", "", "empty"}},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<MboxMessage> read = ReadAll(c.mbox);
    ASSERT_EQ(read.size(), c.bytes.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i].bytes, c.bytes[i]) << i;
      EXPECT_EQ(Damage(read[i]), c.damage[i]) << i;
    }
  }
}

// A message over the limit was skipped, never judged, and the limit was 1 GiB: a 2 GB
// sparse mbox took 2.1 GB of memory. Its start is kept now, up to the limit, whether
// the limit falls inside a line, at a line's end, or inside one endless line.
TEST(MboxReaderTest, AMessageOverTheLimitKeepsItsStartWithinBoundedMemory) {
  const std::string sep = "From a@b Mon Jun 24 17:04:13 2002\n";
  const std::string head = "Subject: huge\n\n";
  for (const std::string& body :
       {std::string(5000, 'x') + "\n" + std::string(300, 'y') + "\n",
        std::string(1000 - head.size() - 1, 'x') + "\n" + std::string(300, 'y') + "\n",
        std::string(200000, 'z')}) {
    SCOPED_TRACE(body.size());
    const std::string huge = head + body;
    const std::string mbox = sep + huge + "\n" + sep + "Subject: 2\n\nsmall\n";
    const std::vector<MboxMessage> read = ReadAll(mbox, 1000);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(Damage(read[0]), "large");
    EXPECT_EQ(read[0].bytes, huge.substr(0, 1000));
    EXPECT_EQ(read[1].bytes, "Subject: 2\n\nsmall\n");
    EXPECT_EQ(Damage(read[1]), "");
  }
}

// A stream that fails after handing out some bytes, as a disk error would.
class FailingBuf : public std::streambuf {
 public:
  explicit FailingBuf(std::string data) : data_(std::move(data)) {
    setg(data_.data(), data_.data(), data_.data() + data_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string data_;
};

TEST(MboxReaderTest, AFailedReadEndsTheReadingAndSaysSo) {
  // More than one read's worth, so that the failure comes after some of the message.
  std::string message = "Subject: 1\n\n";
  while (message.size() < 200'000) message += "a line of the body\n";
  FailingBuf buf("From a@b Mon Jun 24 17:04:13 2002\n" + message);
  std::istream in(&buf);
  MboxReader reader(in);
  MboxMessage m;
  ASSERT_TRUE(reader.Next(&m));
  EXPECT_TRUE(m.truncated);
  EXPECT_FALSE(m.bytes.empty());
  EXPECT_LT(m.bytes.size(), message.size());
  EXPECT_EQ(message.compare(0, m.bytes.size(), m.bytes), 0);
  EXPECT_FALSE(reader.Next(&m));
  EXPECT_TRUE(reader.failed());
}

}  // namespace
}  // namespace quorvel::mapi
