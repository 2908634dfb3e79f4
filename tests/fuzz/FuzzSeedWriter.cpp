// vantrel-fuzz-seeds DIR [TARGET...]: writes the seed corpus of every fuzz
// target (or of the named ones) to DIR/<target>/seed-NN.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSeeds.h"
#include "FuzzTargets.h"

namespace {

bool writeSeeds(const std::filesystem::path& folder, const std::string& target) {
  const std::vector<vantrel::fuzz::FuzzInput> seeds = vantrel::fuzz::seedCorpus(target);
  if (seeds.empty()) {
    std::fprintf(stderr, "no seeds for fuzz target %s\n", target.c_str());
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(folder / target, error);
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%02zu", i);
    std::ofstream out(folder / target / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(seeds[i].data()),
              static_cast<std::streamsize>(seeds[i].size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (folder / target / name).c_str());
      return false;
    }
  }
  std::printf("%s: %zu seeds\n", target.c_str(), seeds.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [TARGET...]\n", argv[0]);
    return 2;
  }
  std::vector<std::string> targets(argv + 2, argv + argc);
  if (targets.empty()) {
    for (const auto& target : vantrel::fuzz::kFuzzTargets) targets.emplace_back(target.name);
  }
  bool ok = true;
  for (const std::string& target : targets) ok = writeSeeds(argv[1], target) && ok;
  return ok ? 0 : 1;
}
