#include "core/attachment_names.h"

#include <gtest/gtest.h>

#include <string_view>

namespace quorvel {
namespace {

struct NameCase {
  std::string_view name;
  bool expected;
};

TEST(AttachmentNames, AntiVirusReports) {
  const NameCase cases[] = {
      {"deleted attachment.txt", true},
      {"Quarantined Attachment.TXT", true},
      {"DELETED0.txt", true},
      {"_______warn.txt", true},  // seven underscores
      {"______warn.txt", false},  // six
      {"ViRuSWarning.txt", true},
      {"McAfee_EmailScanReport.txt", true},
      {"Norton AntiVirus Report.TXT", true},
      {"Norton AntiVirus Report.log", false},
      {"norton antivirus.txt", true},  // prefix and suffix may meet
      {"norton antivirus", false},
      {"Norton.txt", false},
      {"viruswarning.txt.exe", false},
      {"", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(IsAvReportName(c.name), c.expected) << c.name;
}

TEST(AttachmentNames, Executables) {
  const NameCase cases[] = {
      {"SETUP.EXE", true},
      {"readme.txt", false},
      {"notes.combined", true},  // the extension contains "com"
      {"run.bat2", true},
      {"x.Cmd", true},
      {"screen.scr", true},
      {"old.PIF", true},
      {"exe", false},      // no "." at all
      {"exe.txt", false},  // only the last extension counts
      {"archive.exe.zip", false},
      {"trailing.", false},
      {"", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(IsExecutableName(c.name), c.expected) << c.name;
}

TEST(AttachmentNames, HtmlExtensionIsCaseSensitive) {
  const NameCase cases[] = {
      {"report.html", true}, {"REPORT.HTML", false}, {"page.htm", true},
      {"a.xhtml", true},     {"html", false},  // no "."
      {"html.txt", false},   {"x.htm.txt", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(HasHtmlExtension(c.name), c.expected) << c.name;
}

TEST(AttachmentNames, DeliveryDetails) {
  EXPECT_TRUE(IsDeliveryDetailsName("details.txt"));
  EXPECT_TRUE(IsDeliveryDetailsName("DETAILS.TXT"));
  EXPECT_FALSE(IsDeliveryDetailsName("details.txt "));
  EXPECT_FALSE(IsDeliveryDetailsName("mydetails.txt"));
}

}  // namespace
}  // namespace quorvel
