// render_manual SOURCE HTML MAN VERSION: writes the user's manual as an HTML page and
// as the man page quorvel(1), from its one source. Run by the build.
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "manual/manual_markup.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: render_manual SOURCE HTML MAN VERSION\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream source;
  source << in.rdbuf();
  if (!in) {
    std::cerr << "render_manual: cannot read " << argv[1] << "\n";
    return 1;
  }
  const auto blocks = quorvel::manual::ParseManual(source.str());
  // The page's date: SOURCE_DATE_EPOCH when set, so that builds are reproducible.
  std::time_t now = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) now = std::stoll(epoch);
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&now));
  std::ofstream html(argv[2], std::ios::binary);
  html << quorvel::manual::ToHtml(blocks);
  std::ofstream man(argv[3], std::ios::binary);
  man << quorvel::manual::ToMan(blocks, "quorvel", date, argv[4]);
  if (!html || !man) {
    std::cerr << "render_manual: cannot write the manual\n";
    return 1;
  }
  return 0;
}
