#include <iostream>

#include "InspectCommand.h"

int main(int argc, char** argv) {
  return vantrel::inspect::inspectMain(argc, argv, std::cout, std::cerr);
}
