#include "graphics/Graphics_Primitive.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/ErrorSink.h"
#include "graphics/Graphics_HardwareTexture.h"
#include "graphics/Graphics_RenderState.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/Graphics_Transform.h"
#include "graphics/device/D3D_Types.h"
#include "runner/GameData.h"

PrimitiveState g_Primitives;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBlack = 0x000000;

float Depth() { return g_RenderStates.depth2D; }
float OffsetX() { return g_Transforms.primitiveOffsetX; }
float OffsetY() { return g_Transforms.primitiveOffsetY; }

// A script colour with the draw alpha.
uint32_t WithDrawAlpha(uint32_t colour) { return ColourWithAlpha(colour, g_Primitives.drawAlpha); }

ColouredVertex* Coloured(int32_t kind, int32_t count) {
  return static_cast<ColouredVertex*>(AllocVerts(kind, nullptr, kVertexSizeColour, count));
}
TexturedVertex* Textured(int32_t kind, int32_t count) {
  return static_cast<TexturedVertex*>(AllocVerts(kind, nullptr, kVertexSizeTextured, count));
}

ColouredVertex CV(float x, float y, uint32_t argb) { return ColouredVertex{x, y, Depth(), argb}; }
TexturedVertex TV(float x, float y, uint32_t argb) { return TexturedVertex{x, y, Depth(), argb, 0.0f, 0.0f}; }

void Sort(float& a, float& b) {
  if (a > b) std::swap(a, b);
}

// A whole-number right or bottom edge is moved just past the pixel boundary.
float PastWhole(float v) { return v == std::floor(v) ? v + 0.01f : v; }

void EnsureTables() {
  PrimitiveState& p = g_Primitives;
  if (p.tablePrecision == p.circlePrecision) return;
  const int32_t n = p.circlePrecision;
  for (int32_t i = 0; i <= n; ++i) {
    const double angle = 2.0 * M_PI * i / n;
    p.circleCos[i] = static_cast<float>(std::cos(angle));
    p.circleSin[i] = static_cast<float>(std::sin(angle));
  }
  p.tablePrecision = n;
}

void ThickLine(float x1, float y1, float x2, float y2, float width, uint32_t argb1, uint32_t argb2) {
  x1 += OffsetX(), y1 += OffsetY(), x2 += OffsetX(), y2 += OffsetY();
  const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (!(length != 0.0f)) return;
  const float tx = (y2 - y1) * width / 2.0f / length;
  const float ty = (x2 - x1) * width / 2.0f / length;
  ColouredVertex* v = Coloured(D3DPT_TRIANGLEFAN, 4);
  v[0] = CV(x1 - tx, y1 + ty, argb1);
  v[1] = CV(x2 - tx, y2 + ty, argb2);
  v[2] = CV(x2 + tx, y2 - ty, argb2);
  v[3] = CV(x1 + tx, y1 - ty, argb1);
}

void Triangle(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t c1, uint32_t c2, uint32_t c3,
              bool outline) {
  if (outline) {
    TexturedVertex* v = Textured(D3DPT_LINESTRIP, 4);
    v[0] = TV(x1, y1, c1), v[1] = TV(x2, y2, c2), v[2] = TV(x3, y3, c3), v[3] = TV(x1, y1, c1);
  } else {
    TexturedVertex* v = Textured(D3DPT_TRIANGLELIST, 3);
    v[0] = TV(x1, y1, c1), v[1] = TV(x2, y2, c2), v[2] = TV(x3, y3, c3);
  }
}

// Two triangles of one colour from (x1, y1) to (x2, y2).
void FilledBox(float x1, float y1, float x2, float y2, uint32_t argb) {
  TexturedVertex* v = Textured(D3DPT_TRIANGLELIST, 6);
  v[0] = TV(x1, y1, argb), v[1] = TV(x2, y1, argb), v[2] = TV(x2, y2, argb);
  v[3] = v[2], v[4] = TV(x1, y2, argb), v[5] = v[0];
}

// The rounded rectangle of the box (corners already sorted and edged).
void RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, uint32_t centre,
               uint32_t edge, bool outline) {
  EnsureTables();
  const PrimitiveState& p = g_Primitives;
  x1 += OffsetX(), y1 += OffsetY(), x2 += OffsetX(), y2 += OffsetY();
  const float cx = (x1 + x2) / 2.0f, cy = (y1 + y2) / 2.0f;
  const float boxWidth = x2 - x1, boxHeight = y2 - y1;
  cornerWidth = std::min(cornerWidth, boxWidth);
  cornerHeight = std::min(cornerHeight, boxHeight);
  const float hx = (boxWidth - cornerWidth) / 2.0f, hy = (boxHeight - cornerHeight) / 2.0f;
  const float rx = cornerWidth / 2.0f, ry = cornerHeight / 2.0f;
  const int32_t n = p.circlePrecision, quarter = n / 4;
  const int32_t count = n + 6;
  TexturedVertex* v = Textured(outline ? D3DPT_LINESTRIP : D3DPT_TRIANGLEFAN, count);
  int32_t at = 1;
  const float arcX[4] = {hx, -hx, -hx, hx};
  const float arcY[4] = {hy, hy, -hy, -hy};
  for (int32_t arc = 0; arc < 4; ++arc) {
    for (int32_t i = arc * quarter; i <= (arc + 1) * quarter; ++i)
      v[at++] = TV(cx + arcX[arc] + p.circleCos[i] * rx, cy + arcY[arc] + p.circleSin[i] * ry, edge);
  }
  v[at] = v[1];
  v[0] = outline ? v[1] : TV(cx, cy, centre);
}

void Ellipse(float x1, float y1, float x2, float y2, uint32_t centre, uint32_t edge, bool outline) {
  EnsureTables();
  const PrimitiveState& p = g_Primitives;
  x1 += OffsetX(), y1 += OffsetY(), x2 += OffsetX(), y2 += OffsetY();
  const float cx = (x1 + x2) / 2.0f, cy = (y1 + y2) / 2.0f;
  const float rx = (x2 - x1) / 2.0f, ry = (y2 - y1) / 2.0f;
  const int32_t n = p.circlePrecision;
  if (outline) {
    ColouredVertex* v = Coloured(D3DPT_LINESTRIP, n + 1);
    for (int32_t i = 0; i <= n; ++i) v[i] = CV(p.circleCos[i] * rx + cx, p.circleSin[i] * ry + cy, edge);
    return;
  }
  ColouredVertex* v = Coloured(D3DPT_TRIANGLELIST, n * 3);
  for (int32_t i = 0; i < n; ++i) {
    v[3 * i] = CV(cx, cy, centre);
    v[3 * i + 1] = CV(p.circleCos[i] * rx + cx, p.circleSin[i] * ry + cy, edge);
    v[3 * i + 2] = CV(p.circleCos[i + 1] * rx + cx, p.circleSin[i + 1] * ry + cy, edge);
  }
}

}  // namespace

// ---- Colour state ----

void GR_SetColour(uint32_t colour) { g_Primitives.drawColour = WithDrawAlpha(colour); }

void GR_SetAlpha(float alpha) {
  PrimitiveState& p = g_Primitives;
  p.drawAlpha = AlphaToByte(alpha);
  p.drawColour = ColourReplaceAlpha(p.drawColour, p.drawAlpha);
}

uint32_t GR_GetColour() {
  const uint32_t c = g_Primitives.drawColour;
  return (c & 0xFF00FF00u) | (c & 0xFFu) << 16 | ((c >> 16) & 0xFFu);
}

float GR_GetAlpha() { return static_cast<float>(g_Primitives.drawAlpha) / 255.0f; }

void GR_SetCirclePrecision(int32_t n) {
  n = std::clamp(n, 4, kMaxCirclePrecision);
  g_Primitives.circlePrecision = n & ~3;
  EnsureTables();
}

int32_t GR_GetCirclePrecision() { return g_Primitives.circlePrecision; }

// ---- Primitives ----

void GR_DrawPoint(float x, float y) {
  ColouredVertex* v = Coloured(D3DPT_POINTLIST, 1);
  v[0] = CV(x + OffsetX(), y + OffsetY(), g_Primitives.drawColour);
}

void GR_DrawPointColour(float x, float y, uint32_t colour) {
  ColouredVertex* v = Coloured(D3DPT_POINTLIST, 1);
  v[0] = CV(x + OffsetX(), y + OffsetY(), WithDrawAlpha(colour));
}

void GR_DrawLine(float x1, float y1, float x2, float y2) {
  const uint32_t c = g_Primitives.drawColour;
  ColouredVertex* v = Coloured(D3DPT_LINELIST, 2);
  v[0] = CV(x1 + OffsetX(), y1 + OffsetY(), c);
  v[1] = CV(x2 + OffsetX(), y2 + OffsetY(), c);
}

void GR_DrawLineColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2) {
  ColouredVertex* v = Coloured(D3DPT_LINELIST, 2);
  v[0] = CV(x1 + OffsetX(), y1 + OffsetY(), WithDrawAlpha(colour1));
  v[1] = CV(x2 + OffsetX(), y2 + OffsetY(), WithDrawAlpha(colour2));
}

void GR_DrawLineWidth(float x1, float y1, float x2, float y2, float width) {
  ThickLine(x1, y1, x2, y2, width, g_Primitives.drawColour, g_Primitives.drawColour);
}

void GR_DrawLineWidthColour(float x1, float y1, float x2, float y2, float width, uint32_t colour1, uint32_t colour2) {
  ThickLine(x1, y1, x2, y2, width, WithDrawAlpha(colour1), WithDrawAlpha(colour2));
}

void GR_DrawTriangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline) {
  const uint32_t c = g_Primitives.drawColour;
  Triangle(x1, y1, x2, y2, x3, y3, c, c, c, outline);
}

void GR_DrawTriangleColour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                           uint32_t colour2, uint32_t colour3, bool outline) {
  Triangle(x1, y1, x2, y2, x3, y3, WithDrawAlpha(colour1), WithDrawAlpha(colour2), WithDrawAlpha(colour3), outline);
}

void GR_DrawRectangle(float x1, float y1, float x2, float y2, bool outline) {
  Sort(x1, x2);
  Sort(y1, y2);
  const uint32_t c = g_Primitives.drawColour;
  if (!outline) {
    FilledBox(x1, y1, x2 + OffsetX(), y2 + OffsetY(), c);
    return;
  }
  x1 += OffsetX(), y1 += OffsetY(), x2 += OffsetX(), y2 += OffsetY();
  TexturedVertex* v = Textured(D3DPT_LINESTRIP, 5);
  v[0] = TV(x1, y1, c), v[1] = TV(x2, y1, c), v[2] = TV(x2, y2, c), v[3] = TV(x1, y2, c), v[4] = v[0];
  TexturedVertex* corners = Textured(D3DPT_POINTLIST, 4);
  corners[0] = TV(x1, y1, c), corners[1] = TV(x2, y1, c), corners[2] = TV(x2, y2, c), corners[3] = TV(x1, y2, c);
}

void GR_DrawRectangleColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                            uint32_t colour3, uint32_t colour4, bool outline) {
  x2 += OffsetX(), y2 += OffsetY();
  Sort(x1, x2);
  Sort(y1, y2);
  x2 = PastWhole(x2);
  y2 = PastWhole(y2);
  const uint32_t c1 = WithDrawAlpha(colour1), c2 = WithDrawAlpha(colour2);
  const uint32_t c3 = WithDrawAlpha(colour3), c4 = WithDrawAlpha(colour4);
  TexturedVertex* v = Textured(outline ? D3DPT_LINESTRIP : D3DPT_TRIANGLEFAN, 5);
  v[0] = TV(x1, y1, c1), v[1] = TV(x2, y1, c2), v[2] = TV(x2, y2, c3), v[3] = TV(x1, y2, c4), v[4] = v[0];
}

void GR_DrawRoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, bool outline) {
  Sort(x1, x2);
  Sort(y1, y2);
  const uint32_t c = g_Primitives.drawColour;
  RoundRect(x1, y1, PastWhole(x2), PastWhole(y2), cornerWidth, cornerHeight, c, c, outline);
}

void GR_DrawRoundRectColour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                            uint32_t centreColour, uint32_t edgeColour, bool outline) {
  Sort(x1, x2);
  Sort(y1, y2);
  RoundRect(x1, y1, PastWhole(x2), PastWhole(y2), cornerWidth, cornerHeight, WithDrawAlpha(centreColour),
            WithDrawAlpha(edgeColour), outline);
}

void GR_DrawEllipse(float x1, float y1, float x2, float y2, bool outline) {
  Ellipse(x1, y1, x2, y2, g_Primitives.drawColour, g_Primitives.drawColour, outline);
}

void GR_DrawEllipseColour(float x1, float y1, float x2, float y2, uint32_t centreColour, uint32_t edgeColour,
                          bool outline) {
  Ellipse(x1, y1, x2, y2, WithDrawAlpha(centreColour), WithDrawAlpha(edgeColour), outline);
}

void GR_DrawCircle(float x, float y, float radius, bool outline) {
  GR_DrawEllipse(x - radius, y - radius, x + radius, y + radius, outline);
}

void GR_DrawCircleColour(float x, float y, float radius, uint32_t centreColour, uint32_t edgeColour, bool outline) {
  GR_DrawEllipseColour(x - radius, y - radius, x + radius, y + radius, centreColour, edgeColour, outline);
}

void GR_DrawArrow(float x1, float y1, float x2, float y2, float size) {
  const float length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (!(length != 0.0f)) return;
  size = std::min(size, length);
  const uint32_t c = g_Primitives.drawColour;
  ColouredVertex* line = Coloured(D3DPT_LINELIST, 2);
  line[0] = CV(x1 + OffsetX(), y1 + OffsetY(), c);
  line[1] = CV(x2 + OffsetX(), y2 + OffsetY(), c);
  const float dx = size * (x2 - x1) / length, dy = size * (y2 - y1) / length;
  TexturedVertex* head = Textured(D3DPT_TRIANGLELIST, 3);
  head[0] = TV(x2 - dx - dy / 3.0f, y2 - dy + dx / 3.0f, c);
  head[1] = TV(x2, y2, c);
  head[2] = TV(x2 - dx + dy / 3.0f, y2 - dy - dx / 3.0f, c);
}

void GR_DrawButton(float x1, float y1, float x2, float y2, bool up) {
  const uint32_t lit = WithDrawAlpha(up ? kWhite : kGrey);
  const uint32_t shadow = WithDrawAlpha(up ? kGrey : kWhite);
  Triangle(x1, y1, x2, y1, x1, y2, lit, lit, lit, false);
  Triangle(x1, y2, x2, y1, x2, y2, shadow, shadow, shadow, false);
  float fx1 = x1 + 2.0f, fy1 = y1 + 2.0f, fx2 = x2 - 2.0f, fy2 = y2 - 2.0f;
  Sort(fx1, fx2);
  Sort(fy1, fy2);
  FilledBox(fx1, fy1, fx2 + OffsetX(), fy2 + OffsetY(), g_Primitives.drawColour);
}

void GR_DrawHealthbar(float x1, float y1, float x2, float y2, float amount, uint32_t backColour,
                      uint32_t minColour, uint32_t midColour, uint32_t maxColour, int32_t direction, bool showBack,
                      bool showBorder) {
  const bool border = showBack && showBorder;
  if (showBack) {
    GR_DrawRectangleColour(x1, y1, x2, y2, backColour, backColour, backColour, backColour, false);
    if (border) GR_DrawRectangleColour(x1, y1, x2, y2, kBlack, kBlack, kBlack, kBlack, true);
  }
  amount = std::clamp(amount, 0.0f, 100.0f);  // NaN stays NaN and draws nothing
  if (!(amount > 0.0f)) return;
  const float fraction = amount / 100.0f;
  const float width = x2 - x1, height = y2 - y1;
  switch (direction) {
    case 1: x1 = x2 - width * fraction; break;
    case 2: y2 = y1 + height * fraction; break;
    case 3: y1 = y2 - height * fraction; break;
    default: x2 = x1 + width * fraction; break;
  }
  const uint32_t colour = amount <= 50.0f ? MergeColour(minColour, midColour, amount / 50.0f)
                                          : MergeColour(midColour, maxColour, (amount - 50.0f) / 50.0f);
  GR_DrawRectangleColour(x1, y1, x2, y2, colour, colour, colour, colour, false);
  if (border) GR_DrawRectangleColour(x1, y1, x2, y2, kBlack, kBlack, kBlack, kBlack, true);
}

// ---- The primitive builder ----

void GR_PrimitiveBegin(int32_t kind, double texture) {
  PrimitiveState& p = g_Primitives;
  p.vertexCount = 0;
  p.builderKind = kind;
  p.builderHasEntry = false;
  p.builderTextureId = -1;
  if (texture == -1.0) return;
  const TextureHandle handle = GR_Texture_Resolve(texture);
  if (handle.kind == TextureHandleKind::kTexture) {
    p.builderTextureId = handle.id;
    return;
  }
  if (handle.kind == TextureHandleKind::kEntry) {
    const TPageEntry e = TPageEntry_Read(handle.entry);
    HardwareTexture* page = GR_Texture_GetHardware(e.texturePage);
    if (page == nullptr) {
      ReportRuntimeError("Illegal texture supplied.", true);
      return;
    }
    p.builderTextureId = e.texturePage;
    p.builderHasEntry = true;
    p.entryX = e.x, p.entryY = e.y, p.entryWidth = e.cropWidth, p.entryHeight = e.cropHeight;
    p.pageWidth = static_cast<float>(HardwareTexture_Width(page));
    p.pageHeight = static_cast<float>(HardwareTexture_Height(page));
    return;
  }
  // Neither a texture id nor a handle the table knows: never taken as an address.
  ReportRuntimeError("Illegal texture supplied.", true);
}

namespace {

void AddVertex(float x, float y, uint32_t argb, float u, float v) {
  PrimitiveState& p = g_Primitives;
  if (p.vertexCount >= kMaxPrimitiveVertices) return;
  if (p.builderHasEntry) {
    u = (p.entryWidth * u + p.entryX) / p.pageWidth;
    v = (p.entryHeight * v + p.entryY) / p.pageHeight;
  }
  p.vertices[p.vertexCount++] = TexturedVertex{x, y, Depth(), argb, u, v};
}

}  // namespace

void GR_PrimitiveVertex(float x, float y) { AddVertex(x, y, g_Primitives.drawColour, 0.0f, 0.0f); }

void GR_PrimitiveVertexColour(float x, float y, uint32_t colour, float alpha) {
  AddVertex(x, y, ColourWithAlpha(colour, AlphaToByte(alpha)), 0.0f, 0.0f);
}

void GR_PrimitiveVertexTexture(float x, float y, float u, float v) {
  AddVertex(x, y, g_Primitives.drawColour, u, v);
}

void GR_PrimitiveVertexTextureColour(float x, float y, float u, float v, uint32_t colour, float alpha) {
  AddVertex(x, y, ColourWithAlpha(colour, AlphaToByte(alpha)), u, v);
}

void GR_PrimitiveEnd() {
  const PrimitiveState& p = g_Primitives;
  const int32_t n = p.vertexCount;
  // Only the vertices of whole primitives go into the batch, so that a list primitive batched
  // after this one starts on its own first vertex.
  int32_t used = n;
  switch (p.builderKind) {
    case D3DPT_POINTLIST: break;
    case D3DPT_LINELIST: used = n / 2 * 2; break;
    case D3DPT_LINESTRIP: used = n >= 2 ? n : 0; break;
    case D3DPT_TRIANGLELIST: used = n / 3 * 3; break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: used = n >= 3 ? n : 0; break;
    default: return;
  }
  if (used < 1) return;
  HardwareTexture* texture = p.builderTextureId >= 0 ? GR_Texture_GetHardware(p.builderTextureId) : nullptr;
  void* out = AllocVerts(p.builderKind, texture, kVertexSizeTextured, used);
  std::memcpy(out, p.vertices, sizeof(TexturedVertex) * static_cast<size_t>(used));
}
