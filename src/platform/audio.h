#pragma once

void LoadSounds();
int LoadMusic();
void MusicMan();

// True while an audio device is open. The mixer's channel calls are only
// safe then; without a device the game runs silently.
bool MixerOpen();
// Stops every effect channel at once; the music keeps playing.
void HaltAllChannels();

// Starts the gun loop on channel 1 (panned left) or 2 (panned right): halt,
// pan, volume FXVolume, play sound 1 looping. Callers keep Sound1/Sound2.
void GunLoopStart(int channel);
// Fades the channel out over 500 ms.
void GunLoopStop(int channel);
