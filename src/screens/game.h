#pragma once

void IniGame();
void CreateLevel();

// Sets score, multiplier, divisor, black-square count, the end-of-game flags
// and the gun-sound flags back to their values at the start of a game.
void ResetGameCounters();
