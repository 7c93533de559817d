// 3-D mode and the projection operations. 2-D drawing is the default; 3-D mode (d3d_start,
// d3d_end) makes the per-view projection a perspective one (while the perspective flag is on),
// turns the depth test on (while the hidden-surface flag is on) and lets 2-D draws take the depth
// that GR_3D_SetDepth gives them. The flags live in the drawing-state values
// (g_RenderStates, graphics/Graphics_RenderState.h) beside their setters; the matrices in the
// transforms (graphics/Graphics_Transform.h). Angles are in degrees. Main thread only.
#pragma once

#include <cstdint>

// Switches 3-D mode; answers true. The same mode again does nothing; otherwise the open batch is
// drawn, then the mode, the perspective flag and the hidden-surface flag (GR_3D_SetHidden) all
// take `on`.
bool GR_3D_SetMode(bool on);
bool GR_3D_GetMode();

// Each sets its matrices through SetTransformMatrix (nothing reaches a missing device) and marks
// the visible region stale.
// The view matrix looks from (xFrom, yFrom, zFrom) at (xTo, yTo, zTo) with the up vector given;
// the projection, the clip distances and the orthographic flags are kept.
void GR_3D_SetProjection(float xFrom, float yFrom, float zFrom, float xTo, float yTo, float zTo, float xUp,
                         float yUp, float zUp);
// The same view, then a perspective projection of vertical field `angle`, `aspect`, and clip
// distances zNear and zFar (which the fog range then follows); not orthographic.
void GR_3D_SetProjectionExt(float xFrom, float yFrom, float zFrom, float xTo, float yTo, float zTo, float xUp,
                            float yUp, float zUp, float angle, float aspect, float zNear, float zFar);
// An orthographic view of the room rectangle (x, y, w, h) turned by `angle`, y growing downwards,
// eye at z -16000, clip distances 1 and 32000; sets the custom-orthographic flag.
void GR_3D_SetProjectionOrtho(float x, float y, float w, float h, float angle);
// A perspective view of the same rectangle, eye at z -w, clip distances 1 and 32000.
void GR_3D_SetProjectionPerspective(float x, float y, float w, float h, float angle);
