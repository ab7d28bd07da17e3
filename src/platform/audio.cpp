#include "platform/audio.h"

#include "world/globals.h"

void LoadSounds() {}
int LoadMusic() { return 0; }
void MusicMan() {}
void GunLoopStart(int) {}
void GunLoopStop(int) {}
