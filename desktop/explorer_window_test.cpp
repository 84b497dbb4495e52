// The explorer against a real host (`quorvel run`) on a temporary Maildir: folders and
// messages shown, a message's verdict asked for, and a host that dies said so and
// started again. Also how a missing host is started.
#include "desktop/explorer_window.h"

#include <stdlib.h>

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "desktop/dialog_view.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string Mail(const std::string& from, const std::string& subject) {
  return "From: " + from + "\r\nTo: me@example.org\r\nSubject: " + subject +
         "\r\nDate: Mon, 6 May 2024 10:00:00 +0000\r\nMessage-ID: <" + subject.substr(0, 8) +
         "@example.org>\r\n\r\nHello there, see you at the meeting.\r\n";
}

}  // namespace

class ExplorerWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    home_ = std::make_unique<testing::TemporaryHome>();
    for (const auto& [name, value] : home_->Environment()) ::setenv(name.c_str(), value.c_str(), 1);
    maildir_ = fs::path(home_->root()) / "Maildir";
    for (const char* sub : {"cur", "new", "tmp", ".Lists/cur", ".Lists/new", ".Lists/tmp"}) {
      fs::create_directories(maildir_ / sub);
    }
    Write(maildir_ / "cur/1700000000.1.host:2,S", Mail("Ann <ann@example.org>", "Lunch"));
    Write(maildir_ / "cur/1700000001.2.host:2,S", Mail("Bob <bob@example.org>", "Minutes"));
    Write(maildir_ / ".Lists/cur/1700000002.3.host:2,S",
          Mail("list@lists.example", std::string(10000, 'x')));
    host_ = std::make_unique<testing::HostProcess>(QUORVEL_PROGRAM, *home_);
    QCOMPARE(host_
                 ->Quorvel({"profile", "add", "home", "--maildir", maildir_.string(), "--address",
                            "me@example.org"})
                 .end.status,
             0);
    QCOMPARE(host_->Quorvel({"register"}).end.status, 0);
  }

  void cleanup() {
    host_.reset();
    home_.reset();
  }

  void showsFoldersMessagesAndAVerdict() {
    std::string error;
    QVERIFY2(host_->Start(std::chrono::seconds(30), &error, {}, /*serving=*/true), error.c_str());
    desktop::HostLink link = Link();
    desktop::ExplorerWindow window(link);
    QSignalSpy shown(&window, &desktop::ExplorerWindow::folderShown);
    window.show();
    window.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
    auto* folders = qobject_cast<QStandardItemModel*>(window.folderView()->model());
    QVERIFY(folders->rowCount() >= 1);
    QTRY_COMPARE_WITH_TIMEOUT(window.messageModel()->rowCount(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(window.messageModel()->Message(1) != nullptr, 10000);
    QStringList subjects;
    for (int r = 0; r < 2; ++r) {
      subjects << window.messageModel()
                      ->data(window.messageModel()->index(r, desktop::MessageModel::kSubject))
                      .toString();
    }
    subjects.sort();
    QCOMPARE(subjects, (QStringList{"Lunch", "Minutes"}));
    // Both selected (Ctrl+A in the list), then one, whose verdict is asked with F6.
    window.messageView()->setFocus();
    QTest::keyClick(window.messageView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(window.SelectedMessages().size(), std::size_t{2});
    const int lunch = window.messageModel()->Message(0)->subject == "Lunch" ? 0 : 1;
    window.messageView()->selectRow(lunch);
    QTest::keyClick(&window, Qt::Key_F6);
    QTRY_VERIFY_WITH_TIMEOUT(window.verdictView()->toPlainText().contains("recognized as"), 20000);
    // The same verdict and reason as the command line gives for the message's file.
    const std::string name = window.messageModel()->Message(lunch)->name;
    desktop::VerdictText expected;
    QVERIFY(desktop::ParseVerdict(host_->Quorvel({"classify", "--json", name}).out, &expected));
    const QString verdict = window.verdictView()->toPlainText();
    QVERIFY2(verdict.startsWith(expected.spam ? "Message is recognized as Junk e-mail"
                                              : "Message is recognized as Good e-mail"),
             qPrintable(verdict));
    QVERIFY2(verdict.endsWith(QString::fromStdString(expected.reason)), qPrintable(verdict));
    // A command clicked goes to the host with the selection and ends there (32777, the
    // domain command, has no handler: it does nothing; a host that serves no clicks
    // says so).
    QVERIFY(!window.messageModel()->Message(lunch)->entryId.empty());
    QSignalSpy ended(&window, &desktop::ExplorerWindow::commandEnded);
    window.Click(32777);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
    QCOMPARE(ended[0][0].toInt(), 32777);
    // The folder with the 10,000-character subject shows too.
    const QModelIndex lists = FindByName(*folders, "Lists");
    QVERIFY(lists.isValid());
    window.folderView()->setCurrentIndex(lists);
    QTRY_VERIFY_WITH_TIMEOUT(
        window.messageModel()->rowCount() == 1 && window.messageModel()->Message(0) != nullptr,
        10000);
    QCOMPARE(window.messageModel()->Message(0)->subject.size(), std::size_t{10000});
  }

  void junkMovesTheSelectedMessageToSpamAndLearnsIt() {
    std::string error;
    QVERIFY2(host_->Start(std::chrono::seconds(30), &error, {}, true), error.c_str());
    const long learnedBefore = LearnedJunk();
    desktop::HostLink link = Link();
    {
      host::Outcome outcome;
      auto client = link.Connect(&outcome);
      QVERIFY(client);
      const auto& caps = client->hostHello().capabilities;
      if (std::find(caps.begin(), caps.end(), "click") == caps.end()) {
        QSKIP("this host does not serve clicks of commands ('click' is not in its hello)");
      }
    }
    desktop::ExplorerWindow window(link);
    QSignalSpy shown(&window, &desktop::ExplorerWindow::folderShown);
    window.show();
    window.Connect();
    QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        window.messageModel()->rowCount() == 2 && window.messageModel()->Message(1) != nullptr,
        10000);
    const int lunch = window.messageModel()->Message(0)->subject == "Lunch" ? 0 : 1;
    window.messageView()->selectRow(lunch);
    // Whatever the marking asks (its confirmation), the user agrees.
    QStringList asked;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&asked] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible()) return;
      if (auto* view = qobject_cast<desktop::DialogView*>(modal)) {
        asked << QString::fromStdString(view->model().title);
        view->ButtonWidget(view->model().affirmativeButton)->click();
      } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        asked << box->text();
        for (QAbstractButton* b : box->buttons()) {
          if (b->text() == "&Yes" || b->text() == "&OK") return b->click();
        }
      }
    });
    answer.start(20);
    QSignalSpy ended(&window, &desktop::ExplorerWindow::commandEnded);
    window.messageView()->setFocus();
    QTest::keyClick(window.messageView(), Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
    QVERIFY2(asked.contains("Confirmation"),
             qPrintable(asked.join(" | ") + " / " + ended[0][1].toString() + " " +
                        ended[0][2].toString()));
    QTRY_VERIFY_WITH_TIMEOUT(SpamFiles().size() == 1, 10000);
    std::ifstream moved(maildir_ / ".Spam/cur" / SpamFiles()[0]);
    const std::string text((std::istreambuf_iterator<char>(moved)),
                           std::istreambuf_iterator<char>());
    QVERIFY(text.find("Subject: Lunch") != std::string::npos);  // a fresh name, the same mail
    QVERIFY(!fs::exists(maildir_ / "cur/1700000000.1.host:2,S"));
    QVERIFY(testing::WaitUntil([&] { return LearnedJunk() == learnedBefore + 1; },
                               std::chrono::seconds(20)));
  }

  void aHostThatDiesIsSaidSoAndStartedAgain() {
    std::string error;
    QVERIFY2(host_->Start(std::chrono::seconds(30), &error, {}, true), error.c_str());
    desktop::HostLink link = Link();
    {
      desktop::ExplorerWindow window(link);
      QSignalSpy connected(&window, &desktop::ExplorerWindow::connected);
      window.show();
      window.Connect();
      QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 20000);
      host_->Kill();
      QTRY_VERIFY_WITH_TIMEOUT(window.hostLostBox() != nullptr, 10000);
      QVERIFY(window.hostLostBox()->informativeText().contains("Start it again?"));
      QPushButton* restart = window.hostLostBox()->findChild<QPushButton*>("restart");
      QVERIFY(restart);
      QTest::mouseClick(restart, Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, 40000);
      QVERIFY(link.OwnsHost());  // started by the window, in the background
    }
    // Closing the window leaves the host; the program stops one it started itself.
    QVERIFY(link.OwnsHost());
    link.StopOwnHost(std::chrono::seconds(20));
    QVERIFY(!link.OwnsHost());
    host::Outcome outcome;
    QVERIFY(!link.Connect(&outcome));
  }

  void aHostThatRanBeforeIsNotStoppedOrOwned() {
    std::string error;
    QVERIFY2(host_->Start(std::chrono::seconds(30), &error, {}, true), error.c_str());
    desktop::HostLink link = Link();
    bool started = true;
    host::Outcome outcome;
    QVERIFY(link.EnsureRunning(&started, &outcome));
    QVERIFY(!started);
    QVERIFY(!link.OwnsHost());
    link.StopOwnHost(std::chrono::seconds(1));
    QVERIFY(host_->Running());
  }

  void theStartFollowsTheUnitAndTheProfile() {
    desktop::HostAddress home{"home", "/run/x.sock", true};
    desktop::HostAddress work{"work", "/run/y.sock", false};
    QCOMPARE(desktop::PlanStart(home, true, "/usr/bin/quorvel").argv,
             (std::vector<std::string>{"systemctl", "--user", "start", "quorvel"}));
    QCOMPARE(desktop::PlanStart(home, false, "/usr/bin/quorvel").argv,
             (std::vector<std::string>{"/usr/bin/quorvel", "run"}));
    // The unit runs the default profile only.
    QCOMPARE(desktop::PlanStart(work, true, "quorvel").argv,
             (std::vector<std::string>{"quorvel", "--profile", "work", "run"}));
  }

 private:
  desktop::HostLink Link() {
    desktop::HostAddress address;
    std::string error;
    if (!desktop::ResolveHost("", &address, &error)) qFatal("%s", error.c_str());
    desktop::LinkOptions options;
    options.quorvelProgram = QUORVEL_PROGRAM;
    options.useServiceManager = false;
    return desktop::HostLink(address, options);
  }

  // The file names in the Maildir's spam folder.
  std::vector<std::string> SpamFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(maildir_ / ".Spam/cur", ec)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // "Learned junk messages: N" of `quorvel mailbase stats`; -1 when not said.
  long LearnedJunk() const {
    const std::string out = host_->Quorvel({"mailbase", "stats"}).out;
    const std::string key = "Learned junk messages: ";
    const std::size_t at = out.find(key);
    return at == std::string::npos ? -1 : std::stol(out.substr(at + key.size()));
  }

  static QModelIndex FindByName(const QStandardItemModel& model, const QString& name) {
    const QModelIndexList found = model.match(model.index(0, 0), Qt::DisplayRole, name, 1,
                                              Qt::MatchStartsWith | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.first();
  }

  std::unique_ptr<testing::TemporaryHome> home_;
  std::unique_ptr<testing::HostProcess> host_;
  fs::path maildir_;
};

QTEST_MAIN(ExplorerWindowTest)
#include "explorer_window_test.moc"
