#pragma once

#include <cstdint>
#include <memory>

#include "codec/FrameRecordFormat.h"

namespace vantrel {

class FrameCodecState;
class WorkerPool;

// The frame codec of one encode: turns each handheld frame (one byte per sample,
// frameWidth bytes per row, top row first) into a compressed frame record, either
// a key frame that stands alone or a difference frame that refers to the two
// previously decoded pictures.
//
// Lifecycle: initFrameCodec once, after the palette is final; then compressFrame
// for every frame strictly in order, the two reconstruction buffers alternating;
// releaseFrameCodec after the last frame. The object may be initialised again
// for a new encode. Not thread-safe; one encode at a time per object.
class FrameCodec {
 public:
  // Size of the caller's record buffer; no record is ever longer.
  static constexpr int kRecordBufferSize = frame_record::kRecordBufferSize;

  FrameCodec();
  ~FrameCodec();
  FrameCodec(const FrameCodec&) = delete;
  FrameCodec& operator=(const FrameCodec&) = delete;

  // Sets the codec up for frames of frameWidth x frameHeight samples (for the
  // truecolor codes frameHeight is the stored height, luma plus colour-difference
  // rows). palette: 256 words 0x00RRGGBB (the top byte is ignored); it is copied.
  // fineGrid selects the 32-level colour grid (else 16 levels). depthCode is
  // the colour code; key frames of the truecolor codes (24, 25) at widths
  // other than 160 choose their samples by it. frameWidth and frameHeight must
  // be positive multiples of 8, small enough for a key frame to fit
  // kRecordBufferSize (all handheld screen sizes are; see frameSizeIsSupported).
  // For any other size the codec is not ready and compressFrame writes nothing
  // and returns 0.
  void initFrameCodec(const std::uint32_t* palette, bool fineGrid, int frameWidth,
                      int frameHeight, int depthCode);
  // The threads a difference frame shares the first look at its blocks with
  // (null by default: the calling thread only); applies from the next
  // initFrameCodec, and the pool must outlive the frames compressed with it.
  // The records are the same for any pool.
  void setWorkers(WorkerPool* threads);
  // The best encode (off by default): difference frames choose their codes by
  // the error each byte removes and fit pattern colours to their groups, for
  // better pictures in about the same bytes; slower. Applies from the next
  // initFrameCodec. The records stay valid for every decoder of the format.
  void setBestEncode(bool on);
  // The best encode spends the bytes the default encode takes for each frame,
  // and runs it beside itself to know them. Where the best encode's frames
  // come from a different colour reduction, frame (which must stay valid)
  // holds each frame as the default reduction gives it when compressFrame is
  // called; null (the default): the frames as given.
  void setDefaultFrame(const std::uint8_t* frame);
  // The best encode in the truecolor layouts: leans (which must stay valid)
  // holds, when compressFrame is called, each sample's lean toward the
  // picture it stands for (convertFrame), so that the codes are judged
  // against the picture rather than against the samples; null (the
  // default): against the samples.
  void setSampleLeans(const std::int32_t* leans);
  // The default encode's palette (256 words, copied), where the best encode's
  // palette differs from it; null (the default): the same palette. Applies
  // from the next initFrameCodec.
  void setDefaultPalette(const std::uint32_t* palette);
  // The colour map of the default encode's palette (as colourMap() without
  // a palette of its own).
  const std::uint8_t* defaultColourMap() const;

  // The inverse colour map for the grid in use: 32768 bytes (fine grid, cell
  // index red5 << 10 | green5 << 5 | blue5) or 4096 bytes (coarse grid, cell index
  // red4 << 8 | green4 << 4 | blue4), each a palette index from 1 to 254. Owned by
  // the codec, valid until the next initFrameCodec; null before the first one.
  const std::uint8_t* colourMap() const;

  // Compresses one frame and returns the record length in bytes (at most
  // kRecordBufferSize).
  //   out        receives the record; a buffer of kRecordBufferSize bytes.
  //   frame      the handheld frame to compress.
  //   recon      this frame's reconstruction buffer (frameWidth x frameHeight); it
  //              holds the frame two back on entry and the decoded picture on return.
  //   prevRecon  the other buffer, holding the previous decoded picture, or null
  //              for the first frame. Only read by difference frames; a key frame
  //              is copied into it, so that both buffers hold the key frame.
  //   fastMode   skips the 8 x 8 pattern search (faster, slightly larger errors).
  //   minSize, maxSize, targetSize  byte counts steering the difference frame
  //              budget; maxSize 0 means 65520.
  //   quality    receives the quality figure, 0 to 1 (1 for a key frame).
  //   padEven    pads records to an even length with one zero byte.
  //   frameIndex counts frames from 0; keyInterval is the key frame interval in
  //              frames, 0 for none. Frame 0 (prevRecon null) is always a key frame
  //              and carries the palette.
  int compressFrame(std::uint8_t* out, const std::uint8_t* frame, std::uint8_t* recon,
                    std::uint8_t* prevRecon, bool fastMode, int minSize, int maxSize,
                    int targetSize, double& quality, bool padEven, int frameIndex,
                    int keyInterval);

  // Ends the encode. Nothing needs releasing; the tables stay until the object
  // goes or is initialised again.
  void releaseFrameCodec();

  // The quality figure for a frame whose final blocks differ from it by
  // totalError (summed colour distances): (1 - totalError / (255^2 x 76800))^150,
  // limited to 0 to 1. 1 for an exact frame.
  static double qualityFromError(std::int64_t totalError);

  // True when frames of this size can be compressed.
  static bool frameSizeIsSupported(int frameWidth, int frameHeight);
  // True after an initFrameCodec with a supported size.
  bool ready() const;

  // The palette copy (256 words, top byte cleared); null before initFrameCodec.
  const std::uint32_t* palette() const;
  int frameWidth() const;
  int frameHeight() const;

 private:
  std::unique_ptr<FrameCodecState> state;
};

}  // namespace vantrel
