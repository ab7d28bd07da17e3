#include "render/images.h"

#include "persist/textfile.h"
#include "render/clipping.h"
#include "world/globals.h"

#include <SDL_image.h>
#include <cstdio>

void loadImages(const char* listFile)
{
    // Line n of the list fills slot n; slot 0 stays empty and lines past the
    // last slot are not read.
    texturesUsed = 1;
    ForEachListLine(listFile, Spritenumber - 1, [](int n, const std::string& line) {
        Images[n] = loadTexture(line);
        texturesUsed = n + 1;
    });
}

SDL_Texture* loadTexture(const std::string& path)
{
    SDL_Surface* surface = IMG_Load(path.c_str());
    if (surface == nullptr) {
        std::printf("Unable to load image %s! SDL_image Error: %s\n", path.c_str(), IMG_GetError());
        std::fflush(stdout);
        return nullptr;
    }
    SDL_Texture* texture = CreatePictureTexture(Renderer, surface);
    if (texture == nullptr) {
        std::printf("Unable to create texture from %s! SDL Error: %s\n", path.c_str(),
                    SDL_GetError());
        std::fflush(stdout);
    }
    SDL_FreeSurface(surface);
    return texture;
}
