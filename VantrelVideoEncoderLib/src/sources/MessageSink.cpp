#include "sources/MessageSink.h"

namespace vantrel {

void sendMessage(const MessageSink& sink, const std::string& text) {
  if (sink) sink(text);
}

void showMessageBox(const MessageSink& sink, const std::string& caption,
                    const std::string& text) {
  sendMessage(sink, caption + ": " + text + "\n");
}

}  // namespace vantrel
