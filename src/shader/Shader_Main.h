// Shaders of the game: the shader chunk of the game data.
#pragma once

class BoundedReader;

// Reads the shader chunk ("SHDR"). Until shaders are made from it, its payload is recorded
// (support/PendingChunk.h, reader "Shader_LoadChunk") and accepted.
bool Shader_LoadChunk(BoundedReader& chunk);
