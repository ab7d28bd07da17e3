// Fixtures and helpers for the tests of the screens, menus and prompts.
#pragma once

#include "world/globals.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Fresh globals, no keys held, no end-of-game hold and a fixed seed.
class ScreensTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// The mixer on SDL's dummy audio driver, with a short looping chunk in
// Sounds[1] and Sounds[2]; closed again (Sounds restored) on destruction.
class ScreensMixer {
  public:
    ScreensMixer();
    ~ScreensMixer();
    ScreensMixer(const ScreensMixer&) = delete;
    ScreensMixer& operator=(const ScreensMixer&) = delete;
    bool Ok() const { return opened_; }

  private:
    std::vector<Uint8> samples_;
    Mix_Chunk* chunk_ = nullptr;
    Mix_Chunk* saved_[3] = {};
    bool opened_ = false;
};

// Runs `n` logic passes.
void Passes(int n);

// Holds keyboard key `key` (1 W, 2 S, 3 A, 4 D, 5 left Shift, 10 right Ctrl,
// 11 Return) for one pass, then releases it for one pass.
void TapKey(int key);

// Opens the main menu as it stands after the start-up screens.
void OpenMainMenu();

// Lines of a text file (without line ends); empty when it is missing.
std::vector<std::string> ReadLines(const std::string& path);

// The box shown by the carrier in slot `slot` of Stack.
const TextBox& BoxOf(int slot);
