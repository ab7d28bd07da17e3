// Text boxes: a text, colour, font and wrap width, rendered lazily into a
// cached texture on the graphics thread.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>
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

// Length of the start of `text` (Latin-1) that SDL_ttf, wrapping at `wrap`
// pixels, breaks into the same first `lines` lines as the whole text. A name
// has no length limit, but only so many lines of it fit on the screen.
size_t WrappedTextShown(TTF_Font* font, const char* text, Uint32 wrap, int lines);

// Renders what of `text` can show on the screen, as TextBox::CalcMe draws it
// (wrapped, from the top-left corner): the picture of the whole text cut to
// the logical area and to the renderer's largest texture. Null when nothing
// can be rendered.
SDL_Texture* RenderTextShown(TTF_Font* font, const char* text, SDL_Color color, Uint32 wrap);
