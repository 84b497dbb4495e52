#include <iostream>

#include "app/cli.h"
#include "app/standard_streams.h"

int main(int argc, char** argv) {
  quorvel::app::HoldClosedStandardStreams();
  const int status = quorvel::app::RunCommandLine(argc, argv, std::cout, std::cerr);
  return quorvel::app::FinishOutput(status, std::cout, std::cerr);
}
