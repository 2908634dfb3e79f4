#include "FfmpegLog.h"

#include <cstdarg>
#include <mutex>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

namespace vantrel::inspect {

namespace {

std::mutex sinkLock;
std::ostream* sink = nullptr;  // guarded by sinkLock
// FFmpeg sends a line in pieces; the prefix belongs before the first piece.
int atLineStart = 1;  // guarded by sinkLock

void forward(void* context, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_WARNING) return;
  std::lock_guard<std::mutex> lock(sinkLock);
  if (sink == nullptr) return;
  const bool newLine = atLineStart != 0;
  char line[1024];
  av_log_format_line2(context, level, format, arguments, line, sizeof line, &atLineStart);
  if (newLine) *sink << "ffmpeg: ";
  *sink << line << std::flush;
}

}  // namespace

void takeFfmpegLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(&forward); });
}

ShownFfmpegLog::ShownFfmpegLog(std::ostream& out) {
  takeFfmpegLog();
  std::lock_guard<std::mutex> lock(sinkLock);
  sink = &out;
  atLineStart = 1;
}

ShownFfmpegLog::~ShownFfmpegLog() {
  std::lock_guard<std::mutex> lock(sinkLock);
  sink = nullptr;
}

}  // namespace vantrel::inspect
