#pragma once

#include <cstdio>

namespace vantrel::fuzz {

// A process-wide stdio stream that throws its text away without a system
// call (the console code flushes after every message); null if it cannot be
// made. Never closed.
std::FILE* discardingStream();

}  // namespace vantrel::fuzz
