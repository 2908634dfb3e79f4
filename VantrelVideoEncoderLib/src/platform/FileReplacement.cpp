#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

namespace vantrel {

namespace {

constexpr int kNameAttempts = 100;

// The temporary files in being, for the signal handler to remove: fixed
// slots, since a handler may neither allocate nor lock. The inspector has at
// most a preview and a picture under way at once.
constexpr int kSlots = 8;
constexpr std::size_t kSlotBytes = 4096;
char slotPaths[kSlots][kSlotBytes];
std::atomic<bool> slotUsed[kSlots];

void removeAndDie(int signalNumber) {
  for (int i = 0; i < kSlots; ++i) {
    if (slotUsed[i].load()) unlink(slotPaths[i]);
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Ctrl-C, kill and a closed terminal end the process without leaving a
// temporary file; a signal someone else handles or ignores is left to them.
void handleEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction current {};
      if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        std::signal(signalNumber, &removeAndDie);
      }
    }
  });
}

// The slot now holding path, or -1 when all are taken.
int holdForSignals(const std::string& path) {
  if (path.size() >= kSlotBytes) return -1;
  handleEndingSignals();
  for (int i = 0; i < kSlots; ++i) {
    if (slotUsed[i].load()) continue;
    std::memcpy(slotPaths[i], path.c_str(), path.size() + 1);
    slotUsed[i].store(true);
    return i;
  }
  return -1;
}

std::string systemError(int error) { return std::strerror(error); }

// ".NAME-XXXXXX.EXT" beside destination, with six random letters and digits.
std::string temporaryName(const std::filesystem::path& destination, std::mt19937& random) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string name(1, '.');
  name.append(destination.stem().string()).push_back('-');
  for (int i = 0; i < 6; ++i) name.push_back(kLetters[pick(random)]);
  name.append(destination.extension().string());
  return (destination.parent_path() / name).string();
}

}  // namespace

FileReplacement::~FileReplacement() { discard(); }

std::string FileReplacement::begin(const std::string& destination) {
  discard();
  target = destination;
  direct = false;
  struct stat facts {};
  if (lstat(destination.c_str(), &facts) == 0 && S_ISLNK(facts.st_mode)) {
    // Replace what the link points to, not the link; a dangling link is
    // written through, as opening it would.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(destination, error);
    direct = bool(error);
    if (direct) return {};
    target = resolved.string();
  }
  const bool exists = stat(target.c_str(), &facts) == 0;
  direct = exists && !S_ISREG(facts.st_mode);
  if (direct) return {};

  std::random_device seed;
  std::mt19937 random(seed() ^ unsigned(getpid()));
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = temporaryName(target, random);
    // 0666 less the umask, as the destination would be made by a plain open.
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0) {
      // A replaced file keeps its permissions.
      if (exists) fchmod(file, facts.st_mode & 07777);
      close(file);
      temporary = std::move(name);
      slot = holdForSignals(temporary);
      return {};
    }
    if (errno != EEXIST) return systemError(errno);
  }
  return "no free temporary name";
}

std::string FileReplacement::commit() {
  if (temporary.empty()) return {};
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    const std::string why = "cannot rename onto it: " + systemError(errno);
    discard();
    return why;
  }
  release();
  return {};
}

void FileReplacement::discard() {
  if (!temporary.empty()) std::remove(temporary.c_str());
  release();
}

void FileReplacement::release() {
  // After the rename or removal: a signal in between finds the name gone.
  if (slot >= 0) slotUsed[slot].store(false);
  slot = -1;
  temporary.clear();
}

bool writeWholeFile(const std::string& destination, const void* bytes, std::size_t size) {
  FileReplacement replacement;
  if (!replacement.begin(destination).empty()) return false;
  std::FILE* file = std::fopen(replacement.writePath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes, 1, size, file) == size;
  // A full disk may show only when the buffer is flushed at close.
  if (std::fclose(file) != 0 || !written) return false;
  return replacement.commit().empty();
}

}  // namespace vantrel
