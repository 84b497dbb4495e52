// The pictures of tools/screenshots: every dialog the system shows, drawn offscreen to
// PNG files named after what they show: the dialogs of screenshot_models.h, each page
// of the first-run wizard as the wizard's run shows it, message boxes and the Check
// Folder progress through the desktop's presenter, the spam popup, and the explorer on
// a Maildir of the test messages, with the verdict of the first message. The explorer
// and the Test Message results come from a host the gallery starts in a home of its
// own (a real `quorvel run`), which judges messages of testdata/mail.
//
// Thread-safety: the GUI thread only.
#ifndef QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_
#define QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_

#include <QString>
#include <QStringList>

namespace quorvel::desktop {

struct GalleryOptions {
  QString folder;          // where the PNG files go; made when missing
  QString quorvelProgram;  // the quorvel executable the host is started from
  QString testMail;        // testdata/mail of the source tree
};

// Writes every picture; *written names the files written, in order. False with
// *error when a picture cannot be made (the host does not start, a file cannot be
// written); the pictures made before stay.
bool WriteScreenshots(const GalleryOptions& options, QStringList* written, QString* error);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_
