// The draw colour and alpha, and the untextured 2-D primitives: points, lines (thin and thick),
// triangles, rectangles, rounded rectangles, ellipses and circles, arrows, buttons and health
// bars, plus the free-form primitive builder (draw_primitive_begin / draw_vertex /
// draw_primitive_end), which may be textured.
//
// Colours given here are script colours (0xBBGGRR, platform/Colour.h), combined with the draw
// alpha; the draw colour is kept as a vertex colour (0xAARRGGBB) whose top byte is the draw
// alpha. Every primitive goes straight into the vertex batch (AllocVerts) at the 2-D depth, with
// no texture unless said. Where a drawer says "offsets", the primitive offsets of the transforms
// (1.0 each, graphics/Graphics_Transform.h) are added, so that a point drawn at (x, y) lights
// pixel (x, y). Main thread only.
#pragma once

#include <cstdint>

#include "graphics/Graphics_Batch.h"
#include "platform/Colour.h"

// Vertices a built primitive holds; later ones are dropped.
constexpr int32_t kMaxPrimitiveVertices = 1001;
constexpr int32_t kMaxCirclePrecision = 64;

struct PrimitiveState {
  uint32_t drawColour = 0xFF000000u;  // opaque black
  uint8_t drawAlpha = 255;
  // Segments of a full ellipse: a multiple of 4 in 4..64. The tables hold cos and sin of
  // 2 pi i / precision for i = 0..precision; they are rebuilt whenever tablePrecision differs.
  int32_t circlePrecision = 24;
  int32_t tablePrecision = 0;
  float circleCos[kMaxCirclePrecision + 1] = {};
  float circleSin[kMaxCirclePrecision + 1] = {};
  // The primitive builder.
  int32_t builderKind = 0;
  int32_t builderTextureId = -1;  // -1 for none; its device texture is looked up at the end
  bool builderHasEntry = false;  // texture coordinates are mapped into the page entry below
  float entryX = 0, entryY = 0, entryWidth = 0, entryHeight = 0;  // source x, y; target size
  float pageWidth = 1, pageHeight = 1;                            // the page texture's real size
  int32_t vertexCount = 0;
  TexturedVertex vertices[kMaxPrimitiveVertices] = {};
};
extern PrimitiveState g_Primitives;

// ---- Colour state ----

// draw_set_colour: the draw colour becomes the colour with the draw alpha.
void GR_SetColour(uint32_t colour);
// draw_set_alpha: the draw alpha becomes AlphaToByte(alpha); the draw colour's top byte follows.
void GR_SetAlpha(float alpha);
// The draw colour as a script colour, the alpha byte still on top (draw_get_colour).
uint32_t GR_GetColour();
// The draw alpha / 255 (draw_get_alpha).
float GR_GetAlpha();
// n held to 4..64, then rounded down to a multiple of 4.
void GR_SetCirclePrecision(int32_t n);
int32_t GR_GetCirclePrecision();

// ---- Primitives ----

// One point (point list, 16-byte vertex); offsets.
void GR_DrawPoint(float x, float y);
void GR_DrawPointColour(float x, float y, uint32_t colour);
// One thin line (line list, 2 vertices of 16 bytes); offsets.
void GR_DrawLine(float x1, float y1, float x2, float y2);
void GR_DrawLineColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2);
// A thick line: a triangle fan of 4 vertices around the offset ends, `width` across; ends that
// meet draw nothing. Every thick line is its own draw.
void GR_DrawLineWidth(float x1, float y1, float x2, float y2, float width);
void GR_DrawLineWidthColour(float x1, float y1, float x2, float y2, float width, uint32_t colour1, uint32_t colour2);
// A triangle without offsets: outlined as a closed line strip of 4, filled as a list of 3
// (24-byte vertices).
void GR_DrawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline);
void GR_DrawTriangleColour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                           uint32_t colour2, uint32_t colour3, bool outline);
// The corners are sorted. Filled: two triangles from (x1, y1) to (x2, y2) plus the offsets, so
// the right and bottom pixels are covered. Outline: a line strip round (x1, y1) to (x2, y2), all
// offset, and the four corners again as points.
void GR_DrawRectangle(float x1, float y1, float x2, float y2, bool outline);
// (x2, y2) get the offsets, then the corners are sorted and a whole-number right or bottom edge
// gets 0.01 more. Five vertices, corners top-left, top-right, bottom-right, bottom-left with
// colours 1 to 4, and top-left again: a line strip when outlined, else a triangle fan.
void GR_DrawRectangleColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                            uint32_t colour3, uint32_t colour4, bool outline);
// A rectangle with elliptic corners of the given width and height (each held to the box),
// precision + 6 vertices: a fan from the centre, or its rim as a line strip.
void GR_DrawRoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, bool outline);
void GR_DrawRoundRectColour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                            uint32_t centreColour, uint32_t edgeColour, bool outline);
// The ellipse in the box (offsets): its rim as a line strip of precision + 1, or precision
// triangles from the centre.
void GR_DrawEllipse(float x1, float y1, float x2, float y2, bool outline);
void GR_DrawEllipseColour(float x1, float y1, float x2, float y2, uint32_t centreColour, uint32_t edgeColour,
                          bool outline);
void GR_DrawCircle(float x, float y, float radius, bool outline);
void GR_DrawCircleColour(float x, float y, float radius, uint32_t centreColour, uint32_t edgeColour, bool outline);
// A line with a filled head at (x2, y2) of `size` (held to the line's length); a line of length
// 0 draws nothing.
void GR_DrawArrow(float x1, float y1, float x2, float y2, float size);
// A bevelled button: lit and shadow triangles (white and grey, swapped when not up) and the face
// inset by 2 pixels in the draw colour.
void GR_DrawButton(float x1, float y1, float x2, float y2, bool up);
// A health bar: the back (and its black border), then the part `amount` (held to 0..100) of the
// box filled from the side `direction` names (1 right, 2 top, 3 bottom, else left) in a colour
// merged from minimum to middle to maximum.
void GR_DrawHealthbar(float x1, float y1, float x2, float y2, float amount, uint32_t backColour,
                      uint32_t minColour, uint32_t midColour, uint32_t maxColour, int32_t direction, bool showBack,
                      bool showBorder);

// ---- The primitive builder ----

// Starts a primitive of `kind` (1 points, 2 lines, 3 line strip, 4 triangles, 5 strip, 6 fan).
// `texture` is -1 for none, a texture id, or a page-entry handle (GR_Texture_Resolve); anything
// else is reported as "Illegal texture supplied." (fatal) and the primitive has no texture.
void GR_PrimitiveBegin(int32_t kind, double texture);
// Appends a vertex (x, y, 2-D depth) while fewer than 1001 are held; no offsets. The plain forms
// use the draw colour; texture coordinates are mapped into the page entry when the primitive has
// one.
void GR_PrimitiveVertex(float x, float y);
void GR_PrimitiveVertexColour(float x, float y, uint32_t colour, float alpha);
void GR_PrimitiveVertexTexture(float x, float y, float u, float v);
void GR_PrimitiveVertexTextureColour(float x, float y, float u, float v, uint32_t colour, float alpha);
// Draws the collected vertices when they make at least one primitive of the kind; an unknown
// kind draws nothing.
void GR_PrimitiveEnd();
