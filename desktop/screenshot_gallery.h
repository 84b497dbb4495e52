// The pictures of tools/screenshots: dialogs of every shape the host sends (a message
// box, a confirmation with a check box, a property sheet with list pages, a wizard
// page, the test message's result, progress with Cancel), the spam popup, and the
// explorer of the default profile's host when one runs, each drawn offscreen to a
// PNG file.
#ifndef QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_
#define QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_

#include <QString>
#include <vector>

#include "ui/dialog.h"

namespace quorvel::desktop {

struct GalleryDialog {
  QString file;  // "options-sheet.png"
  ui::Dialog dialog;
};

// The dialogs drawn: one of each shape.
std::vector<GalleryDialog> GalleryDialogs();

// Writes every picture into `folder`; *written counts them. False with *error when
// a file cannot be written.
bool WriteScreenshots(const QString& folder, int* written, QString* error);

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_SCREENSHOT_GALLERY_H_
