// One face of an image strip in XPM (the format of data/toolbar.xpm): the strip's
// quoted lines are its header ("width height colours chars-per-pixel"), its colours
// and its rows; a face is the square of side `size` at `index`, as an XPM of its own,
// with the strip's transparent colour written as None.
#ifndef QUORVEL_UI_IMAGE_STRIP_H_
#define QUORVEL_UI_IMAGE_STRIP_H_

#include <string>
#include <string_view>

namespace quorvel::ui {

// "" for a strip that does not parse, or a face outside it.
std::string XpmFace(std::string_view strip, int index, int size, std::string_view transparent);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_IMAGE_STRIP_H_
