// The game's shared state. Every thread reads and writes these globals while
// holding StateMutex (see the note on locking below).
#pragma once

#include "render/textbox.h"
#include "world/object.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <cstdint>
#include <mutex>
#include <string>

constexpr int Objectnumber = 1000;
constexpr int Spritenumber = 100;
constexpr int Soundnumber = 150;
constexpr int Musicnumber = 20;
constexpr int Boxnumber = 50;
constexpr int Padnumber = 10;

// One lock guards every global below, the pools, the templates and the text
// boxes. The logic thread holds it for each pass (never across a sleep), the
// main thread per input event, for the pad poll and for its loop checks, and
// the graphics thread only while it copies its frame snapshot. Functions in
// the game code never lock: their callers do.
extern std::mutex StateMutex;

extern bool running;
extern int32_t Mode;
extern int32_t MenuMode;
extern int32_t Menu;
extern int32_t FreshStart;
extern int32_t Pause;
extern int32_t Locker;
extern int32_t Score;
extern float High;
extern float Divi;
extern int32_t Counter;
extern bool EndGame;
extern bool CreateScoreShow;
extern int32_t r;
extern int32_t g;
extern int32_t b;
extern int32_t Difficulty;
extern bool Tutorial;
extern bool TutorialMade;
extern bool TutShown[10];
extern bool FullScreen;
extern int32_t Vsync;
extern bool AA;
extern int32_t FXVolume;
extern int32_t MuVolume;
extern bool ReduceSpawnHoles;
extern bool KCodeOn;
extern int32_t KCodeCount;
extern bool Keyboard;
extern int32_t PadMode;
extern int32_t DefPad;
extern bool GoDef;
extern int32_t LastAxis;
extern bool LockAxis;
extern bool Slow1;
extern bool Slow2;
extern bool Slow3;
extern bool Slow4;
extern bool aButton;
extern bool bButton;
extern bool cButton;
extern bool MenuS;
extern bool MenuS1;
extern bool MenuS2;
extern bool Sound1;
extern bool Sound2;
extern float Adder;
extern float Adder2;
extern int32_t Table;
extern int32_t Placed;
extern int32_t Zeiger;
extern std::string ABC;
extern std::string EnteredName;
extern int32_t ScoreTable[4][12];
extern int32_t ScoreTableB[4][12];
extern std::string ScoreTableNames[4][12];
extern std::string ScoreTableNamesB[4][12];
extern ObjectStack Stack;
extern ObjectStack interface;
extern Object Objectlist[Objectnumber];
extern Player Players[Padnumber];
extern TextBox Boxes[Boxnumber];
extern SDL_Texture* Images[Spritenumber];
extern int32_t texturesUsed;
extern Mix_Chunk* Sounds[Soundnumber];
extern Mix_Music* Music[Musicnumber];
extern bool MusicIndexed;
extern int32_t MusicAvaible;
extern SDL_Window* Window;
extern SDL_Renderer* Renderer;
extern SDL_Surface* ScreenSurface;
extern TTF_Font* gFont[5];
extern SDL_GameController* controller;
extern SDL_Joystick* Pad1[Padnumber];
extern SDL_Haptic* ControllerHaptic[Padnumber];
extern std::string PadName;
extern bool DualShockHack;
extern bool DualShockHackSet;
extern SDL_Event event;
extern SDL_DisplayMode DMode;

// Puts every plain global back to its value at program start (media handles
// and loaded media excepted). Lets tests start each case from a clean state.
void ResetGlobals();
