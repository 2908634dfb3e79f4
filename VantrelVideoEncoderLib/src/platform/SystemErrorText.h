#pragma once

#include <string>

namespace vantrel {

// The operating system's message for an errno value (the text strerror gives).
// Returns false and leaves text unchanged when the system has no message for it.
bool systemErrorMessage(int errnoValue, std::string& text);

}  // namespace vantrel
