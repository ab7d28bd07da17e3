#include "render/textbox.h"

#include "world/globals.h"

std::atomic<long> TextRenderCount{0};

TextBox::TextBox()
    : Wrap(9000), Texture(nullptr),
      Text("Textbox"), Color{255, 255, 255, 0}, DrawnColor{255, 255, 255, 0}, Font(1), DrawnFont(0)
{
}

// The texture is not released here: boxes live until process exit, when the
// renderer that owned the texture has already been torn down with it.
TextBox::~TextBox() = default;

static bool SameColor(const SDL_Color& a, const SDL_Color& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

void TextBox::CalcMe()
{
    // Wrap is deliberately not compared: a new wrap width shows with the next
    // change of text, font or colour.
    if (Text == DrawnText && Font == DrawnFont && SameColor(Color, DrawnColor)) {
        return;
    }
    DrawnText = Text;
    DrawnFont = Font;
    DrawnColor = Color;

    if (Texture != nullptr) {
        SDL_DestroyTexture(Texture);
        Texture = nullptr;
    }

    TTF_Font* font = (Font >= 0 && Font < 5) ? gFont[Font] : nullptr;
    if (font == nullptr || Text.empty() || Renderer == nullptr) {
        return;
    }
    // The screens leave the alpha byte at 0; text is always drawn opaque.
    SDL_Color color = Color;
    color.a = 255;
    Uint32 wrap = Wrap > 0 ? static_cast<Uint32>(Wrap) : 0;
    ++TextRenderCount;
    SDL_Surface* surface = TTF_RenderText_Blended_Wrapped(font, Text.c_str(), color, wrap);
    if (surface == nullptr) {
        return;
    }
    Texture = SDL_CreateTextureFromSurface(Renderer, surface);
    SDL_FreeSurface(surface);
}

void DefBoxes()
{
    Boxes[1].Font = 1;
    Boxes[1].Text = "Hallo";
}
