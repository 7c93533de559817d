#include "particle/Particle_System.h"

#include <cmath>

ParticleSystemTable g_ParticleSystems;

namespace {

// The live record of `id`, or null.
ParticleSystem* Live(int32_t id) {
  GrowArray<ParticleSystem*>& systems = g_ParticleSystems.systems;
  if (id < 0 || id >= systems.Count()) return nullptr;
  ParticleSystem* system = systems[id];
  return system != nullptr && system->inUse == 1 ? system : nullptr;
}

bool DrawnByRoom(const ParticleSystem* system) {
  return system != nullptr && system->inUse == 1 && system->automaticDraw != 0;
}

// Draws one system's particles at its position. Systems hold no particles yet, so nothing
// reaches the batch.
void DrawSystem(const ParticleSystem& system) { (void)system; }

}  // namespace

int32_t ParticleSystem_Create() {
  GrowArray<ParticleSystem*>& systems = g_ParticleSystems.systems;
  int32_t id = 0;
  while (id < systems.Count() && systems[id] != nullptr && systems[id]->inUse != 0) ++id;
  if (id == systems.Count()) systems.Push(nullptr);
  if (systems[id] == nullptr) systems[id] = new ParticleSystem();
  *systems[id] = ParticleSystem{};
  return id;
}

bool ParticleSystem_Exists(int32_t id) { return Live(id) != nullptr; }

void ParticleSystem_Destroy(int32_t id) {
  ParticleSystem* system = Live(id);
  if (system == nullptr) return;
  *system = ParticleSystem{};
  system->inUse = 0;
}

void ParticleSystem_Clear(int32_t id) {
  if (ParticleSystem* system = Live(id)) *system = ParticleSystem{};
}

void ParticleSystem_DrawOrder(int32_t id, bool oldToNew) {
  if (ParticleSystem* system = Live(id)) system->oldToNew = oldToNew ? 1 : 0;
}

void ParticleSystem_Depth(int32_t id, float depth) {
  if (ParticleSystem* system = Live(id)) system->depth = depth;
}

void ParticleSystem_Position(int32_t id, float x, float y) {
  if (ParticleSystem* system = Live(id)) {
    system->x = x;
    system->y = y;
  }
}

void ParticleSystem_AutomaticUpdate(int32_t id, bool on) {
  if (ParticleSystem* system = Live(id)) system->automaticUpdate = on ? 1 : 0;
}

void ParticleSystem_AutomaticDraw(int32_t id, bool on) {
  if (ParticleSystem* system = Live(id)) system->automaticDraw = on ? 1 : 0;
}

void ParticleSystem_DestroyAll() {
  GrowArray<ParticleSystem*>& systems = g_ParticleSystems.systems;
  for (int32_t i = 0; i < systems.Count(); ++i) delete systems[i];
  systems.Free();
}

float ParticleSystem_MaxDepth() { return ParticleSystem_NextDepthBelow(INFINITY); }

float ParticleSystem_NextDepthBelow(float depth) {
  const GrowArray<ParticleSystem*>& systems = g_ParticleSystems.systems;
  float best = kNoParticleDepth;
  for (int32_t i = 0; i < systems.Count(); ++i) {
    const ParticleSystem* system = systems[i];
    if (DrawnByRoom(system) && system->depth < depth && system->depth > best) best = system->depth;
  }
  return best;
}

int32_t ParticleSystem_DrawAtDepth(float depth) {
  const GrowArray<ParticleSystem*>& systems = g_ParticleSystems.systems;
  int32_t drawn = 0;
  for (int32_t i = 0; i < systems.Count(); ++i) {
    const ParticleSystem* system = systems[i];
    if (!DrawnByRoom(system) || std::fabs(system->depth - depth) >= 0.01f) continue;
    DrawSystem(*system);
    ++drawn;
  }
  return drawn;
}
