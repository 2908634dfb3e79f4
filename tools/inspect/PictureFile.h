#pragma once

#include <string>
#include <vector>

#include "PictureConversion.h"

namespace vantrel::inspect {

// Writes picture to path as binary PPM (P6) or, when path ends in ".png", as an
// uncompressed PNG (stored deflate blocks: no compression library needed).
// Returns false when the file cannot be written.
bool writePicture(const std::string& path, const RgbPicture& picture);

// The PNG file bytes of picture: signature, IHDR (8-bit RGB), one IDAT with a
// zlib stream of stored blocks, IEND.
std::vector<std::uint8_t> encodePng(const RgbPicture& picture);

// The PPM (P6) file bytes of picture.
std::vector<std::uint8_t> encodePpm(const RgbPicture& picture);

// Lays pictures out in rows of at most columns, separated by a 4-pixel gray
// gutter; every cell is as large as the largest picture. Empty for no pictures.
RgbPicture contactSheet(const std::vector<RgbPicture>& pictures, int columns);

}  // namespace vantrel::inspect
