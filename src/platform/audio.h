#pragma once

void LoadSounds();
int LoadMusic();
void MusicMan();

// Starts the gun loop on channel 1 (panned left) or 2 (panned right): halt,
// pan, volume FXVolume, play sound 1 looping. Callers keep Sound1/Sound2.
void GunLoopStart(int channel);
// Fades the channel out over 500 ms.
void GunLoopStop(int channel);
