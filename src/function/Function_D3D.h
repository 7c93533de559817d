// The 3-D drawing built-ins.
#pragma once

// Registers the 3-D group: 3-D mode and its switches, the projections, the alpha-blend switch
// and draw_texture_flush, in the order of the whole 3-D family.
void RegisterD3DFunctions();
