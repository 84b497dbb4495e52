// The message list loads its rows on demand: pages are asked for only as the view
// needs them, answers for a folder no longer shown are dropped, a failed page is asked
// again; and the host's listing and verdict output are read as they come.
#include "desktop/message_model.h"

#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace quorvel;
using desktop::MessageModel;
using desktop::MessageRow;

namespace {

// A folder whose pages come back on the next turn of the event loop, as the host's do.
struct FakeFolder {
  int rows = 0;
  std::vector<int> asked{};  // first rows asked for
  bool fail = false;
  explicit FakeFolder(int count) : rows(count) {}

  MessageModel::Fetcher Fetcher() {
    return [this](int first, int count, MessageModel::Arrived arrived) {
      asked.push_back(first);
      std::vector<MessageRow> page;
      for (int r = first; r < std::min(rows, first + count); ++r) {
        MessageRow row;
        row.name = "m" + std::to_string(r);
        row.subject = "Subject " + std::to_string(r);
        row.senderAddress = "a@example.org";
        row.read = r % 2 == 0;
        page.push_back(row);
      }
      const bool failing = fail;
      QTimer::singleShot(0, [arrived, page, failing] {
        arrived(failing ? std::vector<MessageRow>{} : page, failing ? "gone" : "");
      });
    };
  }
};

}  // namespace

class MessageModelTest : public QObject {
  Q_OBJECT

 private slots:
  void onlyThePagesTheViewReadsAreAskedFor() {
    FakeFolder folder(100000);
    MessageModel model;
    model.ShowFolder(folder.rows, folder.Fetcher());
    QCOMPARE(model.rowCount(), 100000);
    QVERIFY(folder.asked.empty());
    QVERIFY(!model.data(model.index(50123, MessageModel::kSubject)).isValid());  // not yet
    model.data(model.index(50150, MessageModel::kSender));  // same page: not asked twice
    QCOMPARE(folder.asked, (std::vector<int>{50000}));
    QTRY_COMPARE(model.data(model.index(50123, MessageModel::kSubject)).toString(),
                 QString("Subject 50123"));
    QCOMPARE(model.pagesAsked(), 1);
  }

  void aViewOfAHugeFolderAsksForTheVisibleRowsOnly() {
    FakeFolder folder(100000);
    MessageModel model;
    QTableView view;
    view.setModel(&model);
    view.resize(600, 400);
    model.ShowFolder(folder.rows, folder.Fetcher());
    view.show();
    QTRY_VERIFY(model.Message(0) != nullptr);
    view.scrollToBottom();
    QTRY_VERIFY(model.Message(99999) != nullptr);
    QVERIFY(model.pagesAsked() <= 3);
    QCOMPARE(QString::fromStdString(model.Message(99999)->name), QString("m99999"));
  }

  void anAnswerForAFolderNoLongerShownIsDropped() {
    FakeFolder first(500), second(10);
    MessageModel model;
    model.ShowFolder(first.rows, first.Fetcher());
    model.data(model.index(0, 0));
    model.ShowFolder(second.rows, second.Fetcher());  // before the first's answer
    QTest::qWait(20);
    QCOMPARE(model.rowCount(), 10);
    QVERIFY(model.Message(0) == nullptr);  // the first folder's row 0 did not land here
    QTRY_VERIFY(model.Message(0) != nullptr);
    QCOMPARE(second.asked.size(), std::size_t{1});
  }

  void aFailedPageIsAskedAgainAndSaysWhy() {
    FakeFolder folder(10);
    folder.fail = true;
    MessageModel model;
    QSignalSpy failed(&model, &MessageModel::loadFailed);
    model.ShowFolder(folder.rows, folder.Fetcher());
    model.data(model.index(3, 0));
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(model.lastError(), QString("gone"));
    folder.fail = false;
    model.data(model.index(3, 0));
    QTRY_VERIFY(model.Message(3) != nullptr);
    QCOMPARE(folder.asked.size(), std::size_t{2});
  }

  void unreadRowsAreBoldAndSaySo() {
    FakeFolder folder(2);
    MessageModel model;
    model.ShowFolder(folder.rows, folder.Fetcher());
    model.data(model.index(0, 0));
    QTRY_VERIFY(model.Message(1) != nullptr);
    QCOMPARE(model.data(model.index(1, MessageModel::kRead)).toString(), QString("Unread"));
    QVERIFY(model.data(model.index(1, 0), Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model.data(model.index(0, 0), Qt::FontRole).isValid());
  }

  void listingLinesAreReadAndDamagedOnesSkipped() {
    const std::string text =
        R"({"name":"/m/cur/1:2,S","entryId":"AB","sender":{"name":"Ann","address":"ann@example.org"},"subject":"\u05e9\u05dc\u05d5\u05dd","date":"2024-05-01T10:00:00Z","read":true,"size":1200})"
        "\nnot json\n{\"other\":1}\n"
        R"({"name":"x","sender":{"name":"","address":"b@example.org"},"subject":"","date":"","read":false,"size":-1})"
        "\n";
    std::vector<MessageRow> rows = desktop::ParseMessageLines(text);
    QCOMPARE(rows.size(), std::size_t{2});
    QCOMPARE(QString::fromStdString(rows[0].subject),
             QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd"));
    QVERIFY(rows[0].read);
    QCOMPARE(rows[0].size, 1200LL);
    QCOMPARE(desktop::SenderText(rows[0]), QString("Ann <ann@example.org>"));
    QCOMPARE(desktop::SenderText(rows[1]), QString("b@example.org"));
    QCOMPARE(desktop::DateText(""), QString());
    QVERIFY(!desktop::DateText("2024-05-01T10:00:00Z").isEmpty());
  }

  void aVerdictIsTheFirstJudgedObject() {
    desktop::VerdictText verdict;
    QVERIFY(!desktop::ParseVerdict("quorvel: nothing\n", &verdict));
    QVERIFY(desktop::ParseVerdict(
        "noise\n{\"path\":\"m\",\"spam\":true,\"reason\":\"Black List\\nsender x\"}\n", &verdict));
    QVERIFY(verdict.spam);
    QCOMPARE(QString::fromStdString(verdict.reason), QString("Black List\nsender x"));
  }

  void theListingCommandNamesTheRange() {
    QCOMPARE(desktop::MessagesCommand("Inbox/Lists", 400, 200),
             (std::vector<std::string>{"quorvel", "messages", "--json", "--skip", "400", "--limit",
                                       "200", "--", "Inbox/Lists"}));
  }
};

QTEST_MAIN(MessageModelTest)
#include "message_model_test.moc"
