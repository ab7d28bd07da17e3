// Texture copies that stay inside the drawing target.
//
// SDL's software renderer scales a copy whose destination crosses the
// target's edge through a temporary surface the size of the whole
// destination, and a square left alone grows to tens of thousands of pixels:
// gigabytes per frame. On that renderer (however it came to be used) such a
// copy is clipped here first: the visible part is scaled here, the way SDL's
// own scaler would have drawn it, and handed to SDL as an unscaled copy.
// Other renderers clip on the GPU and get the copy unchanged.
#pragma once

#include <SDL.h>
#include <atomic>

// Makes a texture for `renderer` from `surface` and keeps a copy of its
// pixels with it, so that clipped copies of it can be scaled here. Null (with
// SDL's error) when SDL cannot make the texture.
SDL_Texture* CreatePictureTexture(SDL_Renderer* renderer, SDL_Surface* surface);
// Destroys a texture and the pixels kept with it (any texture; null is fine).
void DestroyPictureTexture(SDL_Texture* texture);

// True when `renderer` is SDL's software renderer.
bool IsSoftwareRenderer(SDL_Renderer* renderer);

// SDL_RenderCopyEx, except that on the software renderer SDL is never handed
// a destination that crosses the visible area. Pictures made with
// CreatePictureTexture keep SDL's own look to the pixel; other textures are
// cut at the nearest whole source pixel (exact for unscaled copies).
int CopyInsideTarget(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect& src,
                     const SDL_Rect& dst, double angle, SDL_RendererFlip flip);

// Frees the scratch texture kept for `renderer`; call before destroying it.
void ResetClipping(SDL_Renderer* renderer);

// Pixels scaled here since start (for tests and benchmarks).
extern std::atomic<long long> ClipScaledPixels;
