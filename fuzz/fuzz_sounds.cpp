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
    if (!ok) {
        std::fprintf(stderr, "sound list property broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    if (!StartHeadlessMedia()) {
        std::abort();
    }
    if (NamesOtherDirectory(data, size)) {
        return -1;
    }
    if (!WriteWholeFile("Sounds.txt", data, size)) {
        return 0;
    }
    const int lines = CountLines(data, size);
    const int kept = lines < Soundnumber - 1 ? lines : Soundnumber - 1;
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
