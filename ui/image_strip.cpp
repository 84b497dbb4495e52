#include "ui/image_strip.h"

#include <charconv>
#include <vector>

namespace quorvel::ui {
namespace {

// The texts between double quotes, in order (XPM strings hold no escaped quotes).
std::vector<std::string_view> QuotedLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = text.find('"'); at != std::string_view::npos;) {
    const std::size_t end = text.find('"', at + 1);
    if (end == std::string_view::npos) break;
    lines.push_back(text.substr(at + 1, end - at - 1));
    at = text.find('"', end + 1);
  }
  return lines;
}

bool Numbers(std::string_view header, int (&out)[4]) {
  for (int& n : out) {
    while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
    auto [end, error] = std::from_chars(header.data(), header.data() + header.size(), n);
    if (error != std::errc() || n <= 0) return false;
    header.remove_prefix(static_cast<std::size_t>(end - header.data()));
  }
  return true;
}

}  // namespace

std::string XpmFace(std::string_view strip, int index, int size, std::string_view transparent) {
  const std::vector<std::string_view> lines = QuotedLines(strip);
  int header[4];
  if (lines.empty() || !Numbers(lines[0], header)) return "";
  const auto [width, height, colours, cpp] = header;
  if (index < 0 || size <= 0 || size > height || (index + 1) * size > width ||
      lines.size() < static_cast<std::size_t>(1 + colours + height)) {
    return "";
  }
  std::string face = "/* XPM */\nstatic char *face[] = {\n\"" + std::to_string(size) + " " +
                     std::to_string(size) + " " + std::to_string(colours) + " " +
                     std::to_string(cpp) + "\",\n";
  for (int c = 0; c < colours; ++c) {
    std::string_view colour = lines[static_cast<std::size_t>(1 + c)];
    if (colour.size() < static_cast<std::size_t>(cpp)) return "";
    std::string line(colour);
    if (const std::size_t at = line.rfind(' ');
        at != std::string::npos && std::string_view(line).substr(at + 1) == transparent) {
      line = line.substr(0, at + 1) + "None";
    }
    face += "\"" + line + "\",\n";
  }
  const auto first = static_cast<std::size_t>(index * size * cpp);
  const auto length = static_cast<std::size_t>(size * cpp);
  for (int y = 0; y < size; ++y) {
    std::string_view row = lines[static_cast<std::size_t>(1 + colours + y)];
    if (row.size() < static_cast<std::size_t>(width * cpp)) return "";
    face += "\"" + std::string(row.substr(first, length)) + "\"" + (y + 1 < size ? ",\n" : "\n");
  }
  return face + "};\n";
}

}  // namespace quorvel::ui
