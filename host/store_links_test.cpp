#include "host/store_links.h"

#include <gtest/gtest.h>

namespace quorvel::host {
namespace {

class StoreLinksTest : public ::testing::Test {
 protected:
  StoreLinksTest() {
    events_.Subscribe({"store"}, [this](const protocol::Event& e) { published_.push_back(e); });
  }
  static std::string Field(const protocol::Event& e, const std::string& name) {
    for (const auto& [n, v] : e.fields) {
      if (n == name) return v;
    }
    return "(none)";
  }

  EventBus events_;
  std::vector<protocol::Event> published_;
  std::vector<std::string> logged_;
  std::int64_t now_ = 1000;
  StoreLinks links_{&events_, [this](const std::string& line) { logged_.push_back(line); },
                    [this] { return now_; }};
};

// Each loss and each return is logged and published once, with the reason; repeated
// failures while reconnecting only keep the newest error; the state says since when.
TEST_F(StoreLinksTest, LossAndReturnAreToldOnceEach) {
  links_.Add("imaps://me@mail.example");
  EXPECT_TRUE(links_.AllConnected());
  now_ = 1010;
  links_.Changed("imaps://me@mail.example", false, "the server closed the connection");
  now_ = 1020;
  links_.Changed("imaps://me@mail.example", false, "cannot connect");
  ASSERT_EQ(published_.size(), 1u);
  EXPECT_EQ(Field(published_[0], "state"), "reconnecting");
  EXPECT_EQ(Field(published_[0], "error"), "the server closed the connection");
  auto links = links_.Snapshot();
  ASSERT_EQ(links.size(), 1u);
  EXPECT_FALSE(links[0].connected);
  EXPECT_EQ(links[0].since, 1010);
  EXPECT_EQ(links[0].lastError, "cannot connect");
  EXPECT_FALSE(links_.AllConnected());

  now_ = 1030;
  links_.Changed("imaps://me@mail.example", true, "");
  ASSERT_EQ(published_.size(), 2u);
  EXPECT_EQ(Field(published_[1], "state"), "connected");
  EXPECT_EQ(Field(published_[1], "error"), "(none)");
  links = links_.Snapshot();
  EXPECT_TRUE(links[0].connected);
  EXPECT_EQ(links[0].since, 1030);
  EXPECT_EQ(links[0].lastError, "cannot connect");  // the last error stays to be seen
  ASSERT_EQ(logged_.size(), 2u);
  EXPECT_NE(logged_[0].find("was lost: the server closed the connection"), std::string::npos);
  EXPECT_NE(logged_[1].find("is back"), std::string::npos);
}

// A store first heard of by its loss is added; two stores keep their own states.
TEST_F(StoreLinksTest, StoresAreKeptApart) {
  links_.Add("imaps://a@one.example");
  links_.Changed("imaps://b@two.example", false, "refused");
  auto links = links_.Snapshot();
  ASSERT_EQ(links.size(), 2u);
  EXPECT_TRUE(links[0].connected);
  EXPECT_FALSE(links[1].connected);
  EXPECT_EQ(published_.size(), 1u);
}

}  // namespace
}  // namespace quorvel::host
