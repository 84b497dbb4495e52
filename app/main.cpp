#include <iostream>

#include "app/cli.h"

int main(int argc, char** argv) {
  return quorvel::app::RunCommandLine(argc, argv, std::cout, std::cerr);
}
