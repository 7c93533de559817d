#include "room/Room_Draw.h"

RoomDrawState g_RoomDraw;
