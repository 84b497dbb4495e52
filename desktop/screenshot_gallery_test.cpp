// The screenshot gallery draws every dialog and window it names, each to a picture
// that shows something (not one flat colour, not a sliver); without the test messages
// whose verdicts it shows, it says so.
#include "desktop/screenshot_gallery.h"

#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

using namespace quorvel;

class ScreenshotGalleryTest : public QObject {
  Q_OBJECT

 private slots:
  void writesEveryPictureAndNoneIsBlank() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    desktop::GalleryOptions options;
    options.folder = folder.path() + "/pictures";
    options.quorvelProgram = QUORVEL_PROGRAM;
    options.testMail = QString::fromUtf8(std::getenv("QUORVEL_SOURCE_DIR")) + "/testdata/mail";
    QStringList written;
    QString error;
    QVERIFY2(desktop::WriteScreenshots(options, &written, &error), qPrintable(error));

    const QStringList expected = {
        "options-1-general.png",
        "options-2-phrase-filter.png",
        "options-3-white-list.png",
        "options-4-black-list.png",
        "options-5-safe-recipients.png",
        "options-6-about.png",
        "list-edit-entry.png",
        "list-confirm-absorbed.png",
        "list-confirm-conflicts.png",
        "dictionary-spam.png",
        "input-box-add-word.png",
        "input-box-edit-word.png",
        "marking-options.png",
        "marking-confirmation-junk.png",
        "marking-confirmation-good.png",
        "check-folder-confirm.png",
        "test-message-short.png",
        "test-message-long.png",
        "toolbar-customization.png",
        "exception-report.png",
        "wizard-1-welcome.png",
        "wizard-2-white-list.png",
        "wizard-3-folders.png",
        "wizard-4-scan.png",
        "wizard-5-done.png",
        "message-empty-spam-question.png",
        "message-remove-items.png",
        "message-not-mail-folder-warning.png",
        "message-select-mail-item.png",
        "message-spam-folder-is-inbox.png",
        "message-word-empty.png",
        "check-folder-progress.png",
        "tray-popup.png",
        "explorer-inbox.png",
    };
    QCOMPARE(written, expected);
    for (const QString& file : expected) {
      const QImage image(options.folder + "/" + file);
      QVERIFY2(!image.isNull(), qPrintable(file + " is missing or not a PNG"));
      QVERIFY2(image.width() >= 100 && image.height() >= 40, qPrintable(file + " is a sliver"));
      QSet<QRgb> colours;
      for (int y = 0; y < image.height() && colours.size() < 3; y += 2) {
        for (int x = 0; x < image.width() && colours.size() < 3; x += 2)
          colours << image.pixel(x, y);
      }
      QVERIFY2(colours.size() >= 3, qPrintable(file + " is blank"));
    }
  }

  void withoutTestMessagesItSaysSoAndDrawsNothing() {
    QTemporaryDir folder;
    desktop::GalleryOptions options;
    options.folder = folder.path();
    options.quorvelProgram = QUORVEL_PROGRAM;
    options.testMail = folder.path() + "/none";
    QStringList written;
    QString error;
    QVERIFY(!desktop::WriteScreenshots(options, &written, &error));
    QVERIFY2(error.contains("no .eml files"), qPrintable(error));
    QVERIFY(written.isEmpty());
  }
};

QTEST_MAIN(ScreenshotGalleryTest)
#include "screenshot_gallery_test.moc"
