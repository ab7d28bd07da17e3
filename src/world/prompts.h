// Screen sections of the logic pass: list refresh, set-up prompts and the
// keyboard notice, keyboard menu navigation, menus, name entry, end of game.
#pragma once

#include <mutex>

void HighScoreListSection();
void SetupSection();
void KeyboardMenuSection();
void MenuSection();
void NameEntrySection();
// Runs once per game when EndGame is set. Releases `lock` during the banner
// hold, waiting in short steps that watch `running`.
void EndOfGameSequence(std::unique_lock<std::mutex>& lock);
