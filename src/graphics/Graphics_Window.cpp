#include "graphics/Graphics_Window.h"

#include <string>

namespace {
bool g_captionSet = false;
std::string g_caption;
int32_t g_windowColour = 0xFFFFFF;
}  // namespace

void GR_Window_SetCaption(const char* caption) {
  g_captionSet = caption != nullptr;
  g_caption = caption ? caption : "";
}

const char* GR_Window_GetCaption() { return g_captionSet ? g_caption.c_str() : nullptr; }

void GR_Window_SetColour(int32_t colour) { g_windowColour = colour; }

int32_t GR_Window_GetColour() { return g_windowColour; }
