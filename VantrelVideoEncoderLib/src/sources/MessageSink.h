#pragma once

#include <functional>
#include <string>

namespace vantrel {

// Receives text meant for the error stream: start-up warnings and message boxes
// (a message box arrives as its caption, ": ", its text and a line feed). The
// library never prints; the console program writes these to standard error. An
// empty sink drops the text.
using MessageSink = std::function<void(const std::string& text)>;

// Sends text through sink (nothing when the sink is empty).
void sendMessage(const MessageSink& sink, const std::string& text);

// Sends a message box through sink as one line: caption, ": ", text, line feed.
void showMessageBox(const MessageSink& sink, const std::string& caption,
                    const std::string& text);

}  // namespace vantrel
