#pragma once

// A console for menu tests: the input stream reads a fixed script, the output
// stream collects everything written so a test can compare it exactly.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantrel {

class ScriptedConsole {
 public:
  explicit ScriptedConsole(std::string script) : scriptText(std::move(script)) {
    // fmemopen refuses an empty buffer on some C libraries; /dev/null is at
    // its end at once just the same.
    input = scriptText.empty() ? std::fopen("/dev/null", "r")
                               : fmemopen(scriptText.data(), scriptText.size(), "r");
    output = open_memstream(&outputBuffer, &outputSize);
  }
  ~ScriptedConsole() {
    if (input != nullptr) std::fclose(input);
    if (output != nullptr) std::fclose(output);
    std::free(outputBuffer);
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  // Everything written to the output stream so far.
  std::string text() {
    std::fflush(output);
    return std::string(outputBuffer, outputSize);
  }

  std::FILE* input = nullptr;
  std::FILE* output = nullptr;

 private:
  std::string scriptText;
  char* outputBuffer = nullptr;
  std::size_t outputSize = 0;
};

}  // namespace vantrel
