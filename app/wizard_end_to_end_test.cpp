// The first-run wizard through the real program, on a temporary Maildir whose Sent
// Items hold mail as mail clients write it, with vCard address books as contact
// managers keep them; read back through the list export and the mail base's counts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::ProgramRun;
using quorvel::testing::RunProgram;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;
using quorvel::testing::TemporaryHome;
using ::testing::HasSubstr;
using ::testing::Not;

// A sent message with a text and an HTML part, quoted-printable, with Cc.
std::string SentMail(int i) {
  const std::string n = std::to_string(i);
  return "From: Me Myself <me@example.org>\r\n"
         "To: \"Colleague " +
         n + "\" <colleague" + n +
         "@partner.example>\r\n"
         "Cc: Team Lead <lead@example.org>\r\n"
         "Subject: Re: Quarterly figures " +
         n +
         "\r\n"
         "Date: Tue, 1 Dec 2026 10:0" +
         std::to_string(i % 10) +
         ":00 +0100\r\n"
         "Message-ID: <sent" +
         n +
         "@example.org>\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/alternative; boundary=\"b" +
         n +
         "\"\r\n\r\n"
         "--b" +
         n +
         "\r\nContent-Type: text/plain; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
         "Attached are the revised spreadsheet numbers =E2=80=93 regards.\r\n"
         "--b" +
         n +
         "\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
         "<html><body><p>Attached are the revised <b>spreadsheet</b> numbers, regards."
         "</p></body></html>\r\n--b" +
         n + "--\r\n";
}

class WizardEndToEndTest : public ::testing::Test {
 protected:
  ProgramRun Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QUORVEL_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, home_.Environment(), "", std::chrono::seconds(120));
  }
  std::string Learned(const std::string& stats, const std::string& what) {
    const auto at = stats.find(what + ": ");
    if (at == std::string::npos) return "";
    return stats.substr(at + what.size() + 2, stats.find('\n', at) - at - what.size() - 2);
  }

  TemporaryHome home_;
};

TEST_F(WizardEndToEndTest, WhiteListAndMailBaseComeFromTheUsersOwnMail) {
  const std::string mail = home_.root() + "/Maildir";
  for (const char* sub : {"/cur", "/new", "/tmp", "/.Sent/cur", "/.Sent/new", "/.Sent/tmp"}) {
    fs::create_directories(mail + sub);
  }
  for (int i = 0; i < 12; ++i) {
    Spit(mail + "/.Sent/cur/" + std::to_string(1700000000 + i) + ".M1P1.host:2,S", SentMail(i));
  }
  const std::string contacts = home_.root() + "/contacts.vcf";
  Spit(contacts,
       "BEGIN:VCARD\r\nVERSION:2.1\r\nN:M=C3=BCller;J=C3=BCrgen\r\n"
       "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller\r\n"
       "EMAIL;INTERNET;PREF:juergen@mueller.example\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Berg\r\nEMAIL;TYPE=work:ann@work.example\r\n"
       "EMAIL;TYPE=home:ann@home.example\r\nEND:VCARD\r\n");
  const std::string team = home_.root() + "/team";
  fs::create_directories(team);
  Spit(team + "/bob.vcf",
       "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bob Stone\r\nEMAIL:bob@team.example\r\nEND:VCARD\r\n");

  ProgramRun add = Run({"profile", "add", "me", "--maildir", mail, "--address", "me@example.org",
                        "--address-book", contacts, "--address-book", team});
  ASSERT_EQ(add.end.status, 0) << add.err;
  ASSERT_EQ(Run({"register"}).end.status, 0);
  ProgramRun before = Run({"mailbase", "stats"});

  ProgramRun wizard = Run({"--yes", "wizard"});
  ASSERT_EQ(wizard.end.status, 0) << wizard.err;
  EXPECT_THAT(wizard.out + wizard.err, HasSubstr("Quorvel mail base is successfully updated."));

  const std::string exported = home_.root() + "/white.txt";
  ASSERT_EQ(Run({"list", "white", "export", exported}).end.status, 0);
  const std::string white = Slurp(exported);
  for (const char* address :
       {"juergen@mueller.example", "ann@work.example", "ann@home.example", "bob@team.example",
        "colleague0@partner.example", "colleague11@partner.example", "lead@example.org"}) {
    EXPECT_THAT(white, HasSubstr(address));
  }
  EXPECT_THAT(white, HasSubstr("Colleague 11"));
  EXPECT_THAT(white, Not(HasSubstr("me@example.org\n")));

  // Twelve messages learned took the place of the seed's good corpus.
  ProgramRun after = Run({"mailbase", "stats"});
  ASSERT_EQ(after.end.status, 0) << after.err;
  EXPECT_NE(Learned(after.out, "Learned tokens"), Learned(before.out, "Learned tokens"));
  EXPECT_EQ(Learned(after.out, "Learned junk messages"),
            Learned(before.out, "Learned junk messages"));
  EXPECT_THAT(Slurp(home_.RegistryFile()), HasSubstr("\"ShowWizard\"=dword:00000000"));
}

}  // namespace
}  // namespace quorvel::app
