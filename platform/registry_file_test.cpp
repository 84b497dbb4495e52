#include "platform/registry_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quorvel::platform {
namespace {

constexpr RegRoot kHkcu = RegRoot::kCurrentUser;

class RegistryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCodePageForTesting(1252);
    char pattern[] = "/tmp/quorvel-regfile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    SetCodePageForTesting(0);
    std::filesystem::remove_all(dir_);
  }
  std::string HkcuPath() const { return dir_ + "/HKEY_CURRENT_USER.reg"; }
  void WriteHkcu(std::string_view bytes) const {
    std::ofstream(HkcuPath(), std::ios::binary) << bytes;
  }
  std::string ReadHkcu() const {
    std::string bytes;
    EXPECT_TRUE(RealFileSystem().ReadFile(HkcuPath(), &bytes).ok());
    return bytes;
  }
  RegValue Query(Registry& r, std::string_view key, std::string_view name) {
    RegValue value;
    EXPECT_EQ(r.QueryValue(kHkcu, key, name, &value), ERROR_SUCCESS)
        << key << " " << name << ": " << r.LastError();
    return value;
  }
  std::string dir_;
};

std::string Utf16LeWithBom(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST_F(RegistryFileTest, WritesTheRegistryEditorsFormat) {
  RegistryFile registry(dir_);
  const char* key = "Software\\Veltmark\\Quorvel\\Settings";
  ASSERT_EQ(registry.CreateKey(kHkcu, key), ERROR_SUCCESS);
  ASSERT_EQ(registry.CreateKey(kHkcu, "Software\\Veltmark\\Quorvel\\Empty"), ERROR_SUCCESS);
  ASSERT_EQ(registry.SetValue(kHkcu, key, "MarkSpamAsRead", RegValue::Dword(1)), ERROR_SUCCESS);
  ASSERT_EQ(registry.SetValue(kHkcu, key, "Folder", RegValue::String("Inbox\\\"Spam\" caf\xE9")),
            ERROR_SUCCESS);
  ASSERT_EQ(registry.SetValue(kHkcu, key, "", RegValue::String("default")), ERROR_SUCCESS);
  std::vector<std::uint8_t> bytes(30);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(registry.SetValue(kHkcu, key, "List", RegValue::Binary(bytes)), ERROR_SUCCESS);
  RegValue expand;
  expand.type = REG_EXPAND_SZ;
  expand.data = {'%', 'A', 0};
  ASSERT_EQ(registry.SetValue(kHkcu, key, "Path", expand), ERROR_SUCCESS);
  EXPECT_EQ(ReadHkcu(),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Veltmark]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel\\Settings]\n"
            "\"MarkSpamAsRead\"=dword:00000001\n"
            "\"Folder\"=\"Inbox\\\\\\\"Spam\\\" caf\xC3\xA9\"\n"
            "@=\"default\"\n"
            "\"List\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
            "  16,17,18,19,1a,1b,1c,1d\n"
            "\"Path\"=hex(2):25,00,41,00,00,00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel\\Empty]\n");
  EXPECT_FALSE(RealFileSystem().Exists(dir_ + "/HKEY_LOCAL_MACHINE.reg"));
}

TEST_F(RegistryFileTest, ReadsAFileExportedAsUtf16WithCrLf) {
  WriteHkcu(
      Utf16LeWithBom(u"Windows Registry Editor Version 5.00\r\n"
                     u"\r\n"
                     u"; exported by hand\r\n"
                     u"[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel\\Settings]\r\n"
                     u"\"ShowWizard\"=dword:0000000A\r\n"
                     u"\"Name\"=\"Ren\u00E9e \\\"R\\\" \\\\ \u0416\"\r\n"
                     u"@=\"def\"\r\n"
                     u"\"Long\"=hex:01,02,\\\r\n"
                     u"  03,04,\\\r\n"
                     u"  05\r\n"
                     u"\"Expand\"=hex(2):25,00,55,00,53,00,45,00,52,00,25,00,00,00\r\n"
                     u"\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                     u"\"Gone\"=dword:1\r\n"
                     u"\"Gone\"=-\r\n"
                     u"\r\n"
                     u"[HKEY_CURRENT_USER\\Software\\Old]\r\n"
                     u"\"x\"=dword:1\r\n"
                     u"[-HKEY_CURRENT_USER\\Software\\Old]\r\n"));
  RegistryFile registry(dir_);
  const char* key = "Software\\Veltmark\\Quorvel\\Settings";
  EXPECT_EQ(Query(registry, key, "ShowWizard").data, RegValue::Dword(10).data);
  EXPECT_EQ(Query(registry, key, "Name").data, RegValue::String("Ren\xE9"
                                                                "e \"R\" \\ ?")
                                                   .data);
  EXPECT_EQ(Query(registry, key, "").data, RegValue::String("def").data);
  EXPECT_EQ(Query(registry, key, "Long").data, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  RegValue expand = Query(registry, key, "Expand");
  EXPECT_EQ(expand.type, REG_EXPAND_SZ);
  EXPECT_EQ(expand.data, RegValue::String("%USER%").data);
  EXPECT_EQ(Query(registry, key, "Multi").data, (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0}));
  RegValue gone;
  EXPECT_EQ(registry.QueryValue(kHkcu, key, "Gone", &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(registry.KeyExists(kHkcu, "Software\\Old"));
}

TEST_F(RegistryFileTest, ReadsUtf8AnsiAndVersion4Files) {
  struct Case {
    std::string file;
    std::string expected;  // ANSI (1252) REG_SZ text of "S"
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFWindows Registry Editor Version "
       "5.00\n[HKEY_CURRENT_USER\\K]\n\"S\"=\"\xC3\xA9\"\n",
       "\xE9"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"S\"=\"\xE9t\xE9\"\n",
       "\xE9t\xE9"},  // not UTF-8: taken as ANSI
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"S\"=hex(1):e9,00\n", "\xE9"},  // ANSI bytes
      {"Windows Registry Editor Version 5.00\r\n[hkey_current_user\\K]  \r\n  \"S\" = \"x\"\r\n",
       "x"},
  };
  for (const Case& c : cases) {
    WriteHkcu(c.file);
    RegistryFile registry(dir_);
    EXPECT_EQ(Query(registry, "K", "S").data, RegValue::String(c.expected).data) << c.file;
  }
}

TEST_F(RegistryFileTest, DamagedFilesAreRefusedWithFileAndLineAndNeverWritten) {
  struct Case {
    std::string file;
    std::string where;    // ":line" expected in the error, or "" for the whole file
    std::string message;  // part of the error text
  };
  const std::string header = "Windows Registry Editor Version 5.00\n";
  const Case cases[] = {
      {"[HKEY_CURRENT_USER\\K]\n", ":1", "first line"},
      {header + "\"v\"=dword:1\n", ":2", "outside any key"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=\"open\n", ":3", "unterminated"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:123456789\n", ":3", "dword"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:xyz\n", ":3", "dword"},
      {header + "[HKEY_CURRENT_USER\\K]\n\n\"v\"=hex:01,zz\n", ":4", "hex"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=hex(2:00\n", ":3", "hex(type)"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=\"a\" trailing\n", ":3", "after the string"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=banana\n", ":3", "unrecognised"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"\n", ":3", "'='"},
      {header + "[HKEY_LOCAL_MACHINE\\K]\n", ":2", "outside HKEY_CURRENT_USER"},
      {header + "[HKEY_CURRENT_USERX\\K]\n", ":2", "outside"},
      {header + "[HKEY_CURRENT_USER\\K\n", ":2", "']'"},
      {header + "garbage\n", ":2", "expected"},
      {header + "[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01,\\\n  02,\\\n  0x\n", ":3", "hex"},
      {"\xFF\xFEW\x00x", "", "UTF-16"},  // an odd number of bytes
  };
  for (const Case& c : cases) {
    WriteHkcu(c.file);
    RegistryFile registry(dir_);
    RegValue value;
    EXPECT_EQ(registry.QueryValue(kHkcu, "K", "v", &value), ERROR_BADDB) << c.file;
    std::string error = registry.LastError();
    EXPECT_NE(error.find(HkcuPath() + c.where + ":"), std::string::npos) << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;

    EXPECT_EQ(registry.SetValue(kHkcu, "K", "v", RegValue::Dword(1)), ERROR_BADDB) << c.file;
    EXPECT_EQ(registry.CreateKey(kHkcu, "New"), ERROR_BADDB);
    EXPECT_EQ(registry.DeleteTree(kHkcu, ""), ERROR_BADDB);
    EXPECT_FALSE(registry.KeyExists(kHkcu, "K"));
    EXPECT_EQ(ReadHkcu(), c.file);  // byte for byte
  }
  // The other roots are unaffected, and nothing else was left in the directory.
  RegistryFile registry(dir_);
  EXPECT_EQ(registry.CreateKey(RegRoot::kLocalMachine, "K"), ERROR_SUCCESS);
  std::size_t files = std::distance(std::filesystem::directory_iterator(dir_), {});
  EXPECT_EQ(files, 4u);  // two .reg files and their two lock files
}

// A key nested 300,000 levels deep once crashed every command while the parsed tree
// was torn down; the deepest key the window system allows still loads.
TEST_F(RegistryFileTest, KeyNestedTooDeeplyIsADamagedFileNotACrash) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  auto nested = [](std::size_t depth) {
    std::string path = "HKEY_CURRENT_USER";
    for (std::size_t i = 0; i < depth; ++i) path += "\\k";
    return path;
  };
  WriteHkcu(header + "[" + nested(300000) + "]\n\"v\"=dword:1\n");
  {
    RegistryFile registry(dir_);
    EXPECT_EQ(registry.CreateKey(kHkcu, "New"), ERROR_BADDB);
    EXPECT_NE(registry.LastError().find(":2: key nested deeper than 512 levels"), std::string::npos)
        << registry.LastError();
  }
  WriteHkcu(header + "[" + nested(kMaxKeyDepth) + "]\n\"v\"=dword:1\n");
  RegistryFile registry(dir_);
  std::string deepest = nested(kMaxKeyDepth).substr(std::string("HKEY_CURRENT_USER\\").size());
  EXPECT_EQ(Query(registry, deepest, "v").data, RegValue::Dword(1).data);
  EXPECT_EQ(registry.CreateKey(kHkcu, deepest + "\\one-more"), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryFileTest, EmptyAndCommentOnlyFilesHoldNothing) {
  for (std::string file : {"", "\n\n", "; nothing\n"}) {
    WriteHkcu(file);
    RegistryFile registry(dir_);
    EXPECT_FALSE(registry.KeyExists(kHkcu, "K"));
    EXPECT_EQ(registry.CreateKey(kHkcu, "K"), ERROR_SUCCESS) << registry.LastError();
    EXPECT_TRUE(registry.KeyExists(kHkcu, "K"));
  }
}

TEST_F(RegistryFileTest, ChangesByAnotherWriterAreSeenAndKept) {
  RegistryFile first(dir_);
  RegistryFile second(dir_);
  ASSERT_EQ(first.CreateKey(kHkcu, "K"), ERROR_SUCCESS);
  ASSERT_EQ(first.SetValue(kHkcu, "K", "a", RegValue::Dword(1)), ERROR_SUCCESS);
  EXPECT_EQ(Query(second, "K", "a").data, RegValue::Dword(1).data);  // second caches the file
  ASSERT_EQ(first.SetValue(kHkcu, "K", "a", RegValue::Dword(2)), ERROR_SUCCESS);
  EXPECT_EQ(Query(second, "K", "a").data, RegValue::Dword(2).data);
  ASSERT_EQ(second.SetValue(kHkcu, "K", "b", RegValue::Dword(3)), ERROR_SUCCESS);
  EXPECT_EQ(Query(first, "K", "a").data, RegValue::Dword(2).data);
  EXPECT_EQ(Query(first, "K", "b").data, RegValue::Dword(3).data);
}

TEST_F(RegistryFileTest, ConcurrentWritersInTwoProcessesLoseNothing) {
  {
    RegistryFile setup(dir_);
    ASSERT_EQ(setup.CreateKey(kHkcu, "Shared"), ERROR_SUCCESS);
  }
  constexpr int kPerWriter = 60;
  pid_t children[2];
  for (int w = 0; w < 2; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      RegistryFile registry(dir_);
      int failures = 0;
      for (int i = 0; i < kPerWriter; ++i) {
        std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
        if (registry.SetValue(kHkcu, "Shared", name, RegValue::Dword(i)) != ERROR_SUCCESS) {
          ++failures;
        }
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegistryFile registry(dir_);
  std::vector<std::string> names;
  ASSERT_EQ(registry.EnumValues(kHkcu, "Shared", &names), ERROR_SUCCESS);
  EXPECT_EQ(names.size(), 2u * kPerWriter);
  for (int w = 0; w < 2; ++w) {
    for (int i = 0; i < kPerWriter; ++i) {
      std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
      EXPECT_EQ(Query(registry, "Shared", name).data, RegValue::Dword(i).data) << name;
    }
  }
}

TEST_F(RegistryFileTest, UnwritableDirectoryIsAccessDenied) {
  ASSERT_TRUE(RealFileSystem().WriteFileAtomic(dir_ + "/plain", "x").ok());
  RegistryFile registry(dir_ + "/plain/registry");
  EXPECT_EQ(registry.CreateKey(kHkcu, "K"), ERROR_ACCESS_DENIED);
  EXPECT_NE(registry.LastError().find(dir_ + "/plain/registry"), std::string::npos);
  EXPECT_FALSE(registry.KeyExists(kHkcu, "K"));

  RegistryFile nowhere("");
  EXPECT_EQ(nowhere.CreateKey(kHkcu, "K"), ERROR_ACCESS_DENIED);
  RegValue value;
  EXPECT_EQ(nowhere.QueryValue(kHkcu, "K", "v", &value), ERROR_ACCESS_DENIED);
}

// HKEY_CURRENT_USER.reg was 0644 in a 0755 folder: anyone on the machine could read
// the user's lists and profiles. A new folder is 0700, every written file 0600, and a
// file left wider by an older version is tightened at its next write.
TEST_F(RegistryFileTest, FilesAreTheUsersAloneAndAnOldWideFileIsTightened) {
  const mode_t oldMask = ::umask(022);
  const std::string folder = dir_ + "/config/registry";
  RegistryFile registry(folder);
  ASSERT_EQ(registry.CreateKey(kHkcu, "K"), ERROR_SUCCESS);
  struct stat st {};
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((folder + "/HKEY_CURRENT_USER.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_EQ(::chmod((folder + "/HKEY_CURRENT_USER.reg").c_str(), 0644), 0);
  ASSERT_EQ(registry.CreateKey(kHkcu, "L"), ERROR_SUCCESS);
  ASSERT_EQ(::stat((folder + "/HKEY_CURRENT_USER.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::umask(oldMask);
}

TEST_F(RegistryFileTest, DefaultDirectoryFollowsXdgConfigHome) {
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  std::string savedConfig = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
  ::setenv("HOME", dir_.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultRegistryDirectory(), dir_ + "/.config/Veltmark/registry/");
  ::setenv("XDG_CONFIG_HOME", (dir_ + "/cfg/").c_str(), 1);
  EXPECT_EQ(DefaultRegistryDirectory(), dir_ + "/cfg/Veltmark/registry/");
  auto registry = OpenDefaultRegistry();
  EXPECT_EQ(registry->CreateKey(kHkcu, "K"), ERROR_SUCCESS);
  EXPECT_TRUE(RealFileSystem().Exists(dir_ + "/cfg/Veltmark/registry/HKEY_CURRENT_USER.reg"));
  ::setenv("HOME", savedHome.c_str(), 1);
  if (savedConfig.empty()) {
    ::unsetenv("XDG_CONFIG_HOME");
  } else {
    ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  }
}

// A delivery agent that clears the environment names the folder itself; it wins over
// the XDG and HOME rules, and a relative value is ignored like theirs.
TEST_F(RegistryFileTest, QuorvelConfigNamesTheDirectoryItself) {
  std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
  ::setenv("HOME", dir_.c_str(), 1);
  ::setenv("QUORVEL_CONFIG", (dir_ + "/own//").c_str(), 1);
  EXPECT_EQ(DefaultRegistryDirectory(), dir_ + "/own/");
  ::unsetenv("HOME");
  EXPECT_EQ(OpenDefaultRegistry()->CreateKey(kHkcu, "K"), ERROR_SUCCESS);
  EXPECT_TRUE(RealFileSystem().Exists(dir_ + "/own/HKEY_CURRENT_USER.reg"));
  ::setenv("QUORVEL_CONFIG", "own", 1);
  EXPECT_EQ(DefaultRegistryDirectory(), "");
  ::setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(DefaultRegistryDirectory(), dir_ + "/.config/Veltmark/registry/");
  ::unsetenv("QUORVEL_CONFIG");
  ::setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace quorvel::platform
