// The image list and the texture table.
#pragma once

#include <SDL.h>
#include <string>

void loadImages(const char* listFile);
SDL_Texture* loadTexture(const std::string& path);
