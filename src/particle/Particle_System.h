// The particle systems of the running game: one process-wide table of system records named by
// their slot index. A system holds the settings room drawing reads (depth, position, drawing
// order, automatic update and drawing); its particles, emitters and modifiers are not kept here.
// Systems are not tied to rooms: a room change leaves them as they are. Runtime_Reset empties the
// table (ParticleSystem_DestroyAll). Main thread only.
#pragma once

#include <cstdint>

#include "platform/GrowArray.h"

struct ParticleSystem {
  uint8_t inUse = 1;     // exactly 1: a live system
  uint8_t oldToNew = 1;  // draw the oldest particle first
  float depth = 0.0f;    // drawing depth in the room
  float x = 0.0f;        // offset added to every particle when drawn
  float y = 0.0f;
  uint8_t automaticUpdate = 1;
  uint8_t automaticDraw = 1;  // drawn by the room drawing at its depth
};

// The table: a freed slot keeps its record (in use 0) and is reused by the next creation.
struct ParticleSystemTable {
  GrowArray<ParticleSystem*> systems;
};
extern ParticleSystemTable g_ParticleSystems;

// The depth ParticleSystem_MaxDepth and ParticleSystem_NextDepthBelow answer when no system
// qualifies.
constexpr float kNoParticleDepth = -1000000000.0f;

// A new system: the first slot whose record is not in use, else a new slot at the end; its record
// is cleared and in use. Answers the id.
int32_t ParticleSystem_Create();
// True when the id names a slot whose record is in use.
bool ParticleSystem_Exists(int32_t id);
// Clears the system, then frees its slot for reuse. Nothing for a bad id (so for each below).
void ParticleSystem_Destroy(int32_t id);
// Every setting back to its default.
void ParticleSystem_Clear(int32_t id);
void ParticleSystem_DrawOrder(int32_t id, bool oldToNew);
void ParticleSystem_Depth(int32_t id, float depth);
void ParticleSystem_Position(int32_t id, float x, float y);
void ParticleSystem_AutomaticUpdate(int32_t id, bool on);
void ParticleSystem_AutomaticDraw(int32_t id, bool on);
// Deletes every record and frees the table.
void ParticleSystem_DestroyAll();

// ---- Room drawing ----
// Only systems in use and drawn automatically count.

// The greatest depth among them, kNoParticleDepth when there is none.
float ParticleSystem_MaxDepth();
// The greatest depth among them strictly below `depth`, kNoParticleDepth when there is none.
float ParticleSystem_NextDepthBelow(float depth);
// Draws, in table order, every one whose depth lies within 0.01 of `depth`; answers how many.
int32_t ParticleSystem_DrawAtDepth(float depth);
