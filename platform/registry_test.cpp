// Behaviour both registry implementations share, run against each of them. The
// file registry is also re-opened from disk, so every value type makes the round
// trip through the text format.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/code_page.h"
#include "platform/registry_file.h"
#include "platform/registry_memory.h"

namespace quorvel::platform {
namespace {

constexpr RegRoot kHkcu = RegRoot::kCurrentUser;
constexpr const char* kKey = "Software\\Veltmark\\Quorvel\\Settings";

class RegistryContractTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetCodePageForTesting(1252);
    char pattern[] = "/tmp/quorvel-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    registry_ = Open();
  }
  void TearDown() override {
    SetCodePageForTesting(0);
    std::filesystem::remove_all(dir_);
  }
  bool IsFile() const { return GetParam(); }
  std::unique_ptr<Registry> Open() {
    if (IsFile()) return std::make_unique<RegistryFile>(dir_);
    return std::make_unique<RegistryMemory>();
  }
  // The registry as the next process would see it.
  Registry& Reopened() {
    if (IsFile()) registry_ = Open();
    return *registry_;
  }

  std::string dir_;
  std::unique_ptr<Registry> registry_;
};

RegValue Typed(std::uint32_t type, std::vector<std::uint8_t> data) {
  RegValue value;
  value.type = type;
  value.data = std::move(data);
  return value;
}

TEST_P(RegistryContractTest, EveryValueTypeKeepsItsExactBytes) {
  std::vector<std::uint8_t> large(70000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 31);
  const std::pair<std::string, RegValue> values[] = {
      {"Zero", RegValue::Dword(0)},
      {"Big", RegValue::Dword(0xFEDCBA98)},
      {"Text", RegValue::String("plain text")},
      {"Empty", RegValue::String("")},
      {"Escapes", RegValue::String("C:\\path\\\"quoted\" ;not a comment")},
      {"Latin", RegValue::String("caf\xE9 \x80 \x81\x8D")},  // 0x81, 0x8D: no character in 1252
      {"Lines", RegValue::String("one\r\ntwo\n")},
      {"InnerNul", Typed(REG_SZ, {'a', 0, 'b', 0})},
      {"NoNul", Typed(REG_SZ, {'a', 'b'})},
      {"NoBytes", Typed(REG_SZ, {})},
      {"Expand", Typed(REG_EXPAND_SZ, {'%', 'H', 'O', 'M', 'E', '%', 0})},
      {"Multi", Typed(REG_MULTI_SZ, {'a', 0, 'b', 0, 0})},
      {"Binary", RegValue::Binary({0x00, 0xFF, 0x10, 0x0A})},
      {"EmptyBinary", RegValue::Binary({})},
      {"Large", RegValue::Binary(large)},
      {"ShortDword", Typed(REG_DWORD, {1, 2, 3})},
      {"Qword", Typed(11, {1, 2, 3, 4, 5, 6, 7, 8})},
      {"None", Typed(REG_NONE, {9})},
      {"", RegValue::String("the default value")},
      {"Name \"with\" \\ specials=", RegValue::Dword(7)},
  };
  ASSERT_EQ(registry_->CreateKey(kHkcu, kKey), ERROR_SUCCESS);
  for (const auto& [name, value] : values) {
    ASSERT_EQ(registry_->SetValue(kHkcu, kKey, name, value), ERROR_SUCCESS) << name;
  }
  Registry& reopened = Reopened();
  for (const auto& [name, value] : values) {
    RegValue read;
    ASSERT_EQ(reopened.QueryValue(kHkcu, kKey, name, &read), ERROR_SUCCESS) << name;
    EXPECT_EQ(read.type, value.type) << name;
    EXPECT_EQ(read.data, value.data) << name;
  }
  std::vector<std::string> names;
  ASSERT_EQ(reopened.EnumValues(kHkcu, kKey, &names), ERROR_SUCCESS);
  ASSERT_EQ(names.size(), std::size(values));
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], values[i].first);
}

TEST_P(RegistryContractTest, KeysAreCreatedWithParentsAndFoundWhateverTheCase) {
  ASSERT_EQ(registry_->CreateKey(kHkcu, "Software\\Veltmark\\Quorvel\\Settings"), ERROR_SUCCESS);
  ASSERT_EQ(registry_->CreateKey(kHkcu, "Software\\Veltmark\\Other"), ERROR_SUCCESS);
  ASSERT_EQ(registry_->CreateKey(kHkcu, "SOFTWARE\\veltmark\\QUORVEL"), ERROR_SUCCESS);
  Registry& r = Reopened();
  EXPECT_TRUE(r.KeyExists(kHkcu, "software\\VELTMARK"));
  EXPECT_TRUE(r.KeyExists(kHkcu, "Software\\Veltmark\\Quorvel\\Settings\\"));
  EXPECT_FALSE(r.KeyExists(kHkcu, "Software\\Veltmark\\Missing"));
  EXPECT_FALSE(r.KeyExists(RegRoot::kLocalMachine, "Software\\Veltmark"));
  std::vector<std::string> names;
  ASSERT_EQ(r.EnumSubKeys(kHkcu, "Software\\Veltmark", &names), ERROR_SUCCESS);
  EXPECT_EQ(names, (std::vector<std::string>{"Quorvel", "Other"}));  // created order and case
  ASSERT_EQ(r.EnumSubKeys(kHkcu, "", &names), ERROR_SUCCESS);
  EXPECT_EQ(names, (std::vector<std::string>{"Software"}));
  EXPECT_EQ(r.EnumSubKeys(kHkcu, "Nope", &names), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContractTest, ValueNamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
  ASSERT_EQ(registry_->CreateKey(kHkcu, kKey), ERROR_SUCCESS);
  ASSERT_EQ(registry_->SetValue(kHkcu, kKey, "MarkSpamAsRead", RegValue::Dword(1)), ERROR_SUCCESS);
  ASSERT_EQ(registry_->SetValue(kHkcu, kKey, "MARKSPAMASREAD", RegValue::Dword(2)), ERROR_SUCCESS);
  Registry& r = Reopened();
  RegValue read;
  ASSERT_EQ(r.QueryValue(kHkcu, kKey, "markspamasread", &read), ERROR_SUCCESS);
  EXPECT_EQ(read.data, RegValue::Dword(2).data);
  std::vector<std::string> names;
  ASSERT_EQ(r.EnumValues(kHkcu, kKey, &names), ERROR_SUCCESS);
  EXPECT_EQ(names, (std::vector<std::string>{"MarkSpamAsRead"}));
}

TEST_P(RegistryContractTest, MissingKeysAndValuesAreReportedWithText) {
  RegValue read;
  EXPECT_EQ(registry_->SetValue(kHkcu, kKey, "X", RegValue::Dword(1)), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(registry_->LastError().find("Software\\Veltmark"), std::string::npos)
      << registry_->LastError();
  EXPECT_EQ(registry_->QueryValue(kHkcu, kKey, "X", &read), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(registry_->CreateKey(kHkcu, kKey), ERROR_SUCCESS);
  EXPECT_EQ(registry_->QueryValue(kHkcu, kKey, "X", &read), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry_->DeleteValue(kHkcu, kKey, "X"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(registry_->DeleteTree(kHkcu, "Software\\Nope"), ERROR_FILE_NOT_FOUND);
}

TEST_P(RegistryContractTest, NamesTheFileCannotHoldAreRefused) {
  ASSERT_EQ(registry_->CreateKey(kHkcu, kKey), ERROR_SUCCESS);
  EXPECT_EQ(registry_->CreateKey(kHkcu, "Bad\nKey"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(registry_->CreateKey(kHkcu, std::string(256, 'k')), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(registry_->SetValue(kHkcu, kKey, "two\nlines", RegValue::Dword(1)),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(registry_->SetValue(kHkcu, kKey, std::string_view("nul\0", 4), RegValue::Dword(1)),
            ERROR_INVALID_PARAMETER);
  std::vector<std::string> names;
  ASSERT_EQ(Reopened().EnumValues(kHkcu, kKey, &names), ERROR_SUCCESS);
  EXPECT_TRUE(names.empty());
}

TEST_P(RegistryContractTest, DeletesRemoveValuesAndWholeTrees) {
  ASSERT_EQ(registry_->CreateKey(kHkcu, "Software\\A\\B\\C"), ERROR_SUCCESS);
  ASSERT_EQ(registry_->CreateKey(kHkcu, "Software\\D"), ERROR_SUCCESS);
  ASSERT_EQ(registry_->SetValue(kHkcu, "Software\\A\\B", "v", RegValue::Dword(1)), ERROR_SUCCESS);
  ASSERT_EQ(registry_->SetValue(kHkcu, "Software\\D", "keep", RegValue::Dword(2)), ERROR_SUCCESS);
  ASSERT_EQ(registry_->SetValue(kHkcu, "Software\\D", "drop", RegValue::Dword(3)), ERROR_SUCCESS);
  ASSERT_EQ(registry_->DeleteValue(kHkcu, "Software\\D", "DROP"), ERROR_SUCCESS);
  ASSERT_EQ(registry_->DeleteTree(kHkcu, "software\\a"), ERROR_SUCCESS);
  Registry& r = Reopened();
  EXPECT_FALSE(r.KeyExists(kHkcu, "Software\\A"));
  EXPECT_FALSE(r.KeyExists(kHkcu, "Software\\A\\B\\C"));
  std::vector<std::string> names;
  ASSERT_EQ(r.EnumValues(kHkcu, "Software\\D", &names), ERROR_SUCCESS);
  EXPECT_EQ(names, (std::vector<std::string>{"keep"}));
}

TEST_P(RegistryContractTest, RootsAreSeparate) {
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine, RegRoot::kClassesRoot}) {
    ASSERT_EQ(registry_->CreateKey(root, "K"), ERROR_SUCCESS);
    ASSERT_EQ(registry_->SetValue(root, "K", "root", RegValue::String(RegRootName(root))),
              ERROR_SUCCESS);
  }
  Registry& r = Reopened();
  for (RegRoot root : {RegRoot::kCurrentUser, RegRoot::kLocalMachine, RegRoot::kClassesRoot}) {
    RegValue read;
    ASSERT_EQ(r.QueryValue(root, "K", "root", &read), ERROR_SUCCESS);
    EXPECT_EQ(read.data, RegValue::String(RegRootName(root)).data);
  }
}

INSTANTIATE_TEST_SUITE_P(Implementations, RegistryContractTest, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "File" : "Memory"; });

}  // namespace
}  // namespace quorvel::platform
