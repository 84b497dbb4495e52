#include "desktop/screenshot_host.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace quorvel::desktop {

namespace fs = std::filesystem;

GalleryHost::GalleryHost() : home_(std::make_unique<testing::TemporaryHome>()) {}

GalleryHost::~GalleryHost() {
  if (host_ && host_->Running()) host_->Stop(std::chrono::seconds(20));
  host_.reset();
  home_.reset();
}

bool GalleryHost::Start(const std::string& quorvelProgram, const std::string& testMail,
                        std::string* error) {
  for (const auto& [name, value] : home_->Environment()) ::setenv(name.c_str(), value.c_str(), 1);
  const fs::path maildir = fs::path(home_->root()) / "Maildir";
  std::error_code ec;
  for (const char* sub : {"cur", "new", "tmp", ".Lists/cur", ".Lists/new", ".Lists/tmp"}) {
    fs::create_directories(maildir / sub, ec);
  }
  std::vector<fs::path> mail;
  for (const auto& entry : fs::directory_iterator(testMail, ec)) {
    if (entry.path().extension() == ".eml") mail.push_back(entry.path());
  }
  std::sort(mail.begin(), mail.end());
  if (mail.empty()) {
    *error = "no .eml files in " + testMail;
    return false;
  }
  // Delivered an hour apart and read already (the host judges unread mail when it
  // starts, and would move the junk away); each keeps its file's name.
  int n = 0;
  const auto delivered = fs::file_time_type::clock::now() - std::chrono::hours(mail.size());
  for (const fs::path& file : mail) {
    const std::string name =
        std::to_string(1700000000 + 3600 * n) + "." + file.stem().string() + ".gallery:2,S";
    fs::copy_file(file, maildir / "cur" / name, ec);
    if (!ec) fs::last_write_time(maildir / "cur" / name, delivered + std::chrono::hours(n), ec);
    if (ec) {
      *error = "cannot copy " + file.string() + ": " + ec.message();
      return false;
    }
    messages_.push_back((maildir / "cur" / name).string());
    ++n;
  }
  host_ = std::make_unique<testing::HostProcess>(quorvelProgram, *home_);
  for (const std::vector<std::string>& step :
       {std::vector<std::string>{"profile", "add", "home", "--maildir", maildir.string(),
                                 "--address", "ann@example.org"},
        std::vector<std::string>{"register"}}) {
    const testing::ProgramRun run = host_->Quorvel(step);
    if (run.end.status != 0) {
      *error = "quorvel " + step[0] + " failed: " + run.err;
      return false;
    }
  }
  return host_->Start(std::chrono::seconds(60), error, {}, /*serving=*/true);
}

bool GalleryHost::Classify(const std::string& message, VerdictText* verdict) const {
  return host_ && ParseVerdict(host_->Quorvel({"classify", "--json", message}).out, verdict);
}

}  // namespace quorvel::desktop
