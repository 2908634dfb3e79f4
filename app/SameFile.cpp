#include "SameFile.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace vantrel {

bool isSameFile(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) return false;
  struct stat firstInfo {};
  struct stat secondInfo {};
  if (stat(first.c_str(), &firstInfo) == 0 && stat(second.c_str(), &secondInfo) == 0) {
    return firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
  }
  // One of them does not exist (yet): compare where the paths lead.
  std::error_code firstError;
  std::error_code secondError;
  const auto firstPath = std::filesystem::weakly_canonical(first, firstError);
  const auto secondPath = std::filesystem::weakly_canonical(second, secondError);
  if (firstError || secondError) return first == second;
  return firstPath == secondPath;
}

}  // namespace vantrel
