#include <iostream>

#include "CommandLine.h"

int main(int argc, char** argv) {
  return vantrel::inspect::inspectMain(argc, argv, std::cout, std::cerr);
}
