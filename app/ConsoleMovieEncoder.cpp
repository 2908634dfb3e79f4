#include "ConsoleMovieEncoder.h"

#include "ProgressText.h"

namespace vantrel {

ConsoleMovieEncoder::ConsoleMovieEncoder(EncoderSettings& programSettings)
    : settings(programSettings) {}

int ConsoleMovieEncoder::reportProgress(int event, int value, std::intptr_t data) {
  const ProgressMessage message = progressMessage(event, value, data);
  switch (message.channel) {
    case ProgressChannel::Plain:
      settings.printPlain("%s", message.text.c_str());
      break;
    case ProgressChannel::Info:
      settings.printInfo("%s", message.text.c_str());
      break;
    case ProgressChannel::Error:
      settings.printError("%s", message.text.c_str());
      break;
    case ProgressChannel::None:
      break;
  }
  return 0;
}

}  // namespace vantrel
