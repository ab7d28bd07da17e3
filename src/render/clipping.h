// Texture copies that stay inside the drawing target.
//
// SDL's software renderer scales a copy whose destination crosses the
// target's edge through a temporary surface the size of the whole
// destination, and a square left alone grows to tens of thousands of pixels:
// gigabytes per frame. On that renderer (however it came to be used) such a
// copy is clipped here first: the visible part is scaled here, straight to
// the output pixels SDL would have covered and the way SDL's own scaler
// would have drawn them, and handed to SDL as an unscaled copy. Other
// renderers clip on the GPU and get the copy unchanged, unless it reaches
// past the int range: then it is cut to a bound around the field first.
#pragma once

#include <SDL.h>
#include <atomic>
#include <cstdint>

// Makes a texture for `renderer` from `surface` and keeps a copy of its
// pixels with it, so that clipped copies of it can be scaled here. Null (with
// SDL's error) when SDL cannot make the texture.
SDL_Texture* CreatePictureTexture(SDL_Renderer* renderer, SDL_Surface* surface);
// Destroys a texture and the pixels kept with it (any texture; null is fine).
void DestroyPictureTexture(SDL_Texture* texture);

// True when `renderer` is SDL's software renderer.
bool IsSoftwareRenderer(SDL_Renderer* renderer);

// A destination in 64 bits: a square left alone grows far past the int
// range, and its picture must still show where it lies.
struct CopyRect {
    int64_t x;
    int64_t y;
    int64_t w;
    int64_t h;
};

// SDL_RenderCopyEx, except that SDL is never handed a destination beyond the
// int range, and on the software renderer never one that crosses the visible
// area. There a clipped copy covers exactly the output pixels SDL's own copy
// of the whole would cover, at any renderer scale; pictures made with
// CreatePictureTexture keep SDL's own look to within a colour level (scaled
// once, straight to output pixels), other textures are cut at the nearest
// whole source pixel (exact for copies that SDL does not scale).
int CopyInsideTarget(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                     const CopyRect& dst, double angle, SDL_RendererFlip flip);

// What CopyInsideTarget does on renderers other than the software one: a
// destination reaching far past the visible area is cut to a bound around it
// and drawn with the matching part of the source (as geometry, so the part
// need not fall on whole texels). Any renderer; tests use it on the software
// one.
int CopyCutToBound(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                   const CopyRect& dst, double angle, SDL_RendererFlip flip);

// Frees the scratch texture kept for `renderer`; call before destroying it.
void ResetClipping(SDL_Renderer* renderer);

// Pixels scaled here since start (for tests and benchmarks).
extern std::atomic<long long> ClipScaledPixels;
