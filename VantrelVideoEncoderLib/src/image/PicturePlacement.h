#pragma once

// The steps that put a source picture on the working image and ready it for the
// colour reduction, shared by the encode driver and by the tools that rebuild
// its frames, so that both always make the same picture.

#include <cstdint>

#include "image/ColourReduction.h"
#include "image/FrameImage.h"
#include "image/Placement.h"

namespace vantrel {

// Whether the frames of a movie carry gray pictures: a grayscale movie in a
// truecolor layout, which has no gray ramp to map colours onto.
constexpr bool carriesGrayPictures(int depthCode, bool grayscale) {
  return grayscale && depthCode >= kTruecolorDepth;
}

// Composes picture on target as every movie frame is made: picture is copied
// into sourceImage (attached by the caller at picture's size, rows of even
// width), target is cleared to black, the placement's source window is area-
// scaled into its destination, and the lightness is adjusted there unless
// brightness and contrast are both 0. With gray every pixel of target becomes
// its luma (see carriesGrayPictures).
void composePlacedPicture(const FrameImage& picture, FrameImage& sourceImage,
                          FrameImage& target, const Placement& placement, float brightness,
                          float contrast, bool gray);

// The output pass's flips of a composed width x height working image (32-bit
// pixels, rows packed) for colour code depthCode: see outputNeedsRowFlip and
// outputNeedsMirror in FrameGeometry.h.
void flipForOutput(std::uint32_t* pixels, int width, int height, int depthCode,
                   bool flipVertical, bool flipHorizontal, bool rotate);

}  // namespace vantrel
