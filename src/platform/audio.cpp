#include "platform/audio.h"

#include "world/globals.h"

void LoadSounds() {}
int LoadMusic()
{
    return 0;
}
void MusicMan() {}

void GunLoopStart(int channel)
{
    Mix_HaltChannel(channel);
    if (channel == 1) {
        Mix_SetPanning(channel, 255, 0);
    } else {
        Mix_SetPanning(channel, 0, 255);
    }
    Mix_Volume(channel, FXVolume);
    Mix_PlayChannelTimed(channel, Sounds[1], -1, -1);
}

void GunLoopStop(int channel)
{
    Mix_FadeOutChannel(channel, 500);
}
