#include "render/textbox.h"

#include "world/globals.h"

#include <algorithm>
#include <cstring>

std::atomic<long> TextRenderCount{0};

namespace {

// Rows and columns of the target that can show a text: the logical area.
void ShownSize(int* w, int* h)
{
    *w = 0;
    *h = 0;
    SDL_RenderGetLogicalSize(Renderer, w, h);
    if (*w <= 0 || *h <= 0) {
        SDL_GetRendererOutputSize(Renderer, w, h);
    }
}

} // namespace

size_t WrappedTextShown(TTF_Font* font, const char* text, Uint32 wrap, int lines)
{
    const size_t n = std::strlen(text);
    if (wrap == 0 || lines <= 0) {
        return n;
    }
    // SDL_ttf's line breaking: each line takes as many characters as fit in
    // the wrap width, then steps back to just after its last blank, tab or
    // line end, if it has one and text follows. Every line is measured on a
    // piece of the text only a little longer than what fits.
    size_t pos = 0;
    size_t reach = 0;
    for (int line = 0; line < lines && pos < n; ++line) {
        int count = 0;
        for (size_t piece = 256;; piece *= 2) {
            const size_t take = std::min(piece, n - pos);
            const std::string part(text + pos, take);
            int extent = 0;
            if (TTF_MeasureText(font, part.c_str(), static_cast<int>(wrap), &extent, &count) != 0) {
                return n;
            }
            if (static_cast<size_t>(count) + 8 < take || take == n - pos) {
                break;
            }
        }
        count = std::max(count, 1);
        reach = std::max(reach, pos + static_cast<size_t>(count));
        size_t i = pos;
        size_t afterDelimiter = 0;
        for (int chars = 1; i < n; ++chars) {
            const char c = text[i++];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                afterDelimiter = i;
                if (c == '\r' || c == '\n') {
                    break;
                }
            }
            if (chars == count) {
                break;
            }
        }
        if (afterDelimiter != 0 && i < n) {
            i = afterDelimiter;
        }
        pos = i;
    }
    // Two characters past the furthest measured: each line sees the same
    // first character that no longer fits, and text after its break.
    return pos >= n ? n : std::min(n, reach + 2);
}

SDL_Texture* RenderTextShown(TTF_Font* font, const char* text, SDL_Color color, Uint32 wrap)
{
    int shownW = 0;
    int shownH = 0;
    ShownSize(&shownW, &shownH);
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(Renderer, &info) == 0) {
        if (info.max_texture_width > 0) {
            shownW = std::min(shownW, info.max_texture_width);
        }
        if (info.max_texture_height > 0) {
            shownH = std::min(shownH, info.max_texture_height);
        }
    }
    // Lines that start below the shown rows are never seen: render one more
    // than can start inside them.
    const int lineskip = std::max(TTF_FontLineSkip(font), 1);
    const int lines = shownH / lineskip + 2;
    const std::string shown(text, WrappedTextShown(font, text, wrap, lines));
    ++TextRenderCount;
    SDL_Surface* surface = TTF_RenderText_Blended_Wrapped(font, shown.c_str(), color, wrap);
    if (surface == nullptr) {
        return nullptr;
    }
    // Text is drawn unscaled from the carrier's top-left corner, inside the
    // field: no more than the shown area of it can ever be seen.
    SDL_Texture* texture = nullptr;
    if (shownW > 0 && shownH > 0 && (surface->w > shownW || surface->h > shownH)) {
        SDL_Surface* corner = SDL_CreateRGBSurfaceWithFormatFrom(
            surface->pixels, std::min(surface->w, shownW), std::min(surface->h, shownH),
            surface->format->BitsPerPixel, surface->pitch, surface->format->format);
        if (corner != nullptr) {
            texture = SDL_CreateTextureFromSurface(Renderer, corner);
            SDL_FreeSurface(corner);
        }
    } else {
        texture = SDL_CreateTextureFromSurface(Renderer, surface);
    }
    SDL_FreeSurface(surface);
    return texture;
}

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
    Texture = RenderTextShown(font, Text.c_str(), color, wrap);
}

void DefBoxes()
{
    Boxes[1].Font = 1;
    Boxes[1].Text = "Hallo";
}
