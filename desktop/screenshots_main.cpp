// quorvel-screenshots FOLDER: draws the desktop's windows to PNG files in FOLDER, so
// that they can be looked at without a screen (run it with QT_QPA_PLATFORM=offscreen):
// each dialog of the gallery (screenshot_gallery.h) and the spam popup; with a running
// host of the default profile, the explorer too.
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "desktop/screenshot_gallery.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: quorvel-screenshots FOLDER\n");
    return 2;
  }
  QDir folder(args[1]);
  if (!folder.mkpath(".")) {
    std::fprintf(stderr, "quorvel-screenshots: cannot make %s\n", args[1].toUtf8().constData());
    return 1;
  }
  int written = 0;
  QString error;
  if (!quorvel::desktop::WriteScreenshots(folder.absolutePath(), &written, &error)) {
    std::fprintf(stderr, "quorvel-screenshots: %s\n", error.toUtf8().constData());
    return 1;
  }
  std::printf("%d pictures written to %s\n", written, folder.absolutePath().toUtf8().constData());
  return 0;
}
