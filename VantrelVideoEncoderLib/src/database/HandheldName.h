#pragma once

// The database name as the handheld shows it. The handheld's 8-bit character
// set is Windows code page 1252 (Latin-1 with printable characters in 0x80 to
// 0x9F); the name field holds at most 31 of its bytes. Names arrive as UTF-8
// (file names, command lines), so they are converted character by character
// and cut on a character boundary, never inside one.

#include <string>
#include <string_view>

namespace vantrel {

// The bytes the name field stores for name: each UTF-8 character the
// character set has becomes its byte; any other character (and a control
// character) becomes '_'. A byte that does not belong to a valid UTF-8
// sequence is taken as a byte of the character set already (a name typed on a
// Latin-1 console), or '_' when the set has no character there. At most 31
// characters are kept; the rest is dropped.
std::string handheldNameBytes(std::string_view name);

// Stored name bytes in UTF-8, for a console: every byte the character set
// defines as its character, any other byte (a control byte or one of the five
// unassigned ones) as '_'. Stops at the first zero byte.
std::string handheldNameText(std::string_view bytes);

}  // namespace vantrel
