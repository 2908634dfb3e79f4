#pragma once

#include <string>

#include "PictureConversion.h"

namespace vantrel::inspect {

// The picture that stands for a movie without pictures in a preview that
// cannot hold sound alone: the movie's name in white on black, centred, in a
// 5 x 7 dot font (letters in capitals; characters it lacks show as '?'),
// wrapped to the width. width x height pixels.
RgbPicture nameCard(const std::string& name, int width, int height);

}  // namespace vantrel::inspect
