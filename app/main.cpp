#include <cstdlib>

#include "ProgramObjects.h"

int main(int argc, char** argv) { std::exit(vantrel::runProgram(argc, argv)); }
