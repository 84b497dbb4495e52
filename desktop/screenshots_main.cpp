// quorvel-screenshots FOLDER: draws every dialog and window of the desktop to PNG files
// in FOLDER (screenshot_gallery.h), so that they can be looked at without a screen (run
// it with QT_QPA_PLATFORM=offscreen). It starts a host of its own from the quorvel
// program beside it, on the messages of testdata/mail (QUORVEL_SOURCE_DIR, else the
// source tree it was built from).
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "desktop/screenshot_gallery.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: quorvel-screenshots FOLDER\n");
    return 2;
  }
  const char* source = std::getenv("QUORVEL_SOURCE_DIR");
  quorvel::desktop::GalleryOptions options;
  options.folder = args[1];
  options.quorvelProgram = QCoreApplication::applicationDirPath() + "/quorvel";
  options.testMail =
      QString::fromUtf8(source != nullptr && *source != '\0' ? source : QUORVEL_SOURCE_DIR) +
      "/testdata/mail";
  QStringList written;
  QString error;
  const bool ok = quorvel::desktop::WriteScreenshots(options, &written, &error);
  std::printf("%lld pictures written to %s\n", static_cast<long long>(written.size()),
              QDir(options.folder).absolutePath().toUtf8().constData());
  if (!ok) {
    std::fprintf(stderr, "quorvel-screenshots: %s\n", error.toUtf8().constData());
    return 1;
  }
  return 0;
}
