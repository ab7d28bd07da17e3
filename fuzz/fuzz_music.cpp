// Fuzzes the music list loader with the real mixer on the dummy audio
// driver: it returns the lines read (at most 19) and fills entries 1 on.
#include "fuzz_support.h"
#include "platform/audio.h"
#include "world/globals.h"

#include <SDL_mixer.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool ok, const char* what)
{
    CheckListProperty(ok, "Music.txt", what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    const int kept = StageListInput("Music.txt", data, size, Musicnumber);
    if (kept < 0) {
        return kept == ListInputRejected ? -1 : 0;
    }
    const int read = LoadMusic();

    Check(read == kept, "LoadMusic does not return the lines read");
    Check(Music[0] == nullptr, "entry 0 filled");
    for (int i = kept + 1; i < Musicnumber; ++i) {
        Check(Music[i] == nullptr, "entry past the list filled");
    }
    for (Mix_Music*& track : Music) {
        if (track != nullptr) {
            Mix_FreeMusic(track);
            track = nullptr;
        }
    }
    return 0;
}
