#include "HostCheck.h"

#include <sys/utsname.h>

#include <cctype>
#include <cstring>

namespace vantrel {

namespace {

constexpr long kMinimumKernelMajor = 3;

}  // namespace

const char* checkHostRelease(const char* systemName, const char* release) {
  if (systemName == nullptr || release == nullptr ||
      !std::isdigit(static_cast<unsigned char>(release[0]))) {
    return kHostUnknownMessage;
  }
  // Only the major number matters; it is read digit by digit so an absurdly
  // long release text cannot overflow.
  long major = 0;
  for (const char* digit = release; std::isdigit(static_cast<unsigned char>(*digit));
       ++digit) {
    if (major < kMinimumKernelMajor) major = major * 10 + (*digit - '0');
  }
  if (std::strcmp(systemName, "Linux") != 0 || major < kMinimumKernelMajor) {
    return kHostTooOldMessage;
  }
  return nullptr;
}

const char* checkHost() {
  struct utsname host {};
  if (uname(&host) != 0) return kHostUnknownMessage;
  return checkHostRelease(host.sysname, host.release);
}

}  // namespace vantrel
