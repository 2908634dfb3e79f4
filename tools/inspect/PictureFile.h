#pragma once

#include <string>
#include <vector>

#include "PictureConversion.h"

namespace vantrel::inspect {

// Writes picture to path as binary PPM (P6) or, when path ends in ".png", as a
// PNG file. Returns false when the file cannot be written or encoded.
bool writePicture(const std::string& path, const RgbPicture& picture);

// The PNG file bytes of picture (8-bit RGB, compressed), made by FFmpeg's PNG
// encoder. Empty for an empty picture or when the encoder is missing or fails.
std::vector<std::uint8_t> encodePng(const RgbPicture& picture);

// Reads PNG file bytes back with FFmpeg's PNG decoder (a check of written
// pictures). Returns false unless they hold an 8-bit RGB picture.
bool decodePng(const std::vector<std::uint8_t>& bytes, RgbPicture& picture);

// The PPM (P6) file bytes of picture.
std::vector<std::uint8_t> encodePpm(const RgbPicture& picture);

// Lays pictures out in rows of at most columns, separated by a 4-pixel gray
// gutter; every cell is as large as the largest picture. Empty for no pictures.
RgbPicture contactSheet(const std::vector<RgbPicture>& pictures, int columns);

// picture with every pixel repeated zoom x zoom times (nearest neighbour).
RgbPicture enlarged(const RgbPicture& picture, int zoom);

// left and right next to each other, without a gap; a picture shorter than the
// other is placed at the top, over black.
RgbPicture sideBySide(const RgbPicture& left, const RgbPicture& right);

}  // namespace vantrel::inspect
