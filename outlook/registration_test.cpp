#include "outlook/registration.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/registry_memory.h"

namespace quorvel::outlook {
namespace {

using platform::RegRoot;
using platform::RegValue;

std::string Text(platform::Registry& r, RegRoot root, const std::string& key,
                 const std::string& name) {
  RegValue v;
  if (r.QueryValue(root, key, name, &v) != platform::ERROR_SUCCESS) return "<missing>";
  if (v.type == platform::REG_DWORD) return "dword:" + std::to_string(v.data[0]);
  return std::string(v.data.begin(), v.data.end() - 1);
}

TEST(RegistrationTest, WritesTheValuesTheHostLoadsFromAndUnregisteringRemovesTheClasses) {
  platform::RegistryMemory r;
  std::string error;
  ASSERT_EQ(RegisterAddIn(r, "/usr/bin/quorvel", &error), platform::ERROR_SUCCESS) << error;
  const std::string addIn = std::string(kAddInsKey) + "\\Quorvel";
  const std::string addInClass = std::string("CLSID\\") + kAddInClsid;
  const std::string coreClass = std::string("CLSID\\") + kCoreClsid;
  struct Case {
    RegRoot root;
    std::string key, name, expected;
  } written[] = {
      {RegRoot::kLocalMachine, addIn, "Description", "AntiSpam add-in for Microsoft Outlook"},
      {RegRoot::kLocalMachine, addIn, "FriendlyName", "Quorvel"},
      {RegRoot::kLocalMachine, addIn, "LoadBehavior", "dword:3"},
      {RegRoot::kLocalMachine, kExtensionsKey, "Quorvel",
       "4.0;/usr/bin/quorvel;5;10000101001;0011"},
      {RegRoot::kClassesRoot, "Quorvel\\CurVer", "", "Quorvel.1"},
      {RegRoot::kClassesRoot, "Quorvel\\CLSID", "", kAddInClsid},
      {RegRoot::kClassesRoot, "Quorvel2\\CurVer", "", "Quorvel2.1"},
      {RegRoot::kClassesRoot, "Quorvel2.1\\CLSID", "", kCoreClsid},
      {RegRoot::kClassesRoot, addInClass + "\\ProgID", "", "Quorvel.1"},
      {RegRoot::kClassesRoot, addInClass + "\\VersionIndependentProgID", "", "Quorvel.1"},
      {RegRoot::kClassesRoot, coreClass + "\\VersionIndependentProgID", "", "Quorvel2"},
      {RegRoot::kClassesRoot, addInClass + "\\InprocServer32", "", "/usr/bin/quorvel"},
      {RegRoot::kClassesRoot, addInClass + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {RegRoot::kClassesRoot, coreClass + "\\TypeLib", "", kTypeLibId},
      {RegRoot::kClassesRoot, std::string("TypeLib\\") + kTypeLibId + "\\1.0", "",
       "QV 1.0 Type Library"},
  };
  for (const Case& c : written) {
    EXPECT_EQ(Text(r, c.root, c.key, c.name), c.expected) << c.key << " " << c.name;
  }
  EXPECT_TRUE(r.KeyExists(RegRoot::kClassesRoot, addInClass + "\\Programmable"));

  // An older registration under the previous key name is removed with the rest.
  r.CreateKey(RegRoot::kLocalMachine, std::string(kAddInsKey) + "\\QV.QVAddIn");
  ASSERT_EQ(UnregisterAddIn(r, &error), platform::ERROR_SUCCESS) << error;
  EXPECT_FALSE(r.KeyExists(RegRoot::kLocalMachine, std::string(kAddInsKey) + "\\QV.QVAddIn"));
  EXPECT_EQ(Text(r, RegRoot::kLocalMachine, kExtensionsKey, "Quorvel"), "<missing>");
  for (const char* key : {"Quorvel", "Quorvel.1", "Quorvel2", "Quorvel2.1"}) {
    EXPECT_FALSE(r.KeyExists(RegRoot::kClassesRoot, key)) << key;
  }
  EXPECT_FALSE(r.KeyExists(RegRoot::kClassesRoot, addInClass));
  EXPECT_FALSE(r.KeyExists(RegRoot::kClassesRoot, std::string("TypeLib\\") + kTypeLibId));
  // The add-in key itself stays; without its class the host will not load it.
  EXPECT_EQ(Text(r, RegRoot::kLocalMachine, addIn, "LoadBehavior"), "dword:3");
  // Unregistering twice is not an error.
  EXPECT_EQ(UnregisterAddIn(r, &error), platform::ERROR_SUCCESS) << error;
}

TEST(RegistrationTest, DeletesTheClientsExtensionCache) {
  auto dir = std::filesystem::path(testing::TempDir()) / "appdata-reg";
  std::filesystem::create_directories(dir / "Microsoft/Outlook");
  std::ofstream(dir / "Microsoft/Outlook/extend.dat") << "cache";
  platform::RegistryMemory r;
  const char* shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  r.CreateKey(RegRoot::kCurrentUser, shell);
  r.SetValue(RegRoot::kCurrentUser, shell, "Local AppData", RegValue::String(dir.string()));
  ASSERT_EQ(RegisterAddIn(r, "/usr/bin/quorvel", nullptr), platform::ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(dir / "Microsoft/Outlook/extend.dat"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorvel::outlook
