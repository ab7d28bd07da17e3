#include "render/clipping.h"

#include "render/cover.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

std::atomic<long long> ClipScaledPixels{0};

namespace {

// SDL scales nothing wider or higher than this (it reports "Size too large
// for scaling"); up to it, its 16.16 fixed-point steps are copied exactly.
constexpr int64_t SdlScaleLimit = 65535;

// Destinations are held within this, so that no sum of two overflows.
constexpr int64_t CoordLimit = INT64_C(1) << 60;

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
// centre and texel n - 1 right of the last one held flat. The sum is kept in
// 64 bits (SDL's int overflows from 32768 texels on). Beyond SDL's limit the
// same rule in double precision.
Tap LinearTap(int64_t i, int n, int64_t d)
{
    if (d <= SdlScaleLimit) {
        const int64_t step = (static_cast<int64_t>(n) << 16) / d;
        const int64_t x0 = ((step * 32768 + 0x8000) >> 16) - 32768;
        const int64_t fp = x0 + i * step;
        if (fp < 0) {
            return {0, 0, 0};
        }
        const int64_t index = fp >> 16;
        if (index > n - 2) {
            return {n - 1, n - 1, 0};
        }
        const int whole = static_cast<int>(index);
        return {whole, whole + 1, static_cast<int>((fp >> 9) & 127)};
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

// SDL_SoftStretch's sample (nearest texel), in 64 bits.
Tap NearestTap(int64_t i, int n, int64_t d)
{
    int64_t index = 0;
    if (d <= SdlScaleLimit) {
        const int64_t inc = (static_cast<int64_t>(n) << 16) / d;
        index = (inc / 2 + i * inc) >> 16;
    } else {
        index = static_cast<int64_t>((static_cast<double>(i) + 0.5) * n / static_cast<double>(d));
    }
    const int clamped = static_cast<int>(std::min<int64_t>(index, n - 1));
    return {clamped, clamped, 0};
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

// Four pixels, per byte: p + d f / 128 rounded down, in 16-bit lanes. With
// d = q - p that is SDL's ((128 - f) p + f q) >> 7, as 128 p is a whole
// multiple of 128. A fixed count of 16 lets the compiler use vector
// instructions even at -O2.
inline void LerpBlock(const Uint8* __restrict p, const int16_t* __restrict d,
                      const Uint8* __restrict f, Uint8* __restrict out)
{
    for (int j = 0; j < 16; ++j) {
        out[j] = static_cast<Uint8>(p[j] + (static_cast<int16_t>(d[j] * f[j]) >> 7));
    }
}

// `count` pixels from p towards q at the weights f (one per byte of each
// pixel): whole blocks of four in vector lanes, the rest one at a time.
void LerpRun(Uint32 p, Uint32 q, const Uint8* f, Uint8* out, int count)
{
    Uint8 pp[16];
    Uint8 qq[16];
    int16_t dd[16];
    for (int k = 0; k < 16; k += 4) {
        std::memcpy(pp + k, &p, 4);
        std::memcpy(qq + k, &q, 4);
    }
    for (int j = 0; j < 16; ++j) {
        dd[j] = static_cast<int16_t>(qq[j] - pp[j]);
    }
    int c = 0;
    for (; c + 4 <= count; c += 4) {
        LerpBlock(pp, dd, f + 4 * c, out + 4 * c);
    }
    for (; c < count; ++c) {
        const Uint32 v = Mix(p, q, f[4 * c]);
        std::memcpy(out + 4 * c, &v, 4);
    }
}

// The scratch texture that clipped pictures are scaled into, grown to the
// largest part shown so far, kept for the renderer that drew last (the
// drawing thread's).
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
        // Grown on both sides at once: parts wide and parts high, drawn in
        // turn, must not make it again at every frame.
        w = std::max(w, TheScratch.w);
        h = std::max(h, TheScratch.h);
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
    bool Within(const Box64& o) const
    {
        return x0 >= o.x0 && y0 >= o.y0 && x1 <= o.x1 && y1 <= o.y1;
    }
    Box64 Meet(const Box64& o) const
    {
        return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
    int64_t W() const { return x1 - x0; }
    int64_t H() const { return y1 - y0; }
};

// The part of the target that shows, in the renderer's own units: the
// logical area (the viewport when no logical size is set), within the clip
// rectangle when one is set.
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
        area = area.Meet({clip.x, clip.y, static_cast<int64_t>(clip.x) + clip.w,
                          static_cast<int64_t>(clip.y) + clip.h});
    }
    return area;
}

CopyRect Held(const CopyRect& r)
{
    auto hold = [](int64_t v) { return std::clamp(v, -CoordLimit, CoordLimit); };
    return {hold(r.x), hold(r.y), hold(r.w), hold(r.h)};
}

bool FitsInt(const Box64& b)
{
    return b.x0 >= INT_MIN && b.y0 >= INT_MIN && b.x1 <= INT_MAX && b.y1 <= INT_MAX &&
           b.W() <= INT_MAX && b.H() <= INT_MAX;
}

SDL_Rect IntRect(const CopyRect& r)
{
    return {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.w),
            static_cast<int>(r.h)};
}

bool Turned(double angle)
{
    // NaN counts as turned.
    return !(std::trunc(angle / 360) == angle / 360);
}

// How SDL's software renderer puts the renderer's units on output pixels: a
// coordinate is converted to float, multiplied by the scale and truncated;
// the viewport's origin (output pixels) is added.
struct Output {
    float sx = 1;
    float sy = 1;
    int64_t vx = 0;
    int64_t vy = 0;
    Box64 visible{0, 0, 0, 0}; // output pixels drawn into
};

// Puts the scale back after a stretch at 1, unless someone (a window resize
// on the main thread) has set another meanwhile.
void RestoreScale(SDL_Renderer* renderer, float sx, float sy)
{
    float x = 0;
    float y = 0;
    SDL_RenderGetScale(renderer, &x, &y);
    if (x == 1.0f && y == 1.0f) {
        SDL_RenderSetScale(renderer, sx, sy);
    }
}

Output OutputOf(SDL_Renderer* renderer)
{
    Output o;
    SDL_RenderGetScale(renderer, &o.sx, &o.sy);
    // At a scale of 1 SDL tells the viewport and clip rectangle as it uses
    // them: in output pixels, rounded down.
    SDL_RenderSetScale(renderer, 1.0f, 1.0f);
    SDL_Rect viewport;
    SDL_RenderGetViewport(renderer, &viewport);
    o.vx = viewport.x;
    o.vy = viewport.y;
    o.visible = {viewport.x, viewport.y, static_cast<int64_t>(viewport.x) + viewport.w,
                 static_cast<int64_t>(viewport.y) + viewport.h};
    if (SDL_RenderIsClipEnabled(renderer)) {
        SDL_Rect clip;
        SDL_RenderGetClipRect(renderer, &clip);
        const int64_t x = o.vx + clip.x;
        const int64_t y = o.vy + clip.y;
        o.visible = o.visible.Meet({x, y, x + clip.w, y + clip.h});
    }
    RestoreScale(renderer, o.sx, o.sy);
    int w = 0;
    int h = 0;
    if (SDL_GetRendererOutputSize(renderer, &w, &h) == 0) {
        o.visible = o.visible.Meet({0, 0, w, h});
    }
    return o;
}

int64_t Scaled(int64_t v, float scale)
{
    const float p = static_cast<float>(v) * scale;
    const float limit = static_cast<float>(CoordLimit);
    return static_cast<int64_t>(std::clamp(p, -limit, limit));
}

// The output pixels SDL's software renderer covers with the whole copy:
// position and size scaled and truncated separately (so the far edge may
// fall short of the scaled one); a mirrored copy takes the viewport's origin
// before the scaling.
Box64 OnOutput(const CopyRect& dst, const Output& o, bool mirrored)
{
    int64_t x = 0;
    int64_t y = 0;
    if (mirrored) {
        x = Scaled(dst.x + o.vx, o.sx);
        y = Scaled(dst.y + o.vy, o.sy);
    } else {
        x = Scaled(dst.x, o.sx) + o.vx;
        y = Scaled(dst.y, o.sy) + o.vy;
    }
    return {x, y, x + Scaled(dst.w, o.sx), y + Scaled(dst.h, o.sy)};
}

// Draws in output pixels for as long as it lives: scale 1 (the viewport's
// origin is still added).
class OutputPixels {
  public:
    OutputPixels(SDL_Renderer* renderer, const Output& o) : renderer_(renderer), o_(o)
    {
        SDL_RenderSetScale(renderer_, 1.0f, 1.0f);
    }
    ~OutputPixels() { RestoreScale(renderer_, o_.sx, o_.sy); }
    OutputPixels(const OutputPixels&) = delete;
    OutputPixels& operator=(const OutputPixels&) = delete;

  private:
    SDL_Renderer* renderer_;
    Output o_;
};

// Bytes of one strip of the scratch texture: small enough to stay in the
// processor's cache between being written here and read by SDL's blit.
constexpr int StripBytes = 256 * 1024;

// Puts into `shown` (output pixels, window-sized at most) what SDL's own
// scaler would put there for the whole copy of `src` to `whole`, and hands
// SDL that part unscaled, at a scale of 1, a strip of rows at a time.
int ScaleShownPart(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Surface* pixels,
                   const SDL_Rect& src, const Box64& whole, const Box64& shown,
                   SDL_RendererFlip flip, const Output& o)
{
    const int w = static_cast<int>(shown.W());
    const int h = static_cast<int>(shown.H());
    const int strip = std::clamp(StripBytes / (4 * w), 1, h);
    SDL_Texture* scratch = ScratchFor(renderer, w, strip);
    if (scratch == nullptr) {
        return -1;
    }
    SDL_ScaleMode mode = SDL_ScaleModeLinear;
    SDL_GetTextureScaleMode(texture, &mode);
    auto tap = mode == SDL_ScaleModeNearest ? NearestTap : LinearTap;

    // Taps of the shown columns: runs of columns with the same left texel (a
    // magnified texel covers many), and the weight of its right neighbour
    // once per byte of each pixel.
    struct Run {
        int start;
        int length;
        int texel;
    };
    std::vector<Run> runs;
    std::vector<Uint8> weight(static_cast<size_t>(w) * 4);
    for (int c = 0; c < w; ++c) {
        int64_t i = shown.x0 + c - whole.x0;
        if ((flip & SDL_FLIP_HORIZONTAL) != 0) {
            i = whole.W() - 1 - i;
        }
        // A flat tap (f 0) reads its right neighbour with no weight.
        const Tap t = tap(i, src.w, whole.W());
        if (!runs.empty() && runs.back().texel == t.a) {
            ++runs.back().length;
        } else {
            runs.push_back({c, 1, t.a});
        }
        std::fill_n(&weight[static_cast<size_t>(c) * 4], 4, static_cast<Uint8>(t.f));
    }

    // The picture keeps the texture's blending and modulation.
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    Uint8 red = 255, green = 255, blue = 255, alpha = 255;
    SDL_GetTextureBlendMode(texture, &blend);
    SDL_GetTextureColorMod(texture, &red, &green, &blue);
    SDL_GetTextureAlphaMod(texture, &alpha);
    SDL_SetTextureColorMod(scratch, red, green, blue);
    SDL_SetTextureAlphaMod(scratch, alpha);
    SDL_SetTextureScaleMode(scratch, mode);
    // Blending an opaque pixel copies it: strips without a see-through pixel
    // are copied straight away.
    const bool plain = blend == SDL_BLENDMODE_BLEND && (red & green & blue & alpha) == 255;

    // One more texel than the source, held flat, for the neighbour of the
    // last.
    std::vector<Uint32> blended(static_cast<size_t>(src.w) + 1);
    Tap previous{-1, -1, -1};
    const Uint8* last = nullptr; // the row made last, while it is kept
    bool lastOpaque = true;
    OutputPixels unit(renderer, o);
    for (int y0 = 0; y0 < h; y0 += strip) {
        const int rows = std::min(strip, h - y0);
        const SDL_Rect area{0, 0, w, rows};
        void* locked = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(scratch, &area, &locked, &pitch) != 0) {
            return -1;
        }
        bool opaque = true;
        for (int r = 0; r < rows; ++r) {
            Uint8* out = static_cast<Uint8*>(locked) + r * pitch;
            int64_t i = shown.y0 + y0 + r - whole.y0;
            if ((flip & SDL_FLIP_VERTICAL) != 0) {
                i = whole.H() - 1 - i;
            }
            const Tap row = tap(i, src.h, whole.H());
            if (last != nullptr && row == previous) {
                if (r > 0) {
                    std::memcpy(out, out - pitch, static_cast<size_t>(w) * 4);
                } else {
                    // The last row of the previous strip, still in place.
                    std::memmove(out, last, static_cast<size_t>(w) * 4);
                }
                last = out;
                opaque = opaque && lastOpaque;
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
            Uint32 alphas = 0xFF000000u;
            for (int k = 0; k < src.w; ++k) {
                blended[k] = Mix(top[k], bottom[k], row.f);
                alphas &= blended[k];
            }
            lastOpaque = alphas == 0xFF000000u;
            opaque = opaque && lastOpaque;
            blended[src.w] = blended[src.w - 1];
            for (const Run& run : runs) {
                LerpRun(blended[run.texel], blended[run.texel + 1], &weight[run.start * 4],
                        out + run.start * 4, run.length);
            }
            last = out;
        }
        SDL_UnlockTexture(scratch);
        SDL_SetTextureBlendMode(scratch, plain && opaque ? SDL_BLENDMODE_NONE : blend);
        const SDL_Rect to{static_cast<int>(shown.x0 - o.vx), static_cast<int>(shown.y0 + y0 - o.vy),
                          w, rows};
        if (SDL_RenderCopy(renderer, scratch, &area, &to) != 0) {
            return -1;
        }
    }
    ClipScaledPixels += static_cast<long long>(w) * h;
    return 0;
}

// The shown part of the copy with the matching source cut at the nearest
// whole texels, as SDL itself clips at a clip rectangle; both ends of the cut
// are rounded, so it stays within the source.
int CutShownPart(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                 const Box64& whole, const Box64& shown, SDL_RendererFlip flip, const Output& o)
{
    int64_t l0 = shown.x0 - whole.x0;
    int64_t l1 = shown.x1 - whole.x0;
    int64_t t0 = shown.y0 - whole.y0;
    int64_t t1 = shown.y1 - whole.y0;
    if ((flip & SDL_FLIP_HORIZONTAL) != 0) {
        std::swap(l0, l1);
        l0 = whole.W() - l0;
        l1 = whole.W() - l1;
    }
    if ((flip & SDL_FLIP_VERTICAL) != 0) {
        std::swap(t0, t1);
        t0 = whole.H() - t0;
        t1 = whole.H() - t1;
    }
    // [a, b) of n texels for [p0, p1) of d pixels.
    auto cut = [](int64_t p0, int64_t p1, int n, int64_t d, int& start, int& length) {
        const double per = static_cast<double>(n) / static_cast<double>(d);
        int64_t a = std::llround(static_cast<double>(p0) * per);
        int64_t b = std::llround(static_cast<double>(p1) * per);
        a = std::clamp<int64_t>(a, 0, n - 1);
        b = std::clamp<int64_t>(b, a + 1, n);
        start = static_cast<int>(a);
        length = static_cast<int>(b - a);
    };
    SDL_Rect part{};
    cut(l0, l1, src.w, whole.W(), part.x, part.w);
    cut(t0, t1, src.h, whole.H(), part.y, part.h);
    part.x += src.x;
    part.y += src.y;
    const SDL_Rect to{static_cast<int>(shown.x0 - o.vx), static_cast<int>(shown.y0 - o.vy),
                      static_cast<int>(shown.W()), static_cast<int>(shown.H())};
    OutputPixels unit(renderer, o);
    return SDL_RenderCopyEx(renderer, texture, &part, &to, 0.0, nullptr, flip);
}

// The source as SDL takes it: within the texture. False when nothing is left.
bool SourceWithin(SDL_Texture* texture, const SDL_Rect& src, SDL_Rect* source, int* tw, int* th)
{
    if (SDL_QueryTexture(texture, nullptr, nullptr, tw, th) != 0) {
        return false;
    }
    const SDL_Rect within{0, 0, *tw, *th};
    return SDL_IntersectRect(&src, &within, source) == SDL_TRUE;
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

int CopyCutToBound(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                   const CopyRect& dst, double angle, SDL_RendererFlip flip)
{
    const CopyRect d = Held(dst);
    if (d.w <= 0 || d.h <= 0) {
        return 0;
    }
    // Far enough out that the cut edges never show, near enough that any
    // renderer's rasteriser takes the corners without loss (SDL's own
    // software one multiplies coordinates in int).
    constexpr int64_t Margin = 4096;
    const Box64 area = VisibleArea(renderer);
    const Box64 bound{area.x0 - Margin, area.y0 - Margin, area.x1 + Margin, area.y1 + Margin};
    const Box64 whole{d.x, d.y, d.x + d.w, d.y + d.h};
    if (whole.Within(bound)) {
        const SDL_Rect r = IntRect(d);
        return SDL_RenderCopyEx(renderer, texture, &src, &r, angle, nullptr, flip);
    }
    if (Turned(angle)) {
        // Nothing in the game turns; a turned copy is not cut, only kept
        // out of the int range.
        const SDL_FRect r{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.w),
                          static_cast<float>(d.h)};
        return SDL_RenderCopyExF(renderer, texture, &src, &r, angle, nullptr, flip);
    }
    const Box64 cut = whole.Meet(bound);
    SDL_Rect source;
    int tw = 0;
    int th = 0;
    if (cut.Empty() || !SourceWithin(texture, src, &source, &tw, &th)) {
        return 0;
    }
    // Where the cut's edges fall in the source, as fractions of the whole.
    double u0 = static_cast<double>(cut.x0 - whole.x0) / static_cast<double>(d.w);
    double u1 = static_cast<double>(cut.x1 - whole.x0) / static_cast<double>(d.w);
    double v0 = static_cast<double>(cut.y0 - whole.y0) / static_cast<double>(d.h);
    double v1 = static_cast<double>(cut.y1 - whole.y0) / static_cast<double>(d.h);
    if ((flip & SDL_FLIP_HORIZONTAL) != 0) {
        u0 = 1 - u0;
        u1 = 1 - u1;
    }
    if ((flip & SDL_FLIP_VERTICAL) != 0) {
        v0 = 1 - v0;
        v1 = 1 - v1;
    }
    auto tu = [&](double u) { return static_cast<float>((source.x + u * source.w) / tw); };
    auto tv = [&](double v) { return static_cast<float>((source.y + v * source.h) / th); };
    SDL_Color colour{255, 255, 255, 255};
    SDL_GetTextureColorMod(texture, &colour.r, &colour.g, &colour.b);
    SDL_GetTextureAlphaMod(texture, &colour.a);
    const float x0 = static_cast<float>(cut.x0);
    const float y0 = static_cast<float>(cut.y0);
    const float x1 = static_cast<float>(cut.x1);
    const float y1 = static_cast<float>(cut.y1);
    const SDL_Vertex corners[4] = {{{x0, y0}, colour, {tu(u0), tv(v0)}},
                                   {{x1, y0}, colour, {tu(u1), tv(v0)}},
                                   {{x1, y1}, colour, {tu(u1), tv(v1)}},
                                   {{x0, y1}, colour, {tu(u0), tv(v1)}}};
    const int order[6] = {0, 1, 2, 0, 2, 3};
    return SDL_RenderGeometry(renderer, texture, corners, 4, order, 6);
}

int CopyInsideTarget(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                     const CopyRect& dst, double angle, SDL_RendererFlip flip)
{
    if (!IsSoftwareRenderer(renderer)) {
        return CopyCutToBound(renderer, texture, src, dst, angle, flip);
    }
    const CopyRect d = Held(dst);
    if (d.w <= 0 || d.h <= 0) {
        return 0;
    }
    const Box64 given{d.x, d.y, d.x + d.w, d.y + d.h};
    const bool fits = FitsInt(given);
    const Output o = OutputOf(renderer);
    if (Turned(angle)) {
        // Nothing in the game turns (Spin and Angle stay 0); a turned copy no
        // larger than the target is SDL's to clip, a larger one is skipped.
        const double covered = static_cast<double>(Scaled(d.w, o.sx)) * Scaled(d.h, o.sy);
        if (fits && covered <= static_cast<double>(o.visible.W()) * o.visible.H()) {
            const SDL_Rect r = IntRect(d);
            return SDL_RenderCopyEx(renderer, texture, &src, &r, angle, nullptr, flip);
        }
        return 0;
    }
    const Box64 whole = OnOutput(d, o, flip != SDL_FLIP_NONE);
    if (whole.Empty()) {
        return 0;
    }
    if (fits && whole.Within(o.visible)) {
        const SDL_Rect r = IntRect(d);
        return SDL_RenderCopyEx(renderer, texture, &src, &r, 0.0, nullptr, flip);
    }
    const Box64 shown = whole.Meet(o.visible);
    SDL_Rect source;
    int tw = 0;
    int th = 0;
    if (shown.Empty() || !SourceWithin(texture, src, &source, &tw, &th)) {
        return 0;
    }
    const auto* pixels = static_cast<const SDL_Surface*>(SDL_GetTextureUserData(texture));
    const bool unscaled = source.w == whole.W() && source.h == whole.H();
    if (pixels != nullptr && !unscaled && pixels->w == tw && pixels->h == th) {
        return ScaleShownPart(renderer, texture, pixels, source, whole, shown, flip, o);
    }
    return CutShownPart(renderer, texture, source, whole, shown, flip, o);
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
