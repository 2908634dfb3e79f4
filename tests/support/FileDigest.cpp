#include "support/FileDigest.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include "database/DatabaseFormat.h"

namespace vantrel::test {

std::string movieDigest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  if (bytes.size() < std::size_t(kHeaderBackupDateOffset) + 4) return "";
  for (int offset : {kHeaderCreationDateOffset, kHeaderModificationDateOffset,
                     kHeaderBackupDateOffset}) {
    for (int i = 0; i < 4; ++i) bytes[std::size_t(offset + i)] = 0;
  }

  std::unique_ptr<AVSHA, void (*)(void*)> sha(av_sha_alloc(), &av_free);
  if (!sha || av_sha_init(sha.get(), 256) < 0) return "";
  av_sha_update(sha.get(), bytes.data(), bytes.size());
  std::uint8_t digest[32];
  av_sha_final(sha.get(), digest);
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

}  // namespace vantrel::test
