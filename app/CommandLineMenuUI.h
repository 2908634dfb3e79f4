#pragma once

// A small, table-driven framework for nested text menus on a console.
//
// An application describes its menus as constant tables of MenuPage and
// MenuItem rows; CommandLineMenuUI draws a page, reads the user's choice one
// line at a time, asks an item's prompt, moves between pages and ends when an
// approved Exit item asks it to. Applications change the behaviour by
// overriding the virtual operations below; the base class implements the
// plain framework.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// What choosing an item does; the item's argument is interpreted per action.
enum class MenuAction : std::int32_t {
  Exit = 1,        // argument: result of the menus, after confirmExit approves
  OpenPage = 2,    // argument: page id; the current page is pushed on the stack
  Back = 3,        // shows the page on top of the stack and pops it
  JumpToPage = 4,  // argument: page id; the stack is left alone
  AskAgain = 5,    // asks the same item's prompt again
  Command = 6,     // argument: application-defined; runs runCommand
};

// Bits of MenuPage::flags.
enum class MenuPageFlag : std::uint32_t {
  None = 0,
  // The page is not drawn and offers no choice; its items run one after
  // another, starting again with the first, until one of them leaves it.
  RunInSequence = 1u << 0,
};

// One row of a page's item table. An item without key, with an empty key or
// without label is a separator: drawn as an empty line, never chosen.
struct MenuItem {
  const char* key = nullptr;     // the exact text the user types to choose it
  const char* label = nullptr;   // the line shown for the item
  const char* prompt = nullptr;  // asked before the action runs, or nullptr
  MenuAction action = MenuAction::AskAgain;
  std::int32_t argument = 0;

  constexpr bool isSeparator() const {
    return key == nullptr || key[0] == '\0' || label == nullptr;
  }
};

// One row of the application's page table.
struct MenuPage {
  std::int32_t id = 0;
  const char* title = nullptr;  // nullptr for a page that is never drawn
  MenuPageFlag flags = MenuPageFlag::None;
  std::span<const MenuItem> items;  // in display order

  constexpr bool runsInSequence() const {
    return (static_cast<std::uint32_t>(flags) &
            static_cast<std::uint32_t>(MenuPageFlag::RunInSequence)) != 0;
  }
};

// Outcome of performAction.
enum class ActionOutcome : int {
  Done = 0,      // the action was carried out
  NotDone = 1,   // nothing happened (missing page, Back at the top, refusal)
  AskAgain = 2,  // the item's prompt is to be asked again
};

// Size of every line buffer handed to readLine; longer lines arrive in pieces.
inline constexpr std::size_t kMenuLineBufferSize = 1024;

class CommandLineMenuUI {
 public:
  // Thrown by value out of readLine, and so out of run, when console input
  // cannot be read any more.
  enum class Exception : std::int32_t {
    InputError = 1,  // reading the input stream failed with an error
    EndOfInput = 2,  // the input stream reached its end
  };

  // findItem results other than an item index.
  static constexpr int kNoItem = -1;   // not recognised
  static constexpr int kGoUp = -2;     // "-"
  static constexpr int kRedraw = -3;   // "!"

  // The page table is constant application data and must outlive the object.
  // Console input and output default to the process's standard streams;
  // tests hand in their own streams. The object never closes them.
  explicit CommandLineMenuUI(std::span<const MenuPage> pageTable,
                             std::FILE* inputStream = stdin,
                             std::FILE* outputStream = stdout);
  virtual ~CommandLineMenuUI() = default;

  CommandLineMenuUI(const CommandLineMenuUI&) = delete;
  CommandLineMenuUI& operator=(const CommandLineMenuUI&) = delete;

  // Runs the menus from the page with the given id until an Exit item is
  // approved, and returns that item's argument. Returns -1 at once when no
  // page has that id. Lets CommandLineMenuUI::Exception pass to the caller.
  int run(std::int32_t startPageId);

  // Virtual operations, in the framework's fixed slot order.

  // Prompts for a choice on a drawn page and dispatches it; returns when the
  // page is to be drawn again (after a successful choice or an empty line).
  virtual void chooseFromPage(const MenuPage& page);
  // Carries out an action on the current page. answer is the line typed at
  // the item's prompt, or none; item is nullptr for a "-" typed at the
  // choice prompt.
  virtual ActionOutcome performAction(MenuAction action, std::int32_t argument,
                                      std::optional<std::string_view> answer,
                                      const MenuItem* item);
  // Asks the item's prompt (if any) and performs its action, again while the
  // action asks for the prompt again. True when the action was done.
  virtual bool runItem(const MenuPage& page, std::size_t itemIndex);
  // An item index, or kNoItem, kGoUp or kRedraw. Keys match exactly and
  // case-sensitively; later items win over earlier ones with the same key;
  // separators are never found.
  virtual int findItem(const MenuPage& page, std::string_view text);
  // First page of the table with that id, or nullptr.
  virtual const MenuPage* findPage(std::int32_t pageId);
  // Write to the output stream, flushing when asked.
  virtual void putChar(char c, bool flush);
  virtual void putText(std::string_view text, bool flush);
  // printf-style output; always flushes.
  virtual void printFormatted(const char* format, ...)
      __attribute__((format(printf, 2, 3)));
  // Draws a page: an empty line, the framed title, the items, an empty line.
  virtual void drawPage(const MenuPage& page);
  // Writes two blanks and the label, without line end or flush.
  virtual void drawItemLabel(const char* key, const char* label);
  // Reads one line of at most size - 1 characters into buffer and removes one
  // line end ("\n" or "\r\n") from its end; the rest of a longer line is left
  // for the next call. Throws Exception::InputError when the stream reports
  // an error and Exception::EndOfInput at its end; otherwise, when nothing
  // could be read, the buffer becomes empty.
  virtual void readLine(char* buffer, std::size_t size);
  // Completes a copy of an item's prompt before it is written; the base
  // leaves it unchanged.
  virtual void preparePrompt(const MenuPage& page, const MenuItem& item,
                             std::string& prompt);
  // Approves or refuses an Exit. The base approves any code but 0 at once
  // and asks the quit question for code 0.
  virtual bool confirmExit(const MenuPage& page, const MenuItem* item,
                           std::int32_t code,
                           std::optional<std::string_view> answer);
  // False stops drawing the page; the base returns true.
  virtual bool beforeDrawPage(const MenuPage& page);
  // False when the override drew the item itself; the base returns true so
  // the item is drawn as two blanks and its label.
  virtual bool drawItem(const MenuPage& page, const MenuItem& item);
  // False skips the items; the base returns true.
  virtual bool beforeDrawItems(const MenuPage& page);
  // Runs a Command item. It may change the action and argument being
  // carried out and set repeat so performAction carries them out at once.
  // False means the command was not done; the base returns true.
  virtual bool runCommand(const MenuPage& page, const MenuItem* item,
                          std::int32_t& argument,
                          std::optional<std::string_view> answer,
                          MenuAction& action, bool& repeat);

 protected:
  // Writes "Are you sure you wish to quit? [n] ", reads a line and returns
  // true only for y or yes in any case.
  bool askQuitQuestion();

  // Reads one line into a string through readLine.
  std::string readAnswer();

  // Value returned by run; set by an approved Exit.
  std::int32_t result = 0;

 private:
  std::span<const MenuPage> pages;
  std::vector<const MenuPage*> pageStack;  // most recent last
  const MenuPage* currentPage = nullptr;
  bool done = false;
  bool pageChanged = false;

  std::FILE* input;
  std::FILE* output;
};

}  // namespace vantrel
