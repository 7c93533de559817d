// The OpenGL 3.3 core back end of the device layer (through libepoxy).
//
// The device object owns the GL context: made on the game's SDL window (which must have been
// created with SDL_WINDOW_OPENGL; headless runs use SDL's offscreen driver), or, without a
// window, an EGL surfaceless context on Mesa. So the renderer's name and the limits are known
// before the device exists. The device renders into a framebuffer object of its own (RGBA8
// colour, depth 24 / stencil 8 or depth 16, optionally multisampled) with row 0 at the top;
// Present resolves it, blits it flipped onto the window and swaps. Reset remakes it; the device
// is never lost.
//
// There is one adapter, named by GL_RENDERER, on display 0 of the display source
// (os/OS_DisplayModes.h). Capabilities: shader model 3.0, table fog, 4 simultaneous targets,
// sample counts up to GL_MAX_SAMPLES. Dithering is off.
//
// Draws go through the fixed-function pipeline of D3D_GLPipeline.h, which applies the states
// that changed at each draw. Vertex buffers are GL buffers with a copy of their bytes: Lock hands
// out the copy and Unlock uploads the locked range (a discarding lock gives up the old storage
// first). A reset puts every state back to its default and unbinds textures and the stream.
//
// Textures are RGBA8 GL textures of one level (bytes R, G, B, A) with a copy of their pixels in
// the device's format, which locks hand out: the copy is converted on the CPU at every upload
// (16-bit A4R4G4B4 widened to 8 bits a channel) and, for a texture the device has drawn or copied
// into, read back and converted at every lock. System-memory textures are only the copy.
// Render targets are renderbuffers (RGBA8, multisampled when asked) and depth-stencil surfaces
// are renderbuffers in the depth format; a texture's level surface attaches the texture itself.
// StretchRect is glBlitFramebuffer (linear when asked and the sizes differ, exact otherwise),
// and every read-back is glReadPixels with row 0 at the top.
#pragma once

#include <cstdint>

#include "graphics/device/D3D_Device.h"

const D3D_Backend* GL_D3DBackend();

// The one conversion every vertex stage of this back end ends with: from the device's clip
// space (depth 0..1, y up, pixel centres on integer screen coordinates) to GL's (depth -1..1,
// y negated because row 0 of our framebuffers is the top, centres half a pixel in). GLSL 330
// text declaring `uniform vec2 u_pixelOffset` (set to 1 / viewport width, 1 / viewport height)
// and `vec4 ClipFromDevice(vec4 clip)`.
extern const char kGLClipFromDevice[];

// Reads a rectangle of the device's back buffer (resolved when multisampled) into `pixels`,
// width x height words 0xAARRGGBB, rows from the top. False for a device of another back end or
// a rectangle outside the back buffer.
bool GL_ReadBackBuffer(IDirect3DDevice9* device, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t* pixels);
