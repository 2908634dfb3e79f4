#include "image/PicturePlacement.h"

#include "image/FrameGeometry.h"

namespace vantrel {

void composePlacedPicture(const FrameImage& picture, FrameImage& sourceImage,
                          FrameImage& target, const Placement& placement, float brightness,
                          float contrast, bool gray) {
  sourceImage.copyRect(0, 0, picture, 0, 0, -1, -1);
  target.fillRect(0, 0, -1, -1, 0);
  // Placement rows count from the top; the image's rows from the bottom.
  const int bottom = target.height() - placement.destTop - placement.destHeight;
  target.scaleArea(placement.destLeft, bottom, placement.destWidth, placement.destHeight,
                   sourceImage, placement.srcX, placement.srcY, placement.srcWidth,
                   placement.srcHeight);
  if (brightness != 0.0f || contrast != 0.0f) {
    target.adjustLightness(placement.destLeft, bottom, placement.destWidth,
                           placement.destHeight, brightness, contrast);
  }
  if (gray) makeGray(target);
}

void flipForOutput(std::uint32_t* pixels, int width, int height, int depthCode,
                   bool flipVertical, bool flipHorizontal, bool rotate) {
  if (outputNeedsRowFlip(depthCode, flipVertical, rotate)) {
    flipRows(pixels, width, height, 4 * width, 32);
  }
  if (outputNeedsMirror(depthCode, flipHorizontal, rotate)) {
    mirrorRows(pixels, width, height, 4 * width, 32);
  }
}

}  // namespace vantrel
