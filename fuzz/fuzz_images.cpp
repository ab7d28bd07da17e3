// Fuzzes the image list loader with the real image loader and a software
// renderer: line n fills slot n, nothing past slot 99, and every line that
// names no loadable picture leaves its slot empty.
#include "fuzz_support.h"
#include "render/clipping.h"
#include "render/images.h"
#include "world/globals.h"

#include <SDL.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok, const char* what)
{
    CheckListProperty(ok, "Liste.txt", what);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    const int kept = StageListInput("Liste.txt", data, size, Spritenumber);
    if (kept < 0) {
        return kept == ListInputRejected ? -1 : 0;
    }

    // Diagnostics for unloadable lines go to standard output; keep the
    // fuzzer's own output readable.
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    loadImages("Liste.txt");

    Check(texturesUsed == kept + 1, "texturesUsed is not 1 + the lines read");
    Check(Images[0] == nullptr, "slot 0 filled");
    for (int i = kept + 1; i < Spritenumber; ++i) {
        Check(Images[i] == nullptr, "slot past the list filled");
    }
    for (SDL_Texture*& t : Images) {
        // Pictures carry a pixel copy for the software path; free both.
        DestroyPictureTexture(t);
        t = nullptr;
    }
    return 0;
}
