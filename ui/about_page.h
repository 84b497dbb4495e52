// The About page: the version line "Quorvel %s (%s %s)" with the version and the date
// and time this program was built ("Oct  8 2009", "11:16:55"), a link to the product's
// web site and one for mail to support. A link is opened with the user's own handler;
// the mail link also closes the sheet (the sheet does that, see options_sheet.h).
#ifndef QUORVEL_UI_ABOUT_PAGE_H_
#define QUORVEL_UI_ABOUT_PAGE_H_

#include <string>

#include "ui/options_page.h"

namespace quorvel::ui {

inline constexpr const char* kProductVersion = "3.0";
inline constexpr const char* kWebSiteUrl = "https://veltmark.example/quorvel/";
inline constexpr const char* kSupportMailUrl = "mailto:support@veltmark.example";
inline constexpr std::int32_t kWebSiteLink = 0x7421;
inline constexpr std::int32_t kSupportMailLink = 0x7422;

// "Quorvel 3.0 (Oct  8 2009 11:16:55)" with this build's date and time.
std::string VersionLine();

class AboutPage final : public OptionsPage {
 public:
  explicit AboutPage(const OptionsContext& context) : context_(context) {}
  std::string Id() const override;
  Page Build() override;
  bool OnButton(DialogSession& session, std::int32_t button) override;

 private:
  const OptionsContext& context_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_ABOUT_PAGE_H_
