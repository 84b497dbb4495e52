#include "platform/lock_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "testing/temporary_folder.h"

namespace quorvel::platform {
namespace {

class LockFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.empty());
    path_ = dir_ + "/host-home.lock";
  }

  quorvel::testing::TemporaryFolder folder_{"qv-lock"};
  std::string dir_ = folder_.path();
  std::string path_;
};

TEST_F(LockFileTest, ASecondHolderIsRefusedAndToldWhoHoldsIt) {
  auto first = LockFile::TryAcquire(path_, nullptr, nullptr);
  ASSERT_TRUE(first);
  LockHolder holder;
  std::string error;
  EXPECT_FALSE(LockFile::TryAcquire(path_, &holder, &error));
  EXPECT_TRUE(error.empty()) << error;
  EXPECT_EQ(holder.pid, ::getpid());
  EXPECT_EQ(LockFile::Holder(path_).pid, ::getpid());
  first.reset();
  EXPECT_EQ(LockFile::Holder(path_).pid, 0);
  EXPECT_TRUE(LockFile::TryAcquire(path_, nullptr, nullptr));
}

// Every command looks whether a host runs; a host starting at that moment must not take
// the look for a running host and give up.
TEST_F(LockFileTest, LookingAtTheLockNeverMakesATakerGiveUp) {
  std::atomic<bool> done{false};
  std::thread looker([&] {
    while (!done) LockFile::Holder(path_);
  });
  int refused = 0;
  for (int i = 0; i < 300; ++i) {
    LockHolder holder;
    auto lock = LockFile::TryAcquire(path_, &holder, nullptr);
    if (!lock) ++refused;
  }
  done = true;
  looker.join();
  EXPECT_EQ(refused, 0);
}

}  // namespace
}  // namespace quorvel::platform
