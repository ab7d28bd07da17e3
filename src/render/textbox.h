// Text boxes: a text, colour, font and wrap width, rendered lazily into a
// cached texture on the graphics thread.
#pragma once

#include <SDL.h>
#include <atomic>
#include <cstdint>
#include <string>

class TextBox {
  public:
    int32_t Wrap;
    SDL_Texture* Texture;
    std::string Text;
    SDL_Color Color;
    SDL_Color DrawnColor;
    int32_t Font;
    int32_t DrawnFont;
    std::string DrawnText;

    TextBox();
    ~TextBox();
    // Re-renders Texture when Text, Font or Color changed since the last
    // rendering; otherwise does nothing.
    void CalcMe();
};

// Number of text renderings since start (for tests and benchmarks).
extern std::atomic<long> TextRenderCount;

void DefBoxes();
