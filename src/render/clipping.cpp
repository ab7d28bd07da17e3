#include "render/clipping.h"

#include "render/cover.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

std::atomic<long long> ClipScaledPixels{0};

namespace {

// SDL scales nothing wider or higher than this (it reports "Size too large
// for scaling"); up to it, its 16.16 fixed-point steps are copied exactly.
constexpr int64_t SdlScaleLimit = 65535;

// One output pixel along one axis: source texels a and b (counted within the
// source rectangle) and the weight of b in 128ths.
struct Tap {
    int a;
    int b;
    int f;
    bool operator==(const Tap& o) const { return a == o.a && b == o.b && f == o.f; }
};

// SDL_SoftStretchLinear's sample of output pixel i of d from n texels:
// pixel centres mapped in 16.16 fixed point, texel 0 left of the first
// centre and texel n - 1 right of the last one held flat. Beyond SDL's limit
// the same rule in double precision.
Tap LinearTap(int64_t i, int n, int64_t d)
{
    if (d <= SdlScaleLimit) {
        const int step = static_cast<int>((static_cast<Uint32>(n) << 16) / static_cast<Uint32>(d));
        const int x0 =
            static_cast<int>((static_cast<int64_t>(step) * 32768 + 0x8000) >> 16) - 32768;
        const int fp = x0 + static_cast<int>(i) * step;
        if (fp < 0) {
            return {0, 0, 0};
        }
        const int index = static_cast<int>(static_cast<Uint32>(fp) >> 16);
        if (index > n - 2) {
            return {n - 1, n - 1, 0};
        }
        return {index, index + 1, static_cast<int>((static_cast<Uint32>(fp) >> 9) & 127)};
    }
    const double u = (static_cast<double>(i) + 0.5) * n / static_cast<double>(d) - 0.5;
    if (u < 0) {
        return {0, 0, 0};
    }
    const double whole = std::floor(u);
    if (whole > n - 2) {
        return {n - 1, n - 1, 0};
    }
    const int index = static_cast<int>(whole);
    return {index, index + 1, static_cast<int>((u - whole) * 128)};
}

// SDL_SoftStretch's sample (nearest texel).
Tap NearestTap(int64_t i, int n, int64_t d)
{
    int index = 0;
    if (d <= SdlScaleLimit) {
        const Uint32 inc = (static_cast<Uint32>(n) << 16) / static_cast<Uint32>(d);
        index = static_cast<int>((inc / 2 + static_cast<Uint32>(i) * inc) >> 16);
    } else {
        index = static_cast<int>((static_cast<double>(i) + 0.5) * n / static_cast<double>(d));
    }
    index = std::min(index, n - 1);
    return {index, index, 0};
}

// Per byte: (128 - f) parts of p and f parts of q, truncated as SDL does.
// Two bytes at a time, each in a 16-bit lane (at most 128 * 255 < 2^15).
Uint32 Mix(Uint32 p, Uint32 q, int f)
{
    if (f == 0) {
        return p;
    }
    const Uint32 keep = static_cast<Uint32>(128 - f);
    const Uint32 take = static_cast<Uint32>(f);
    const Uint32 even = (((p & 0x00FF00FFu) * keep + (q & 0x00FF00FFu) * take) >> 7) & 0x00FF00FFu;
    const Uint32 odd =
        ((((p >> 8) & 0x00FF00FFu) * keep + ((q >> 8) & 0x00FF00FFu) * take) >> 7) & 0x00FF00FFu;
    return even | (odd << 8);
}

// The scratch texture that clipped pictures are scaled into, one window in
// size, kept for the renderer that drew last (the drawing thread's).
struct Scratch {
    SDL_Renderer* owner = nullptr;
    SDL_Texture* texture = nullptr;
    int w = 0;
    int h = 0;
};
Scratch TheScratch;

SDL_Texture* ScratchFor(SDL_Renderer* renderer, int w, int h)
{
    if (TheScratch.owner != renderer) {
        // A texture of another renderer goes with that renderer.
        TheScratch = Scratch{};
    }
    if (TheScratch.texture != nullptr && (TheScratch.w < w || TheScratch.h < h)) {
        SDL_DestroyTexture(TheScratch.texture);
        TheScratch.texture = nullptr;
    }
    if (TheScratch.texture == nullptr) {
        TheScratch.texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                               SDL_TEXTUREACCESS_STREAMING, w, h);
        TheScratch.owner = renderer;
        TheScratch.w = w;
        TheScratch.h = h;
    }
    return TheScratch.texture;
}

struct Box64 {
    int64_t x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// The part of the target that shows: the logical area (the viewport when no
// logical size is set), within the clip rectangle when one is set.
Box64 VisibleArea(SDL_Renderer* renderer)
{
    int w = 0;
    int h = 0;
    SDL_RenderGetLogicalSize(renderer, &w, &h);
    if (w <= 0 || h <= 0) {
        SDL_Rect viewport;
        SDL_RenderGetViewport(renderer, &viewport);
        w = viewport.w;
        h = viewport.h;
    }
    Box64 area{0, 0, w, h};
    if (SDL_RenderIsClipEnabled(renderer)) {
        SDL_Rect clip;
        SDL_RenderGetClipRect(renderer, &clip);
        area.x0 = std::max<int64_t>(area.x0, clip.x);
        area.y0 = std::max<int64_t>(area.y0, clip.y);
        area.x1 = std::min<int64_t>(area.x1, static_cast<int64_t>(clip.x) + clip.w);
        area.y1 = std::min<int64_t>(area.y1, static_cast<int64_t>(clip.y) + clip.h);
    }
    return area;
}

// Copies what SDL's own scaler would put into `shown` (window-sized at most)
// for the whole copy of `src` to `dst`, then hands SDL that part unscaled.
int ScaleShownPart(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Surface* pixels,
                   const SDL_Rect& src, const SDL_Rect& dst, const Box64& shown,
                   SDL_RendererFlip flip)
{
    const int w = static_cast<int>(shown.x1 - shown.x0);
    const int h = static_cast<int>(shown.y1 - shown.y0);
    SDL_Texture* scratch = ScratchFor(renderer, w, h);
    if (scratch == nullptr) {
        return -1;
    }
    SDL_ScaleMode mode = SDL_ScaleModeLinear;
    SDL_GetTextureScaleMode(texture, &mode);
    auto tap = mode == SDL_ScaleModeNearest ? NearestTap : LinearTap;

    // Taps of the shown columns, as runs of equal taps: a magnified texel
    // covers many pixels, so a row is filled a run at a time.
    std::vector<std::pair<Tap, int>> columns;
    for (int c = 0; c < w; ++c) {
        int64_t i = shown.x0 + c - dst.x;
        if ((flip & SDL_FLIP_HORIZONTAL) != 0) {
            i = dst.w - 1 - i;
        }
        const Tap t = tap(i, src.w, dst.w);
        if (!columns.empty() && columns.back().first == t) {
            ++columns.back().second;
        } else {
            columns.emplace_back(t, 1);
        }
    }

    void* locked = nullptr;
    int pitch = 0;
    const SDL_Rect area{0, 0, w, h};
    if (SDL_LockTexture(scratch, &area, &locked, &pitch) != 0) {
        return -1;
    }
    std::vector<Uint32> blended(static_cast<size_t>(src.w));
    Tap previous{-1, -1, -1};
    for (int r = 0; r < h; ++r) {
        Uint32* out = reinterpret_cast<Uint32*>(static_cast<Uint8*>(locked) + r * pitch);
        int64_t i = shown.y0 + r - dst.y;
        if ((flip & SDL_FLIP_VERTICAL) != 0) {
            i = dst.h - 1 - i;
        }
        const Tap row = tap(i, src.h, dst.h);
        if (r > 0 && row == previous) {
            std::memcpy(out, static_cast<Uint8*>(locked) + (r - 1) * pitch,
                        static_cast<size_t>(w) * 4);
            continue;
        }
        previous = row;
        // Vertical first, then horizontal, each truncated: SDL's order.
        const auto* top =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(pixels->pixels) +
                                            (src.y + row.a) * pixels->pitch) +
            src.x;
        const auto* bottom =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(pixels->pixels) +
                                            (src.y + row.b) * pixels->pitch) +
            src.x;
        for (int k = 0; k < src.w; ++k) {
            blended[k] = Mix(top[k], bottom[k], row.f);
        }
        for (const auto& run : columns) {
            std::fill_n(out, run.second,
                        Mix(blended[run.first.a], blended[run.first.b], run.first.f));
            out += run.second;
        }
    }
    SDL_UnlockTexture(scratch);
    ClipScaledPixels += static_cast<long long>(w) * h;

    // The picture keeps the texture's blending and modulation.
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    Uint8 red = 255, green = 255, blue = 255, alpha = 255;
    SDL_GetTextureBlendMode(texture, &blend);
    SDL_GetTextureColorMod(texture, &red, &green, &blue);
    SDL_GetTextureAlphaMod(texture, &alpha);
    SDL_SetTextureBlendMode(scratch, blend);
    SDL_SetTextureColorMod(scratch, red, green, blue);
    SDL_SetTextureAlphaMod(scratch, alpha);
    SDL_SetTextureScaleMode(scratch, mode);
    const SDL_Rect to{static_cast<int>(shown.x0), static_cast<int>(shown.y0), w, h};
    return SDL_RenderCopy(renderer, scratch, &area, &to);
}

// The shown part of the copy with the matching source rounded to whole
// texels, as SDL itself clips at a clip rectangle.
int CutShownPart(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                 const SDL_Rect& dst, const Box64& shown, SDL_RendererFlip flip)
{
    int64_t l0 = shown.x0 - dst.x;
    int64_t l1 = shown.x1 - dst.x;
    int64_t t0 = shown.y0 - dst.y;
    int64_t t1 = shown.y1 - dst.y;
    if ((flip & SDL_FLIP_HORIZONTAL) != 0) {
        std::swap(l0, l1);
        l0 = dst.w - l0;
        l1 = dst.w - l1;
    }
    if ((flip & SDL_FLIP_VERTICAL) != 0) {
        std::swap(t0, t1);
        t0 = dst.h - t0;
        t1 = dst.h - t1;
    }
    const double sx = static_cast<double>(src.w) / static_cast<double>(dst.w);
    const double sy = static_cast<double>(src.h) / static_cast<double>(dst.h);
    const double x0 = static_cast<double>(l0) * sx;
    const double y0 = static_cast<double>(t0) * sy;
    SDL_Rect part{src.x + static_cast<int>(std::lround(x0)),
                  src.y + static_cast<int>(std::lround(y0)),
                  static_cast<int>(std::lround(static_cast<double>(l1) * sx - x0)),
                  static_cast<int>(std::lround(static_cast<double>(t1) * sy - y0))};
    part.w = std::max(part.w, 1);
    part.h = std::max(part.h, 1);
    const SDL_Rect to{static_cast<int>(shown.x0), static_cast<int>(shown.y0),
                      static_cast<int>(shown.x1 - shown.x0), static_cast<int>(shown.y1 - shown.y0)};
    return SDL_RenderCopyEx(renderer, texture, &part, &to, 0.0, nullptr, flip);
}

} // namespace

SDL_Texture* CreatePictureTexture(SDL_Renderer* renderer, SDL_Surface* surface)
{
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (texture == nullptr) {
        return nullptr;
    }
    // A picture without a copy is still drawn, only cut less finely.
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_SetTextureUserData(texture, copy);
    NotePicture(texture, surface);
    return texture;
}

void DestroyPictureTexture(SDL_Texture* texture)
{
    if (texture == nullptr) {
        return;
    }
    SDL_FreeSurface(static_cast<SDL_Surface*>(SDL_GetTextureUserData(texture)));
    ForgetPicture(texture);
    SDL_DestroyTexture(texture);
}

bool IsSoftwareRenderer(SDL_Renderer* renderer)
{
    // Asked at every copy: a copy of a small record, and no table that a
    // renderer made where a destroyed one stood could fool.
    SDL_RendererInfo info;
    return renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 &&
           info.name != nullptr && std::strcmp(info.name, "software") == 0;
}

int CopyInsideTarget(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                     const SDL_Rect& dst, double angle, SDL_RendererFlip flip)
{
    if (!IsSoftwareRenderer(renderer)) {
        return SDL_RenderCopyEx(renderer, texture, &src, &dst, angle, nullptr, flip);
    }
    const Box64 area = VisibleArea(renderer);
    const Box64 whole{dst.x, dst.y, static_cast<int64_t>(dst.x) + dst.w,
                      static_cast<int64_t>(dst.y) + dst.h};
    const bool inside =
        whole.x0 >= area.x0 && whole.y0 >= area.y0 && whole.x1 <= area.x1 && whole.y1 <= area.y1;
    if (inside || dst.w <= 0 || dst.h <= 0) {
        return SDL_RenderCopyEx(renderer, texture, &src, &dst, angle, nullptr, flip);
    }
    const bool turned = static_cast<int>(angle / 360) != angle / 360;
    if (turned) {
        // Nothing in the game turns (Spin and Angle stay 0); a turned copy no
        // larger than the target is SDL's to clip, a larger one is skipped.
        const int64_t target = (area.x1 - area.x0) * (area.y1 - area.y0);
        if (static_cast<int64_t>(dst.w) * dst.h <= target) {
            return SDL_RenderCopyEx(renderer, texture, &src, &dst, angle, nullptr, flip);
        }
        return 0;
    }
    const Box64 shown{std::max(whole.x0, area.x0), std::max(whole.y0, area.y0),
                      std::min(whole.x1, area.x1), std::min(whole.y1, area.y1)};
    if (shown.Empty()) {
        return 0;
    }
    // The source as SDL takes it: within the texture.
    int tw = 0;
    int th = 0;
    if (SDL_QueryTexture(texture, nullptr, nullptr, &tw, &th) != 0) {
        return -1;
    }
    SDL_Rect within{0, 0, tw, th};
    SDL_Rect source;
    if (!SDL_IntersectRect(&src, &within, &source)) {
        return 0;
    }
    const auto* pixels = static_cast<const SDL_Surface*>(SDL_GetTextureUserData(texture));
    const bool unscaled = source.w == dst.w && source.h == dst.h;
    if (pixels != nullptr && !unscaled && pixels->w == tw && pixels->h == th) {
        return ScaleShownPart(renderer, texture, pixels, source, dst, shown, flip);
    }
    return CutShownPart(renderer, texture, source, dst, shown, flip);
}

void ResetClipping(SDL_Renderer* renderer)
{
    if (TheScratch.owner == renderer && TheScratch.texture != nullptr) {
        SDL_DestroyTexture(TheScratch.texture);
    }
    if (TheScratch.owner == renderer) {
        TheScratch = Scratch{};
    }
}
