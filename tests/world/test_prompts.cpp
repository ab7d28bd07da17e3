// The screen sections of the logic pass: start-up countdown, menus, options,
// keyboard notice, controller set-up prompts and the end of a game.
#include "input/keyboard.h"
#include "screens/game.h"
#include "screens/highscore.h"
#include "screens/menu.h"
#include "support/screens_support.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/logic.h"
#include "world/prompts.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

class PromptsTest : public ScreensTest {};

bool SameColor(SDL_Color c, Uint8 red, Uint8 green, Uint8 blue)
{
    return c.r == red && c.g == green && c.b == blue && c.a == 0;
}

// Boxes 1..n black except the highlighted one, which is red.
void ExpectHighlight(int boxes, int highlighted)
{
    for (int i = 1; i <= boxes; ++i) {
        if (i == highlighted) {
            EXPECT_TRUE(SameColor(Boxes[i].Color, 255, 0, 0)) << "box " << i;
        } else {
            EXPECT_TRUE(SameColor(Boxes[i].Color, 0, 0, 0)) << "box " << i;
        }
    }
}

bool FileHasPair(const std::vector<std::string>& lines, const std::string& key,
                 const std::string& value)
{
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] == key && lines[i + 1] == value) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(PromptsTest, StartUpCountdownShowsWarningTitleThenMainMenu)
{
    IniMenu(false);
    ASSERT_EQ(Mode, 2);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(BoxOf(1).Text,
              "EPILEPSY WARNING! This game contains rapidly changing colors and flashes, thus it "
              "might be dangerous to people with photosensitive epilepsy, even if they did not "
              "experience problems in the past. If you experience problems such as dizziness, "
              "disorientation, muscle- or eye-twitching, or any other symptoms while playing, stop "
              "playing the game immediately. Use the left stick and the left shoulder button to "
              "navigate the main menu.");
    EXPECT_EQ(Boxes[2].Wrap, 1800);
    EXPECT_EQ(Stack.Slots[1].X, 100);
    EXPECT_EQ(Stack.Slots[1].Y, 100);

    Passes(999);
    EXPECT_EQ(FreshStart, 3001);
    EXPECT_EQ(Stack.Count, 1);
    Passes(1);
    EXPECT_EQ(FreshStart, 3000);
    ASSERT_EQ(Stack.Count, 2);
    EXPECT_EQ(BoxOf(1).Text, "Vorlune");
    EXPECT_EQ(BoxOf(1).Font, 3);
    EXPECT_EQ(Stack.Slots[1].X, 400);
    EXPECT_EQ(BoxOf(2).Font, 2);
    EXPECT_TRUE(SameColor(BoxOf(2).Color, 0, 0, 255));
    EXPECT_EQ(Stack.Slots[2].Y, 800);
    const std::string credits = BoxOf(2).Text;
    EXPECT_GT(credits.size(), 300u);
    EXPECT_LT(credits.size(), 420u);
    for (const char* part : {"Vorlune", "the Vorlune team", "2026", "Yanone Kaffeesatz", "zlib",
                             "SDL2_mixer", "GCC Runtime Library Exception", "\"licenses\""}) {
        EXPECT_NE(credits.find(part), std::string::npos) << part;
    }
    for (char c : credits) {
        EXPECT_TRUE(c >= 32 && c < 127) << "byte " << static_cast<int>(c);
    }

    Passes(2999);
    EXPECT_EQ(FreshStart, 1);
    EXPECT_EQ(BoxOf(1).Text, "Vorlune");
    Passes(1);
    EXPECT_EQ(FreshStart, 0);
    ASSERT_EQ(Stack.Count, 3);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");
    EXPECT_EQ(BoxOf(2).Text, "Options");
    EXPECT_EQ(BoxOf(3).Text, "Exit");
    EXPECT_EQ(Boxes[2].Font, 1);
    EXPECT_EQ(Boxes[3].Font, 1);
    EXPECT_EQ(MenuMode, 1);
    ExpectHighlight(4, 2);
}

TEST_F(PromptsTest, InputDuringStartUpCutsItShortWithoutStartingAGame)
{
    Keyboard = true;
    IniMenu(false);
    Passes(600);
    ASSERT_EQ(FreshStart, 3400);
    // Left Shift held on the warning screen raises a select request; its
    // release (the event handler) cuts the countdown to 1.
    KeyboardHeld[5] = true;
    Passes(1);
    EXPECT_TRUE(MenuS);
    KeyboardHeld[5] = false;
    FreshStart = 1;
    Passes(1);
    EXPECT_EQ(FreshStart, 0);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");
    Passes(3);
    EXPECT_EQ(Mode, 2) << "the skip must not start a game";
    EXPECT_TRUE(running);
}

TEST_F(PromptsTest, MainMenuHighlightWrapsAndActs)
{
    Keyboard = true;
    OpenMainMenu();
    Passes(1);
    ExpectHighlight(4, 2);
    TapKey(1); // W on "Start Game"
    EXPECT_EQ(Menu, 3);
    ExpectHighlight(4, 4);
    TapKey(2); // S on "Exit"
    EXPECT_EQ(Menu, 1);
    ExpectHighlight(4, 2);
    TapKey(2);
    EXPECT_EQ(Menu, 2);
    ExpectHighlight(4, 3);

    // "Options" opens with "Difficulty" highlighted, labelled in the same pass.
    KeyboardHeld[5] = true;
    Passes(1);
    EXPECT_EQ(MenuMode, 2);
    EXPECT_EQ(Menu, 1);
    ASSERT_EQ(Stack.Count, 6);
    ExpectHighlight(7, 2);
    EXPECT_EQ(Boxes[2].Text, "Difficulty 2");
    EXPECT_EQ(Boxes[7].Text, "Back");
    EXPECT_EQ(Stack.Slots[6].Y, 800);
    // Holding the key does not select again.
    Passes(3);
    EXPECT_EQ(Difficulty, 2);
    KeyboardHeld[5] = false;
    Passes(1);

    TapKey(1); // W on "Difficulty"
    EXPECT_EQ(Menu, 6);
    ExpectHighlight(7, 7);
    TapKey(2); // S on "Back"
    EXPECT_EQ(Menu, 1);
    ExpectHighlight(7, 2);
    TapKey(1);
    EXPECT_EQ(Menu, 6);

    // A and D here move only the letter pointer: no list, no sequence step.
    KCodeCount = 3;
    TapKey(3);
    EXPECT_EQ(Zeiger, 53);
    TapKey(4);
    TapKey(4);
    EXPECT_EQ(Zeiger, 1);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 2);
    EXPECT_EQ(Menu, 6);
    EXPECT_EQ(Table, 0);
    EXPECT_EQ(KCodeCount, 3);
    ExpectHighlight(7, 7);

    // Back: the main menu, with "Start Game" highlighted again.
    sdltest::TempWorkDir dir;
    TapKey(5);
    EXPECT_EQ(MenuMode, 1);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Menu, 1);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");
    ExpectHighlight(4, 2);

    // Start Game, then back to the menus: "Start Game" is highlighted.
    Tutorial = false;
    TapKey(5);
    EXPECT_EQ(Mode, 1);
    IniMenu(false);
    Passes(1);
    EXPECT_EQ(Menu, 1);
    ExpectHighlight(4, 2);

    // Exit ends the program.
    Menu = 3;
    TapKey(5);
    EXPECT_FALSE(running);
}

TEST_F(PromptsTest, IniMenuIsIgnoredDuringSetUpAndResetsTheGameOtherwise)
{
    Mode = 3;
    Score = 77;
    Stack.Create(Object());
    interface.Create(Object());
    IniMenu(false);
    EXPECT_EQ(Mode, 3);
    EXPECT_EQ(Score, 77);
    EXPECT_EQ(Stack.Count, 1);
    EXPECT_EQ(interface.Count, 1);

    ScreensMixer mixer;
    ASSERT_TRUE(mixer.Ok());
    Mode = 1;
    FreshStart = 0;
    Table = 2;
    High = 5;
    Divi = 2;
    Counter = 3;
    EndGame = true;
    CreateScoreShow = true;
    Sound1 = Sound2 = true;
    g = b = 100;
    Pause = 400;
    Mix_PlayChannelTimed(1, Sounds[1], -1, -1);
    Mix_PlayChannelTimed(3, Sounds[2], -1, -1);
    IniMenu(false);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Score, 0);
    EXPECT_EQ(Table, 0);
    EXPECT_EQ(High, 0.0f);
    EXPECT_EQ(Divi, 3.0f);
    EXPECT_EQ(Counter, 0);
    EXPECT_FALSE(EndGame);
    EXPECT_FALSE(CreateScoreShow);
    EXPECT_FALSE(Sound1 || Sound2);
    EXPECT_EQ(interface.Count, 0);
    EXPECT_EQ(Mix_Playing(1), 0);
    EXPECT_EQ(Mix_Playing(3), 0);
    // The colour fades back one step per pass; the pause keeps counting.
    EXPECT_EQ(g, 100);
    EXPECT_EQ(Pause, 400);
    Passes(5);
    EXPECT_EQ(g, 105);
    EXPECT_EQ(b, 105);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(Pause, 395);
}

TEST_F(PromptsTest, OptionLabelsFollowEveryAction)
{
    ScreensMixer mixer;
    ASSERT_TRUE(mixer.Ok());
    OpenMainMenu();
    IniMenu(true);
    Passes(1);
    EXPECT_EQ(Boxes[2].Text, "Difficulty 2");
    EXPECT_EQ(Boxes[3].Text, "Fullscreen  On");
    EXPECT_EQ(Boxes[4].Text, "Tutorial  On");
    EXPECT_EQ(Boxes[5].Text, "Sounds 10");
    EXPECT_EQ(Boxes[6].Text, "Music 10");

    auto select = [](int entry) {
        Menu = entry;
        MenuS = true;
        Passes(1);
        EXPECT_FALSE(MenuS);
    };
    select(1);
    EXPECT_EQ(Boxes[2].Text, "Difficulty 3");
    select(1);
    EXPECT_EQ(Difficulty, 1);
    EXPECT_EQ(Boxes[2].Text, "Difficulty 1");
    select(2);
    EXPECT_FALSE(FullScreen);
    EXPECT_EQ(Boxes[3].Text, "Fullscreen  Off");
    select(3);
    EXPECT_FALSE(Tutorial);
    EXPECT_EQ(Boxes[4].Text, "Tutorial  Off");

    select(4); // 120 -> 0
    EXPECT_EQ(FXVolume, 0);
    EXPECT_EQ(Boxes[5].Text, "Sounds 0");
    for (int ch = 1; ch <= 3; ++ch) {
        EXPECT_EQ(Mix_Volume(ch, -1), 0) << "channel " << ch;
    }
    FXVolume = 50;
    select(4);
    EXPECT_EQ(Boxes[5].Text, "Sounds 5");
    for (int ch = 1; ch <= 3; ++ch) {
        EXPECT_EQ(Mix_Volume(ch, -1), 60) << "channel " << ch;
    }

    select(5); // 120 -> 0
    EXPECT_EQ(MuVolume, 0);
    EXPECT_EQ(Boxes[6].Text, "Music 0");
    EXPECT_EQ(Mix_VolumeMusic(-1), 0);
    select(5);
    EXPECT_EQ(Boxes[6].Text, "Music 0"); // 10 shows as 0
    EXPECT_EQ(Mix_VolumeMusic(-1), 10);
    MuVolume = 50;
    select(5);
    EXPECT_EQ(Boxes[6].Text, "Music 5");
    EXPECT_EQ(Mix_VolumeMusic(-1), 60);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 2);
}

TEST_F(PromptsTest, BackWritesTheSettingsAndReturns)
{
    sdltest::TempWorkDir dir;
    OpenMainMenu();
    IniMenu(true);
    Passes(1);
    Menu = 1;
    MenuS = true;
    Passes(1);
    EXPECT_TRUE(ReadLines("Settings.txt").empty()) << "nothing is written before Back";
    Menu = 6;
    MenuS = true;
    Passes(1);
    EXPECT_EQ(MenuMode, 1);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");
    const std::vector<std::string> lines = ReadLines("Settings.txt");
    EXPECT_TRUE(FileHasPair(lines, "Difficulty", "3"));
    EXPECT_TRUE(FileHasPair(lines, "MuVolume", "120"));
}

TEST_F(PromptsTest, KeyboardNoticeShowsThenGivesWayByItself)
{
    sdltest::TempWorkDir dir;
    Mode = 3;
    Keyboard = true;
    Passes(1);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(BoxOf(1).Text, "No Gamepad detected! If possible, connect a Gamepad and restart. "
                             "Using WASD+LSHIFT and UP/LEFT/DOWN/RIGHT+RCTRL as fallback mode.");
    EXPECT_EQ(Boxes[1].Wrap, 1000);
    EXPECT_TRUE(SameColor(Boxes[1].Color, 0, 0, 0));
    EXPECT_EQ(Stack.Slots[1].X, 450);
    EXPECT_EQ(Stack.Slots[1].Y, 100);
    EXPECT_EQ(Stack.Slots[1].Layer, 5);
    EXPECT_FALSE(GoDef);
    EXPECT_EQ(Locker, 1000);

    Passes(999);
    EXPECT_EQ(Mode, 3);
    EXPECT_EQ(Locker, 1);
    EXPECT_TRUE(ReadLines("Settings.txt").empty());
    Passes(1);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(BoxOf(1).Text.rfind("EPILEPSY WARNING!", 0), 0u);
    EXPECT_TRUE(FileHasPair(ReadLines("Settings.txt"), "Difficulty", "2"));
}

TEST_F(PromptsTest, KeyboardNoticeCutShortEndsOnTheNextTick)
{
    sdltest::TempWorkDir dir;
    Mode = 3;
    Keyboard = true;
    Passes(10);
    Locker = 1; // what a key release does
    Passes(1);
    EXPECT_EQ(Mode, 2);
}

TEST_F(PromptsTest, ControllerSetUpPromptsFollowTheSteps)
{
    sdltest::TempWorkDir dir;
    Mode = 3;
    Passes(1);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Boxes[1].Text, "Need to configure Gamepad! Press Left Axis Up");
    EXPECT_EQ(Stack.Slots[1].X, 100);
    EXPECT_EQ(Stack.Slots[1].Y, 490);
    EXPECT_EQ(Stack.Slots[1].Layer, 5);
    EXPECT_FALSE(GoDef);
    // A prompt stays until it is answered.
    Passes(50);
    EXPECT_EQ(Boxes[1].Text, "Need to configure Gamepad! Press Left Axis Up");

    const char* prompts[] = {"Press Left Axis Left",        "Press Right Axis Up",
                             "Press Right Axis Left",       "Press Left Shoulder Button",
                             "Press Right Shoulder Button", "Press Start Button"};
    for (int step = 2; step <= 7; ++step) {
        // The event handler's answer.
        DefPad = step;
        GoDef = true;
        Locker = 30;
        Passes(1);
        EXPECT_EQ(Boxes[1].Text, prompts[step - 2]);
        EXPECT_TRUE(SameColor(Boxes[1].Color, 0, 0, 0));
        EXPECT_EQ(Stack.Count, 1) << "later prompts reuse the first carrier";
        EXPECT_EQ(Locker, 29);
        Passes(30);
        EXPECT_EQ(Locker, 0);
    }
    EXPECT_TRUE(ReadLines("Settings.txt").empty());
    DefPad = 8;
    GoDef = true;
    Passes(1);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(BoxOf(1).Text.rfind("EPILEPSY WARNING!", 0), 0u);
    EXPECT_TRUE(FileHasPair(ReadLines("Settings.txt"), "Difficulty", "2"));
}

namespace {

// Runs the end of the game on a thread of its own, as the logic thread
// would, so the banner can be looked at during the hold.
class EndOfGame {
  public:
    EndOfGame()
        : thread_([this] {
              std::unique_lock<std::mutex> lock(StateMutex);
              EndOfGameSequence(lock);
              done_ = true;
          })
    {
    }
    ~EndOfGame() { Join(); }
    void Join()
    {
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    bool Done() const { return done_; }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Waits until the banner is up (the hold has begun) and returns with the
// lock held.
std::unique_lock<std::mutex> WaitForBanner()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(StateMutex);
        if (CreateScoreShow) {
            return lock;
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SetUpEndedGame(int score)
{
    FreshStart = 0;
    Mode = 1;
    EndGame = true;
    Score = score;
}

} // namespace

// The banner hold as the program starts with it, before any test shortens it.
const int ShippedEndGameHoldMs = EndGameHoldMs;

TEST_F(PromptsTest, EndOfGameWithAPlaceShowsHighscoreAndOpensNameEntry)
{
    EXPECT_EQ(ShippedEndGameHoldMs, 5000);
    sdltest::TempWorkDir dir;
    SetUpEndedGame(1234);
    EndGameHoldMs = 400;
    {
        EndOfGame end;
        {
            std::unique_lock<std::mutex> lock = WaitForBanner();
            ASSERT_EQ(Stack.Count, 2);
            EXPECT_EQ(BoxOf(1).Text, "You made 1234 on Level 2");
            EXPECT_TRUE(SameColor(Boxes[1].Color, 255, 255, 255));
            const Object& banner = Stack.Slots[1];
            EXPECT_EQ(banner.X, 550);
            EXPECT_EQ(banner.Y, 490);
            EXPECT_EQ(banner.Box, 1);
            EXPECT_EQ(banner.LifeTimer, 500);
            EXPECT_EQ(banner.Layer, 5);
            EXPECT_EQ(BoxOf(2).Text, "Highscore!");
            EXPECT_EQ(Stack.Slots[2].X, 700);
            EXPECT_EQ(Stack.Slots[2].Y, 750);
            EXPECT_EQ(Stack.Slots[2].LifeTimer, 500);
            EXPECT_EQ(ScoreTable[2][1], 1234);
            EXPECT_EQ(Mode, 1);
            EXPECT_FALSE(end.Done()) << "the banner holds";
        }
        end.Join();
    }
    EXPECT_EQ(Mode, 5);
    EXPECT_EQ(Placed, 1);
    EXPECT_TRUE(ReadLines("Settings.txt").empty()) << "no tutorial shown, nothing to save";
}

TEST_F(PromptsTest, EndOfGameWithoutAPlaceShowsOnlyTheBannerInBlueMode)
{
    for (int i = 1; i <= 10; ++i) {
        ScoreTableB[2][i] = 5000;
    }
    KCodeOn = true;
    SetUpEndedGame(5000);
    EndGameHoldMs = 200;
    {
        EndOfGame end;
        {
            std::unique_lock<std::mutex> lock = WaitForBanner();
            ASSERT_EQ(Stack.Count, 1);
            EXPECT_EQ(BoxOf(1).Text, "You made 5000 on Level 2 in Blue Mode");
            EXPECT_EQ(Stack.Slots[1].X, 350);
        }
        end.Join();
    }
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 1);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");
    EXPECT_EQ(Score, 0);
}

TEST_F(PromptsTest, EndOfGameSavesSettingsAfterTheLastTutorialStep)
{
    sdltest::TempWorkDir dir;
    SetUpEndedGame(0);
    Tutorial = false;
    TutorialMade = true;
    std::unique_lock<std::mutex> lock(StateMutex);
    EndOfGameSequence(lock);
    EXPECT_TRUE(lock.owns_lock());
    EXPECT_TRUE(FileHasPair(ReadLines("Settings.txt"), "Tutorial", "0"));
    EXPECT_EQ(Mode, 2);
}

TEST_F(PromptsTest, EndOfGameHoldEndsWhenTheProgramStops)
{
    SetUpEndedGame(1234);
    EndGameHoldMs = 600000;
    const auto start = std::chrono::steady_clock::now();
    EndOfGame end;
    {
        std::unique_lock<std::mutex> lock = WaitForBanner();
        running = false;
    }
    end.Join();
    // Far below the hold; generous for a slow machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(Mode, 1) << "no name entry or menu once the program stops";
}

TEST_F(PromptsTest, EndOfGameFromTheGameTick)
{
    // The game tick runs the sequence once, guarded by CreateScoreShow.
    for (int i = 1; i <= 10; ++i) {
        ScoreTable[2][i] = 10;
    }
    SetUpEndedGame(5);
    Passes(1);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(ScoreTable[2][10], 10);
}

TEST_F(PromptsTest, KeysHeldIntoANewScreenActOnlyAfterTheirRelease)
{
    // Left Shift fires while the game is lost; still held when the menus come
    // back, it must not start the next game at once.
    for (int i = 1; i <= 10; ++i) {
        ScoreTable[2][i] = 10;
    }
    Keyboard = true;
    Tutorial = false;
    IniGame();
    KeyboardHeld[5] = true;
    Passes(2);
    ASSERT_TRUE(Players[1].KeyFlags[5]);
    SetUpEndedGame(5);
    Passes(1);
    ASSERT_EQ(Mode, 2);
    Passes(5);
    EXPECT_EQ(Mode, 2) << "a held fire key started a game";

    // Released and pressed again, it selects as usual.
    KeyboardHeld[5] = false;
    Passes(1);
    KeyboardHeld[5] = true;
    Passes(1);
    EXPECT_EQ(Mode, 1);

    // The same for A held in play (which latches no key) into the name
    // entry: no letter moves until it is released.
    ASSERT_EQ(Mode, 1);
    KeyboardHeld[5] = false;
    KeyboardHeld[3] = true;
    Passes(1);
    ASSERT_TRUE(Players[1].KeyFlags[3]);
    ASSERT_FALSE(Players[1].KeyLatch[3]);
    IniEnterHighScore(1);
    Passes(3);
    EXPECT_EQ(Zeiger, 0);
    KeyboardHeld[3] = false;
    Passes(1);
    KeyboardHeld[3] = true;
    Passes(1);
    EXPECT_EQ(Zeiger, 53);
}
