#include "database/HandheldName.h"

#include <array>
#include <cstdint>

#include "database/DatabaseFormat.h"

namespace vantrel {

namespace {

constexpr char kUnshown = '_';

// The characters of bytes 0x80 to 0x9F; 0 where the set has none.
constexpr std::array<char32_t, 32> kHighRow = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character of byte b, 0 when the set has none there (control bytes
// included: a name shows nothing for them).
char32_t characterOf(std::uint8_t b) {
  if (b < 0x20 || b == 0x7F) return 0;
  if (b >= 0x80 && b < 0xA0) return kHighRow[b - 0x80];
  return b;  // ASCII and 0xA0 to 0xFF are Latin-1: the byte is the code point
}

// The byte of character c, or kUnshown when the set lacks it.
char byteOf(char32_t c) {
  if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighRow.size(); ++i) {
    if (kHighRow[i] != 0 && kHighRow[i] == c) return static_cast<char>(0x80 + i);
  }
  return kUnshown;
}

// Reads one UTF-8 character at text[at]; returns its length (0 when the bytes
// there are no valid, shortest-form sequence) and stores the character.
std::size_t readUtf8(std::string_view text, std::size_t at, char32_t& c) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

void appendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | (c >> 6));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string handheldNameBytes(std::string_view name) {
  std::string bytes;
  std::size_t at = 0;
  while (at < name.size() && bytes.size() < std::size_t(kDatabaseNameMaxLength)) {
    if (name[at] == '\0') break;
    char32_t c = 0;
    std::size_t length = readUtf8(name, at, c);
    if (length == 0) {
      // Not UTF-8: the byte already is one of the set's, if the set has it.
      length = 1;
      const auto b = static_cast<std::uint8_t>(name[at]);
      bytes += characterOf(b) != 0 ? static_cast<char>(b) : kUnshown;
    } else {
      bytes += byteOf(c);
    }
    at += length;
  }
  return bytes;
}

std::string handheldNameText(std::string_view bytes) {
  std::string text;
  for (const char byte : bytes) {
    if (byte == '\0') break;
    const char32_t c = characterOf(static_cast<std::uint8_t>(byte));
    if (c == 0) {
      text += kUnshown;
    } else {
      appendUtf8(text, c);
    }
  }
  return text;
}

}  // namespace vantrel
