#include "render/images.h"

#include "world/globals.h"

void loadImages(const char*) {}
SDL_Texture* loadTexture(const std::string&) { return nullptr; }
