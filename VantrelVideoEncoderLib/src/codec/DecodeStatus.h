#pragma once

namespace vantrel {

// Outcome of decoding one frame record. Anything but Ok means the record is
// damaged or does not belong to a movie of this frame size; the decoder then
// stops without reading or writing outside the record and the two pictures
// (the pictures may be partly updated).
enum class DecodeStatus {
  Ok,
  BadFrameSize,        // frame size not positive multiples of 8 (or too large)
  Truncated,           // the record ends inside the header, a code or an operand
  UnknownFrameKind,    // kind is neither 1 (key) nor 2 (difference)
  BadHeader,           // a header field holds a value no writer produces
  BadRepeat,           // a run whose repeated code is itself the run code 243
  CopyOutsidePicture,  // a copy whose source block leaves the reference picture
  RunPastLastBlock,    // a run still pending after the frame's last block
  TrailingBytes,       // bytes after the last code other than the padding byte
};

// A short English description of status, for reports.
inline const char* decodeStatusText(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::Ok:
      return "ok";
    case DecodeStatus::BadFrameSize:
      return "unsupported frame size";
    case DecodeStatus::Truncated:
      return "record truncated";
    case DecodeStatus::UnknownFrameKind:
      return "unknown frame kind";
    case DecodeStatus::BadHeader:
      return "bad record header";
    case DecodeStatus::BadRepeat:
      return "run of the run code";
    case DecodeStatus::CopyOutsidePicture:
      return "copy from outside the picture";
    case DecodeStatus::RunPastLastBlock:
      return "run extends past the last block";
    case DecodeStatus::TrailingBytes:
      return "bytes after the last block";
  }
  return "unknown status";
}

}  // namespace vantrel
