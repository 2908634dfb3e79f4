#pragma once

// The seed corpus of each fuzz target, made by the project's own code: movie
// databases written by the encoder, difference records written by the frame
// codec, media clips written by the test clip writers, and typical command
// lines and menu sessions. Nothing is read from disk, so the corpus needs no
// committed binaries; the same seeds feed the libFuzzer runs (through
// vantrel-fuzz-seeds) and the replay test.

#include <cstdint>
#include <string_view>
#include <vector>

namespace vantrel::fuzz {

using FuzzInput = std::vector<std::uint8_t>;

// The seeds of the target named as in kFuzzTargets; empty for an unknown name.
std::vector<FuzzInput> seedCorpus(std::string_view target);

}  // namespace vantrel::fuzz
