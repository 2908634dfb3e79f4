#pragma once

// The start-up check of the host system: a Linux kernel of version 3 or later.

namespace vantrel {

// The host cannot be identified (uname failed or its release is unreadable).
inline constexpr const char* kHostUnknownMessage =
    "INTERNAL ERROR - unable to determine system version";
// The host is not a supported system or is too old.
inline constexpr const char* kHostTooOldMessage =
    "FATAL ERROR - This application requires Windows 98 or Windows NT 4.0 and later";

// Judges a system name and kernel release as uname reports them: null when
// the host is acceptable (Linux with a major version of 3 or more), otherwise
// the message to show. A null or unreadable release gives kHostUnknownMessage.
const char* checkHostRelease(const char* systemName, const char* release);

// Asks uname about the running host and judges it as checkHostRelease does.
const char* checkHost();

}  // namespace vantrel
