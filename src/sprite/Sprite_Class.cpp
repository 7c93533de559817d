#include "sprite/Sprite_Class.h"

#include "animation/Skeleton_Class.h"

CSprite::~CSprite() { delete m_skeleton; }
