#include "room/Room_View.h"

#include <algorithm>
#include <cstdint>

#include "graphics/Graphics_D3D.h"
#include "room/Room_Class.h"

void Room_UpdateWindowSize() {
  const CRoom* room = CurrentRoom;
  if (room == nullptr) return;
  int64_t width = room->m_Width;
  int64_t height = room->m_Height;
  if (room->m_ViewsEnabled) {
    width = 8;
    height = 8;
    for (const RoomView& view : room->m_Views) {
      if (!view.visible) continue;
      width = std::max<int64_t>(width, int64_t{view.xport} + view.wport);
      height = std::max<int64_t>(height, int64_t{view.yport} + view.hport);
    }
  }
  // Ports from the game data may add up past 32 bits; the screen limit cuts them down anyway.
  GR_D3D_SetSize(static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX)),
                 static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX)));
}
