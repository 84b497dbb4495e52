#include "ui/about_page.h"

#include <cstdio>

#include "ui/options_sheet.h"

namespace quorvel::ui {

std::string VersionLine() {
  char line[128];
  std::snprintf(line, sizeof line, "Quorvel %s (%s %s)", kProductVersion, __DATE__, __TIME__);
  return line;
}

std::string AboutPage::Id() const { return kAboutPage; }

Page AboutPage::Build() {
  Page page{.id = kAboutPage, .title = "About"};
  page.controls = {
      {.kind = ControlKind::kLabel, .id = "version", .label = VersionLine()},
      {.kind = ControlKind::kLabel, .id = "web-site", .label = kWebSiteUrl},
      {.kind = ControlKind::kLabel, .id = "support", .label = kSupportMailUrl},
  };
  // The mail link closes the sheet once it is opened: a closing button the sheet
  // handles when the run returns with it.
  page.buttons = {{.id = kWebSiteLink, .text = "&Web site", .closes = false},
                  {.id = kSupportMailLink, .text = "E-mail &support", .closes = true}};
  return page;
}

bool AboutPage::OnButton(DialogSession& /*session*/, std::int32_t button) {
  if (button == kWebSiteLink) {
    context_.ui.OpenUrl(kWebSiteUrl);
    return true;
  }
  if (button == kSupportMailLink) {
    context_.ui.OpenUrl(kSupportMailUrl);
    return true;
  }
  return false;
}

}  // namespace quorvel::ui
