// Fuzzes the sound list loader with the real mixer on the dummy audio
// driver: entries follow the line numbers and stop at slot 149.
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
    CheckListProperty(ok, "Sounds.txt", what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    const int kept = StageListInput("Sounds.txt", data, size, Soundnumber);
    if (kept < 0) {
        return kept == ListInputRejected ? -1 : 0;
    }
    LoadSounds();

    Check(Sounds[0] == nullptr, "entry 0 filled");
    for (int i = kept + 1; i < Soundnumber; ++i) {
        Check(Sounds[i] == nullptr, "entry past the list filled");
    }
    for (Mix_Chunk*& chunk : Sounds) {
        if (chunk != nullptr) {
            Mix_FreeChunk(chunk);
            chunk = nullptr;
        }
    }
    return 0;
}
