#include "CommandLineMenuUI.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::size_t kMaxDashLine = 80;
constexpr std::string_view kChoicePromptWithUp =
    "Menu choice (\"-\" to go up, \"!\" to redraw)? ";
constexpr std::string_view kChoicePromptTop = "Menu choice (\"!\" to redraw)? ";
constexpr std::string_view kQuitQuestion = "Are you sure you wish to quit? [n] ";

}  // namespace

CommandLineMenuUI::CommandLineMenuUI(std::span<const MenuPage> pageTable,
                                     std::FILE* inputStream,
                                     std::FILE* outputStream)
    : pages(pageTable), input(inputStream), output(outputStream) {}

int CommandLineMenuUI::run(std::int32_t startPageId) {
  pageStack.clear();
  done = false;
  currentPage = findPage(startPageId);
  if (currentPage == nullptr) {
    // Without a start page there is nothing to show or run.
    return -1;
  }
  while (!done) {
    pageChanged = false;
    const MenuPage& page = *currentPage;
    if (page.runsInSequence()) {
      for (std::size_t i = 0; i < page.items.size(); ++i) {
        runItem(page, i);
        if (done) return result;
        if (pageChanged) break;
      }
    } else {
      drawPage(page);
      chooseFromPage(page);
    }
  }
  return result;
}

void CommandLineMenuUI::chooseFromPage(const MenuPage& page) {
  // An empty line asks for the page to be drawn again, except right after a
  // choice that was not recognised: then only the prompt is repeated.
  bool lastUnrecognised = false;
  for (;;) {
    putText(pageStack.empty() ? kChoicePromptTop : kChoicePromptWithUp, true);
    const std::string line = readAnswer();
    if (line.empty()) {
      if (lastUnrecognised) continue;
      return;
    }
    const int found = findItem(page, line);
    if (found == kNoItem) {
      lastUnrecognised = true;
      continue;
    }
    lastUnrecognised = false;
    bool succeeded = false;
    if (found == kGoUp) {
      succeeded = performAction(MenuAction::Back, 0, std::nullopt, nullptr) ==
                  ActionOutcome::Done;
    } else if (found == kRedraw) {
      succeeded = true;
    } else if (found >= 0) {
      succeeded = runItem(page, static_cast<std::size_t>(found));
    }
    if (succeeded) return;
  }
}

ActionOutcome CommandLineMenuUI::performAction(
    MenuAction action, std::int32_t argument,
    std::optional<std::string_view> answer, const MenuItem* item) {
  const MenuPage& page = *currentPage;
  ActionOutcome outcome = ActionOutcome::Done;
  bool repeat = false;
  do {
    repeat = false;
    switch (action) {
      case MenuAction::Exit:
        if (confirmExit(page, item, argument, answer)) {
          done = true;
          result = argument;
        } else {
          outcome = ActionOutcome::NotDone;
        }
        break;
      case MenuAction::OpenPage:
        if (const MenuPage* target = findPage(argument)) {
          pageStack.push_back(currentPage);
          currentPage = target;
          pageChanged = true;
        } else {
          outcome = ActionOutcome::NotDone;
        }
        break;
      case MenuAction::Back:
        if (pageStack.empty()) {
          outcome = ActionOutcome::NotDone;
        } else {
          currentPage = pageStack.back();
          pageStack.pop_back();
          pageChanged = true;
        }
        break;
      case MenuAction::JumpToPage:
        if (const MenuPage* target = findPage(argument)) {
          currentPage = target;
          pageChanged = true;
        } else {
          outcome = ActionOutcome::NotDone;
        }
        break;
      case MenuAction::AskAgain:
        outcome = ActionOutcome::AskAgain;
        break;
      case MenuAction::Command:
        if (!runCommand(page, item, argument, answer, action, repeat)) {
          outcome = ActionOutcome::NotDone;
        }
        break;
      default:
        outcome = ActionOutcome::NotDone;
        break;
    }
  } while (outcome == ActionOutcome::Done && repeat);
  return outcome;
}

bool CommandLineMenuUI::runItem(const MenuPage& page, std::size_t itemIndex) {
  const MenuItem& item = page.items[itemIndex];
  ActionOutcome outcome = ActionOutcome::Done;
  do {
    std::optional<std::string> answer;
    if (item.prompt != nullptr) {
      std::string prompt = item.prompt;
      preparePrompt(page, item, prompt);
      putText(prompt, false);
      putChar(' ', true);
      answer = readAnswer();
    }
    std::optional<std::string_view> answerView;
    if (answer) answerView = *answer;
    outcome = performAction(item.action, item.argument, answerView, &item);
  } while (outcome == ActionOutcome::AskAgain);
  return outcome == ActionOutcome::Done;
}

int CommandLineMenuUI::findItem(const MenuPage& page, std::string_view text) {
  if (text.empty()) return kNoItem;
  for (std::size_t i = page.items.size(); i-- > 0;) {
    // Separators are never chosen, even when they carry a key.
    const MenuItem& item = page.items[i];
    if (!item.isSeparator() && text == item.key) return static_cast<int>(i);
  }
  if (text == "-") return kGoUp;
  if (text == "!") return kRedraw;
  return kNoItem;
}

const MenuPage* CommandLineMenuUI::findPage(std::int32_t pageId) {
  const auto found = std::find_if(pages.begin(), pages.end(),
                                  [pageId](const MenuPage& page) { return page.id == pageId; });
  return found == pages.end() ? nullptr : &*found;
}

void CommandLineMenuUI::putChar(char c, bool flush) {
  std::fputc(static_cast<unsigned char>(c), output);
  if (flush) std::fflush(output);
}

void CommandLineMenuUI::putText(std::string_view text, bool flush) {
  std::fwrite(text.data(), 1, text.size(), output);
  if (flush) std::fflush(output);
}

void CommandLineMenuUI::printFormatted(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(output, format, arguments);
  va_end(arguments);
  std::fflush(output);
}

void CommandLineMenuUI::drawPage(const MenuPage& page) {
  if (!beforeDrawPage(page)) return;
  putChar('\n', true);
  if (page.title != nullptr) {
    const std::string_view title = page.title;
    std::string dashLine(std::min(title.size() + 2, kMaxDashLine), '-');
    dashLine += '\n';
    putText(dashLine, false);
    putChar(' ', false);
    putText(title, false);
    putText(" \n", false);
    putText(dashLine, false);
    putChar('\n', true);
  }
  if (!beforeDrawItems(page)) return;
  for (const MenuItem& item : page.items) {
    if (item.isSeparator()) {
      putChar('\n', true);
    } else if (drawItem(page, item)) {
      drawItemLabel(item.key, item.label);
      putChar('\n', true);
    }
  }
  putChar('\n', true);
}

void CommandLineMenuUI::drawItemLabel(const char* /*key*/, const char* label) {
  putText("  ", false);
  if (label != nullptr) putText(label, false);
}

void CommandLineMenuUI::readLine(char* buffer, std::size_t size) {
  if (size == 0) return;
  buffer[0] = '\0';
  if (std::fgets(buffer, static_cast<int>(std::min<std::size_t>(size, 0x7fffffff)), input) ==
      nullptr) {
    buffer[0] = '\0';
    if (std::ferror(input)) throw Exception::InputError;
    if (std::feof(input)) throw Exception::EndOfInput;
    return;
  }
  std::size_t length = std::strlen(buffer);
  if (length > 0 && buffer[length - 1] == '\n') {
    buffer[--length] = '\0';
    // A line typed on a console that ends lines with CR LF ends the same way.
    if (length > 0 && buffer[length - 1] == '\r') buffer[--length] = '\0';
  }
}

void CommandLineMenuUI::preparePrompt(const MenuPage& /*page*/, const MenuItem& /*item*/,
                                      std::string& /*prompt*/) {}

bool CommandLineMenuUI::confirmExit(const MenuPage& /*page*/, const MenuItem* /*item*/,
                                    std::int32_t code,
                                    std::optional<std::string_view> /*answer*/) {
  if (code != 0) return true;
  return askQuitQuestion();
}

bool CommandLineMenuUI::beforeDrawPage(const MenuPage& /*page*/) { return true; }

bool CommandLineMenuUI::drawItem(const MenuPage& /*page*/, const MenuItem& /*item*/) {
  return true;
}

bool CommandLineMenuUI::beforeDrawItems(const MenuPage& /*page*/) { return true; }

bool CommandLineMenuUI::runCommand(const MenuPage& /*page*/, const MenuItem* /*item*/,
                                   std::int32_t& /*argument*/,
                                   std::optional<std::string_view> /*answer*/,
                                   MenuAction& /*action*/, bool& /*repeat*/) {
  return true;
}

bool CommandLineMenuUI::askQuitQuestion() {
  putText(kQuitQuestion, true);
  std::string answer = readAnswer();
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes";
}

std::string CommandLineMenuUI::readAnswer() {
  std::array<char, kMenuLineBufferSize> buffer{};
  readLine(buffer.data(), buffer.size());
  return std::string(buffer.data());
}

}  // namespace vantrel
