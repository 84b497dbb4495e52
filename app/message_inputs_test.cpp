#include "app/message_inputs.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace quorvel::app {
namespace {

struct ViewsCase {
  const char* name;
  std::vector<const char*> commandLine;  // argv, the program first
  std::vector<std::string> parsed;
  std::vector<int> viewedAt;  // per parsed argument: its argv index, or -1 for kept
};

TEST(ViewsOfCommandLine, ArgumentsAreViewsOfTheCommandLineInOrder) {
  const std::vector<ViewsCase> cases = {
      {"plain files", {"quorvel", "classify", "a.eml", "b.eml"}, {"a.eml", "b.eml"}, {2, 3}},
      {"after options",
       {"quorvel", "classify", "--json", "a", "--exit-code", "b"},
       {"a", "b"},
       {3, 5}},
      // The same name twice is matched to each of its own entries, not the first twice.
      {"repeated", {"quorvel", "classify", "x", "x", "x"}, {"x", "x", "x"}, {2, 3, 4}},
      // A name equal to the subcommand is still found after it.
      {"subcommand name as a file", {"quorvel", "classify", "classify"}, {"classify"}, {2}},
      // The program's own name is never a match.
      {"program name", {"quorvel", "classify", "quorvel"}, {"quorvel"}, {2}},
      // A value the parser rewrote ("--file=x" split, say) is kept as a copy.
      {"rewritten", {"quorvel", "classify", "--path=a", "b"}, {"a", "b"}, {-1, 3}},
      {"nothing", {"quorvel", "classify"}, {}, {}},
  };
  for (const ViewsCase& c : cases) {
    std::vector<std::string> parsed = c.parsed;
    std::deque<std::string> kept;
    const std::vector<std::string_view> views = ViewsOfCommandLine(&parsed, c.commandLine, &kept);
    EXPECT_TRUE(parsed.empty()) << c.name;
    ASSERT_EQ(views.size(), c.parsed.size()) << c.name;
    std::size_t keptCount = 0;
    for (std::size_t i = 0; i < views.size(); ++i) {
      EXPECT_EQ(views[i], c.parsed[i]) << c.name << " #" << i;
      if (c.viewedAt[i] < 0) {
        ++keptCount;
        EXPECT_NE(views[i].data(), nullptr) << c.name;
      } else {
        EXPECT_EQ(views[i].data(), c.commandLine[static_cast<std::size_t>(c.viewedAt[i])])
            << c.name << " #" << i;
      }
    }
    EXPECT_EQ(kept.size(), keptCount) << c.name;
  }
}

TEST(ViewsOfCommandLine, KeptCopiesStayValidAsMoreAreKept) {
  std::vector<std::string> parsed;
  for (int i = 0; i < 100; ++i) parsed.push_back("rewritten-" + std::to_string(i));
  std::deque<std::string> kept;
  const std::vector<const char*> commandLine = {"quorvel"};
  const std::vector<std::string_view> views = ViewsOfCommandLine(&parsed, commandLine, &kept);
  ASSERT_EQ(views.size(), 100u);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(views[static_cast<std::size_t>(i)], "rewritten-" + std::to_string(i));
}

}  // namespace
}  // namespace quorvel::app
