#include "platform/audio.h"

#include "persist/textfile.h"
#include "world/globals.h"

#include <cstdlib>

void LoadSounds()
{
    // Line n fills entry n; entry 0 stays empty and lines past the table are
    // not read. A file that does not load leaves its entry empty.
    ForEachListLine("Sounds.txt", Soundnumber - 1, [](int n, const std::string& line) {
        SDL_RWops* source = SDL_RWFromFile(line.c_str(), "rb");
        Sounds[n] = source != nullptr ? Mix_LoadWAV_RW(source, 1) : nullptr;
    });
}

int LoadMusic()
{
    return ForEachListLine("Music.txt", Musicnumber - 1, [](int n, const std::string& line) {
        Music[n] = Mix_LoadMUS(line.c_str());
    });
}

void MusicMan()
{
    // Runs on the main thread without the lock: shared globals and the shared
    // random generator are touched under it, the file loading is not.
    bool indexNow = false;
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        if (!MusicIndexed) {
            MusicIndexed = true;
            indexNow = true;
        }
    }
    if (indexNow) {
        int lines = LoadMusic();
        std::lock_guard<std::mutex> lock(StateMutex);
        MusicAvaible = lines;
    }

    if (Mix_PlayingMusic()) {
        return;
    }

    int volume = 0;
    int track = 0;
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        volume = MuVolume;
        int available = MusicAvaible < Musicnumber - 1 ? MusicAvaible : Musicnumber - 1;
        if (available >= 1) {
            do {
                track = std::rand() % (available + 1);
            } while (track == 0);
        }
    }
    Mix_VolumeMusic(volume);
    Mix_PlayMusic(Music[track], 1);
}

bool MixerOpen()
{
    return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
}

void HaltAllChannels()
{
    if (MixerOpen()) {
        Mix_HaltChannel(-1);
    }
}

void GunLoopStart(int channel)
{
    if (!MixerOpen()) {
        return;
    }
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
    if (!MixerOpen()) {
        return;
    }
    Mix_FadeOutChannel(channel, 500);
}
