#include "screens/game.h"

#include "world/globals.h"

void IniGame() {}
void CreateLevel() {}
