// quorvel-desktop: the desktop front end. Finds the profile's host (starting it when
// none runs), shows the explorer window and the tray icon, and at the end stops the
// host only when it started that host itself in the background.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "desktop/explorer_window.h"
#include "desktop/host_link.h"
#include "desktop/tray_icon.h"
#include "platform/clock.h"

namespace {

// The program's resident memory in kB (VmRSS), 0 when unknown.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  QApplication app(argc, argv);
  QApplication::setApplicationName("quorvel-desktop");
  QApplication::setApplicationDisplayName("Quorvel");
  QApplication::setWindowIcon(QIcon(":/quorvel/quorvel.svg"));
  QCommandLineParser options;
  options.setApplicationDescription("The Quorvel spam filter on the desktop");
  options.addHelpOption();
  QCommandLineOption profile("profile", "The profile whose host to use (default: the default one).",
                             "NAME");
  QCommandLineOption direct("no-service-manager",
                            "Start a missing host with 'quorvel run', never through systemctl.");
  QCommandLineOption measure("measure",
                             "Print the time to the first rows shown and the memory used, then "
                             "quit.");
  options.addOptions({profile, direct, measure});
  options.process(app);

  quorvel::desktop::HostAddress address;
  std::string error;
  if (!quorvel::desktop::ResolveHost(options.value(profile).toStdString(), &address, &error)) {
    QMessageBox::critical(nullptr, "Quorvel", QString::fromStdString(error));
    return 1;
  }
  quorvel::desktop::LinkOptions linkOptions;
  linkOptions.quorvelProgram =
      quorvel::desktop::QuorvelProgram(QCoreApplication::applicationDirPath().toStdString());
  linkOptions.useServiceManager = !options.isSet(direct);
  quorvel::desktop::HostLink link(address, linkOptions);

  int status;
  {
    quorvel::desktop::ExplorerWindow window(link);
    quorvel::desktop::TrayIcon tray(window, quorvel::platform::DefaultClock());
    if (options.isSet(measure)) {
      QObject::connect(&window, &quorvel::desktop::ExplorerWindow::folderShown, &app,
                       [&](const QString& folder) {
                         std::fprintf(stderr,
                                      "quorvel-desktop: %s shown (%d messages) %lld ms after "
                                      "start; resident memory %ld kB\n",
                                      folder.toUtf8().constData(),
                                      window.messageModel()->rowCount(),
                                      static_cast<long long>(clock.elapsed()), ResidentKb());
                         QApplication::quit();
                       });
    }
    window.show();
    window.Connect();
    status = QApplication::exec();
  }
  if (link.OwnsHost()) link.StopOwnHost(std::chrono::seconds(10));
  return status;
}
