#include "CommandLineMenuUI.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ScriptedConsole.h"

namespace vantrel {
namespace {

// Command arguments understood by the recording test menus.
constexpr std::int32_t kRecord = 7;       // records the answer, accepts it
constexpr std::int32_t kRefuse = 8;       // records, returns false
constexpr std::int32_t kRetryBad = 9;     // "bad" asks again, others accepted
constexpr std::int32_t kStopOnStop = 10;  // "stop" turns into Exit 3

constexpr std::array<MenuItem, 5> kMainItems = {
    MenuItem{"a", "(A)lpha page", nullptr, MenuAction::OpenPage, 2},
    MenuItem{},  // separator
    MenuItem{"c", "(C)ommand", "Value?", MenuAction::Command, kRecord},
    MenuItem{"q", "(Q)uit", nullptr, MenuAction::Exit, 0},
    MenuItem{"x", "E(x)it five", nullptr, MenuAction::Exit, 5},
};
constexpr std::array<MenuItem, 7> kSubItems = {
    MenuItem{"b", "(B)ack", nullptr, MenuAction::Back, 0},
    MenuItem{"j", "(J)ump", nullptr, MenuAction::JumpToPage, 4},
    MenuItem{"m", "(M)issing page", nullptr, MenuAction::OpenPage, 99},
    MenuItem{"r", "(R)efused", "Refused?", MenuAction::Command, kRefuse},
    MenuItem{"t", "(T)ry again", "Try?", MenuAction::Command, kRetryBad},
    MenuItem{"z", nullptr, nullptr, MenuAction::Exit, 6},  // no label: a separator
    MenuItem{"x", "E(x)it five", nullptr, MenuAction::Exit, 5},
};
constexpr std::array<MenuItem, 2> kSequenceItems = {
    MenuItem{"1", "First", "First?", MenuAction::Command, kRecord},
    MenuItem{"2", "Second", "Second?", MenuAction::Command, kStopOnStop},
};
constexpr std::array<MenuItem, 2> kJumpSequenceItems = {
    MenuItem{"1", "First", "First?", MenuAction::Command, kRecord},
    MenuItem{"m", "Main", nullptr, MenuAction::JumpToPage, 1},
};
constexpr std::array<MenuItem, 2> kDuplicateKeyItems = {
    MenuItem{"d", "First d", nullptr, MenuAction::Exit, 11},
    MenuItem{"d", "Second d", nullptr, MenuAction::Exit, 12},
};
constexpr std::array<MenuPage, 6> kPages = {
    MenuPage{1, "Main Menu", MenuPageFlag::None, kMainItems},
    MenuPage{2, "Sub", MenuPageFlag::None, kSubItems},
    MenuPage{3, nullptr, MenuPageFlag::RunInSequence, kSequenceItems},
    MenuPage{4, "Other", MenuPageFlag::None, kMainItems},
    MenuPage{5, nullptr, MenuPageFlag::RunInSequence, kJumpSequenceItems},
    MenuPage{6, "Dup", MenuPageFlag::None, kDuplicateKeyItems},
};

const std::string kMainDrawn =
    "\n-----------\n Main Menu \n-----------\n\n"
    "  (A)lpha page\n\n  (C)ommand\n  (Q)uit\n  E(x)it five\n\n";
const std::string kSubDrawn =
    "\n-----\n Sub \n-----\n\n"
    "  (B)ack\n  (J)ump\n  (M)issing page\n  (R)efused\n  (T)ry again\n\n  E(x)it five\n\n";
const std::string kTopPrompt = "Menu choice (\"!\" to redraw)? ";
const std::string kSubPrompt = "Menu choice (\"-\" to go up, \"!\" to redraw)? ";
const std::string kQuit = "Are you sure you wish to quit? [n] ";

// Records every command it runs as "argument:answer".
class RecordingMenuUI : public CommandLineMenuUI {
 public:
  using CommandLineMenuUI::CommandLineMenuUI;

  bool runCommand(const MenuPage&, const MenuItem*, std::int32_t& argument,
                  std::optional<std::string_view> answer, MenuAction& action,
                  bool& repeat) override {
    const std::string text(answer.value_or("<none>"));
    calls.push_back(std::to_string(argument) + ":" + text);
    if (argument == kRefuse) return false;
    if (argument == kRetryBad && text == "bad") {
      action = MenuAction::AskAgain;
      repeat = true;
    }
    if (argument == kStopOnStop && text == "stop") {
      action = MenuAction::Exit;
      argument = 3;
      repeat = true;
    }
    return true;
  }

  std::vector<std::string> calls;
};

class CommandLineMenuUITest : public ::testing::Test {
 protected:
  // Runs the test menus from a page over a script; returns run's result.
  int runScript(const std::string& script, std::int32_t startPage = 1) {
    console = std::make_unique<ScriptedConsole>(script);
    menus = std::make_unique<RecordingMenuUI>(kPages, console->input, console->output);
    return menus->run(startPage);
  }
  std::string output() { return console->text(); }

  std::unique_ptr<ScriptedConsole> console;
  std::unique_ptr<RecordingMenuUI> menus;
};

TEST_F(CommandLineMenuUITest, DrawsFramedTitleItemLinesAndTopLevelPrompt) {
  EXPECT_EQ(runScript("x\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, DashLineIsTitlePlusTwoCappedAtEighty) {
  const std::string title80(80, 'T');
  const std::string title100(100, 'U');
  constexpr std::array<MenuItem, 1> items = {MenuItem{"x", "X", nullptr, MenuAction::Exit, 1}};
  const std::array<MenuPage, 2> pages = {MenuPage{1, title80.c_str(), MenuPageFlag::None, items},
                                         MenuPage{2, title100.c_str(), MenuPageFlag::None, items}};
  for (const MenuPage& page : pages) {
    ScriptedConsole scripted("x\n");
    CommandLineMenuUI plain(pages, scripted.input, scripted.output);
    EXPECT_EQ(plain.run(page.id), 1);
    const std::string dashes(80, '-');
    EXPECT_EQ(scripted.text(), "\n" + dashes + "\n " + page.title + " \n" + dashes + "\n\n  X\n\n" +
                                  kTopPrompt);
  }
}

TEST_F(CommandLineMenuUITest, GoUpOnFirstPageAsksAgainWithoutMessage) {
  EXPECT_EQ(runScript("-\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, SubPageOffersGoUpAndDashReturnsToParent) {
  EXPECT_EQ(runScript("a\n-\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, BackItemPopsThePageStack) {
  EXPECT_EQ(runScript("a\nb\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, BangRedrawsTheCurrentPage) {
  EXPECT_EQ(runScript("!\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, EmptyLineAfterUnrecognisedChoiceOnlyRepeatsThePrompt) {
  EXPECT_EQ(runScript("zz\n\n\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kTopPrompt + kTopPrompt + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, EmptyLineAsFirstAnswerRedrawsThePage) {
  EXPECT_EQ(runScript("\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, ChoicesMatchExactlyAndCaseSensitively) {
  EXPECT_EQ(runScript("x \nX\n x\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kTopPrompt + kTopPrompt + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, SeparatorWithAKeyButNoLabelCannotBeChosen) {
  // The sub page's label-less item would exit with 6 if it could be chosen.
  EXPECT_EQ(runScript("a\nz\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + kSubPrompt);
}

TEST_F(CommandLineMenuUITest, LaterItemWinsForADuplicatedKey) {
  EXPECT_EQ(runScript("d\n", 6), 12);
}

TEST_F(CommandLineMenuUITest, EndOfInputAtTheChoicePromptThrows) {
  try {
    runScript("a\n");
    FAIL() << "run returned";
  } catch (CommandLineMenuUI::Exception e) {
    EXPECT_EQ(e, CommandLineMenuUI::Exception::EndOfInput);
  }
}

TEST_F(CommandLineMenuUITest, EndOfInputAtAnItemPromptThrows) {
  EXPECT_THROW(runScript("c\n"), CommandLineMenuUI::Exception);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + "Value? ");
}

TEST_F(CommandLineMenuUITest, ReadErrorThrowsInputError) {
  std::FILE* writeOnly = std::fopen("/dev/null", "w");
  ASSERT_NE(writeOnly, nullptr);
  ScriptedConsole scripted("");
  CommandLineMenuUI plain(kPages, writeOnly, scripted.output);
  try {
    plain.run(1);
    FAIL() << "run returned";
  } catch (CommandLineMenuUI::Exception e) {
    EXPECT_EQ(e, CommandLineMenuUI::Exception::InputError);
  }
  std::fclose(writeOnly);
}

TEST_F(CommandLineMenuUITest, QuitQuestionAcceptsYesInAnyCase) {
  for (const char* answer : {"y", "Y", "yes", "YES", "yEs"}) {
    EXPECT_EQ(runScript(std::string("q\n") + answer + "\n"), 0) << answer;
    EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kQuit);
  }
}

TEST_F(CommandLineMenuUITest, QuitQuestionRefusesOtherAnswersAndAsksForAChoiceAgain) {
  for (const char* answer : {"n", "", "yes ", "yeah"}) {
    EXPECT_EQ(runScript(std::string("q\n") + answer + "\nx\n"), 5) << answer;
    EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kQuit + kTopPrompt);
  }
}

TEST_F(CommandLineMenuUITest, ItemPromptIsFollowedByABlankAndItsAnswerReachesTheCommand) {
  EXPECT_EQ(runScript("c\n42\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + "Value? " + kMainDrawn + kTopPrompt);
  EXPECT_EQ(menus->calls, (std::vector<std::string>{"7:42"}));
}

TEST_F(CommandLineMenuUITest, CommandTurnedIntoAskAgainRepeatsTheItemPrompt) {
  EXPECT_EQ(runScript("a\nt\nbad\nbad\ngood\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + "Try? Try? Try? " +
                          kSubDrawn + kSubPrompt);
  EXPECT_EQ(menus->calls, (std::vector<std::string>{"9:bad", "9:bad", "9:good"}));
}

TEST_F(CommandLineMenuUITest, RefusedCommandReturnsToThePromptWithoutRedrawing) {
  EXPECT_EQ(runScript("a\nr\nno\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + "Refused? " + kSubPrompt);
}

TEST_F(CommandLineMenuUITest, OpeningAMissingPageAsksAgain) {
  EXPECT_EQ(runScript("a\nm\nx\n"), 5);
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + kSubPrompt);
}

TEST_F(CommandLineMenuUITest, JumpKeepsThePageStack) {
  // From Sub (stack: Main) jump to Other: the stack still holds Main, so "-"
  // is offered and leads back to Main.
  EXPECT_EQ(runScript("a\nj\n-\nx\n"), 5);
  const std::string otherDrawn =
      "\n-------\n Other \n-------\n\n"
      "  (A)lpha page\n\n  (C)ommand\n  (Q)uit\n  E(x)it five\n\n";
  EXPECT_EQ(output(), kMainDrawn + kTopPrompt + kSubDrawn + kSubPrompt + otherDrawn + kSubPrompt +
                          kMainDrawn + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, SequencePageRunsItsItemsAgainUntilOneLeaves) {
  EXPECT_EQ(runScript("1\n2\none\nstop\n", 3), 3);
  EXPECT_EQ(output(), "First? Second? First? Second? ");
  EXPECT_EQ(menus->calls, (std::vector<std::string>{"7:1", "10:2", "7:one", "10:stop"}));
}

TEST_F(CommandLineMenuUITest, SequencePageLeftByJumpIsNotRemembered) {
  EXPECT_EQ(runScript("v\n-\nx\n", 5), 5);
  EXPECT_EQ(output(), "First? " + kMainDrawn + kTopPrompt + kTopPrompt);
}

TEST_F(CommandLineMenuUITest, UnknownStartPageReturnsAtOnce) {
  EXPECT_EQ(runScript("x\n", 42), -1);
  EXPECT_EQ(output(), "");
}

TEST_F(CommandLineMenuUITest, ReadLineDeliversALongLineInPiecesAndStripsTheLineEnd) {
  ScriptedConsole scripted(std::string(2000, 'a') + "\nshort\r\n");
  CommandLineMenuUI plain(kPages, scripted.input, scripted.output);
  std::array<char, kMenuLineBufferSize> buffer{};
  plain.readLine(buffer.data(), buffer.size());
  EXPECT_EQ(std::string(buffer.data()), std::string(1023, 'a'));
  plain.readLine(buffer.data(), buffer.size());
  EXPECT_EQ(std::string(buffer.data()), std::string(977, 'a'));
  plain.readLine(buffer.data(), buffer.size());
  EXPECT_EQ(std::string(buffer.data()), "short");
  EXPECT_THROW(plain.readLine(buffer.data(), buffer.size()), CommandLineMenuUI::Exception);
}

TEST_F(CommandLineMenuUITest, FindItemReportsGoUpRedrawAndUnknown) {
  ScriptedConsole scripted("");
  CommandLineMenuUI plain(kPages, scripted.input, scripted.output);
  EXPECT_EQ(plain.findItem(kPages[0], "-"), CommandLineMenuUI::kGoUp);
  EXPECT_EQ(plain.findItem(kPages[0], "!"), CommandLineMenuUI::kRedraw);
  EXPECT_EQ(plain.findItem(kPages[0], ""), CommandLineMenuUI::kNoItem);
  EXPECT_EQ(plain.findItem(kPages[0], "--"), CommandLineMenuUI::kNoItem);
  EXPECT_EQ(plain.findItem(kPages[0], "c"), 2);
  EXPECT_EQ(plain.findPage(4), &kPages[3]);
  EXPECT_EQ(plain.findPage(0), nullptr);
}

}  // namespace
}  // namespace vantrel
