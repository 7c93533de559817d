#include "animation/Skeleton_Class.h"

#include <cstring>

CSkeletonSprite* CSkeletonSprite::LoadFromChunk(const uint8_t* data, uint32_t jsonLength, uint32_t atlasLength,
                                                uint32_t imageLength, uint32_t pageWidth, uint32_t pageHeight) {
  CSkeletonSprite* skeleton = new CSkeletonSprite();
  skeleton->m_data = data;
  skeleton->m_jsonLength = jsonLength;
  skeleton->m_atlasLength = atlasLength;
  skeleton->m_imageLength = imageLength;
  skeleton->m_pageWidth = pageWidth;
  skeleton->m_pageHeight = pageHeight;
  return skeleton;
}

void CSkeletonSprite::DrawForInstance(int32_t, float, float, float, float, float, uint32_t, float) const {}

int32_t CSkeletonSprite::FindAnimation(const char* name) const {
  if (name == nullptr) return -1;
  for (size_t i = 0; i < m_animations.size(); ++i) {
    if (std::strcmp(m_animations[i].name.c_str(), name) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

CSkeletonInstance::CSkeletonInstance(const CSkeletonSprite* data) : m_data(data) {
  if (m_data != nullptr && !m_data->m_animations.empty()) m_current = 0;
}

CSkeletonInstance* CSkeletonInstance::CopyFrom(const CSkeletonInstance& source) {
  m_data = source.m_data;
  m_current = -1;
  if (m_data != nullptr) {
    const int32_t playing = m_data->FindAnimation(source.GetAnimationName(0));
    m_current = playing >= 0 ? playing : (m_data->m_animations.empty() ? -1 : 0);
  }
  m_drawCollision = source.m_drawCollision;
  return this;
}

const char* CSkeletonInstance::GetAnimationName(int32_t track) const {
  if (track != 0 || m_data == nullptr || m_current < 0) return nullptr;
  return m_data->m_animations[static_cast<size_t>(m_current)].name.c_str();
}

float CSkeletonInstance::CurrentDuration() const {
  if (m_data == nullptr || m_current < 0) return 0.0f;
  return m_data->m_animations[static_cast<size_t>(m_current)].duration;
}

// The skeleton data holds no bounding polygons: there is no box, and no test finds anything.
bool CSkeletonInstance::GetBoundingBox(BoundingBox&, int32_t, float, float, float, float, float) { return false; }
bool CSkeletonInstance::CollidePoint(double, double) const { return false; }
bool CSkeletonInstance::CollideRect(double, double, double, double) const { return false; }
bool CSkeletonInstance::CollideEllipse(double, double, double, double) const { return false; }
bool CSkeletonInstance::CollideLine(double, double, double, double) const { return false; }
bool CSkeletonInstance::CollideSkeleton(const CSkeletonInstance&) const { return false; }
bool CSkeletonInstance::CollideMask(const CSprite&, int32_t, const BoundingBox&, int32_t, int32_t, float, float,
                                    float) const {
  return false;
}
