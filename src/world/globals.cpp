#include "world/globals.h"

std::mutex StateMutex;

// Class-type globals, defined in the order in which they are constructed.
std::string PadName;
std::string ABC = "ABCDEFGHIJKLMNOPQRSTUVWXYZ-abcdefghijklmnopqrstuvwxyz ";
std::string EnteredName;
TextBox Boxes[Boxnumber];
ObjectStack Stack;
ObjectStack interface;
Player Players[Padnumber];
Object Objectlist[Objectnumber];
std::string ScoreTableNames[4][12];
std::string ScoreTableNamesB[4][12];

bool running = true;
int32_t Mode = 1;
int32_t MenuMode = 1;
int32_t Menu = 1;
int32_t FreshStart = 4000;
int32_t Pause = 0;
int32_t Locker = 0;
int32_t Score = 0;
float High = 0.0f;
float Divi = 3.0f;
int32_t Counter = 0;
bool EndGame = false;
bool CreateScoreShow = false;
int32_t r = 255;
int32_t g = 255;
int32_t b = 255;
int32_t Difficulty = 2;
bool Tutorial = true;
bool TutorialMade = false;
bool TutShown[10] = {};
bool FullScreen = true;
int32_t Vsync = 1;
bool AA = true;
int32_t FXVolume = 120;
int32_t MuVolume = 120;
bool ReduceSpawnHoles = true;
bool KCodeOn = false;
int32_t KCodeCount = 0;
bool Keyboard = false;
int32_t PadMode = 1;
int32_t DefPad = 1;
bool GoDef = true;
int32_t LastAxis = -1;
bool LockAxis = false;
bool Slow1 = false;
bool Slow2 = false;
bool Slow3 = false;
bool Slow4 = false;
bool aButton = false;
bool bButton = false;
bool cButton = false;
bool MenuS = false;
bool MenuS1 = false;
bool MenuS2 = false;
bool Sound1 = false;
bool Sound2 = false;
float Adder = 0.0f;
float Adder2 = 0.0f;
int32_t Table = 0;
int32_t Placed = 0;
int32_t Zeiger = 0;
int32_t ScoreTable[4][12] = {};
int32_t ScoreTableB[4][12] = {};
SDL_Texture* Images[Spritenumber] = {};
int32_t texturesUsed = 0;
Mix_Chunk* Sounds[Soundnumber] = {};
Mix_Music* Music[Musicnumber] = {};
bool MusicIndexed = false;
int32_t MusicAvaible = 0;
SDL_Window* Window = nullptr;
SDL_Renderer* Renderer = nullptr;
SDL_Surface* ScreenSurface = nullptr;
TTF_Font* gFont[5] = {};
SDL_GameController* controller = nullptr;
SDL_Joystick* Pad1[Padnumber] = {};
SDL_Haptic* ControllerHaptic[Padnumber] = {};
bool DualShockHack = false;
bool DualShockHackSet = false;
SDL_Event event = {};
SDL_DisplayMode DMode = {};

void ResetGlobals()
{
    PadName.clear();
    ABC = "ABCDEFGHIJKLMNOPQRSTUVWXYZ-abcdefghijklmnopqrstuvwxyz ";
    EnteredName.clear();
    for (TextBox& box : Boxes) {
        box.Wrap = 9000;
        box.Text = "Textbox";
        box.Color = SDL_Color{255, 255, 255, 0};
        box.Font = 1;
    }
    Stack = ObjectStack();
    interface = ObjectStack();
    for (Player& p : Players) {
        p = Player();
    }
    for (Object& o : Objectlist) {
        o = Object();
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 12; ++j) {
            ScoreTableNames[i][j].clear();
            ScoreTableNamesB[i][j].clear();
            ScoreTable[i][j] = 0;
            ScoreTableB[i][j] = 0;
        }
    }
    running = true;
    Mode = 1;
    MenuMode = 1;
    Menu = 1;
    FreshStart = 4000;
    Pause = 0;
    Locker = 0;
    Score = 0;
    High = 0.0f;
    Divi = 3.0f;
    Counter = 0;
    EndGame = false;
    CreateScoreShow = false;
    r = g = b = 255;
    Difficulty = 2;
    Tutorial = true;
    TutorialMade = false;
    for (bool& shown : TutShown) {
        shown = false;
    }
    FullScreen = true;
    Vsync = 1;
    AA = true;
    FXVolume = 120;
    MuVolume = 120;
    ReduceSpawnHoles = true;
    KCodeOn = false;
    KCodeCount = 0;
    Keyboard = false;
    PadMode = 1;
    DefPad = 1;
    GoDef = true;
    LastAxis = -1;
    LockAxis = false;
    Slow1 = Slow2 = Slow3 = Slow4 = false;
    aButton = bButton = cButton = false;
    MenuS = MenuS1 = MenuS2 = false;
    Sound1 = Sound2 = false;
    Adder = Adder2 = 0.0f;
    Table = 0;
    Placed = 0;
    Zeiger = 0;
    MusicIndexed = false;
    MusicAvaible = 0;
    DualShockHack = false;
    DualShockHackSet = false;
}
