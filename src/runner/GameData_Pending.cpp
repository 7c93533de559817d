#include "runner/GameData_Pending.h"

#include <cstring>

namespace {

struct PendingRecord {
  const char* reader;
  ChunkPayload payload;
  int32_t order;
};

// One record per reader; there are far fewer readers than slots.
constexpr int32_t kMaxRecords = 64;
PendingRecord g_records[kMaxRecords];
int32_t g_recordCount = 0;
int32_t g_nextOrder = 0;

PendingRecord* FindRecord(const char* reader) {
  if (reader == nullptr) return nullptr;
  for (int32_t i = 0; i < g_recordCount; ++i) {
    if (std::strcmp(g_records[i].reader, reader) == 0) return &g_records[i];
  }
  return nullptr;
}

}  // namespace

void PendingChunk_Record(const char* reader, const BoundedReader& chunk) {
  if (reader == nullptr) return;
  PendingRecord* record = FindRecord(reader);
  if (record == nullptr) {
    if (g_recordCount >= kMaxRecords) return;
    record = &g_records[g_recordCount++];
    record->reader = reader;
  }
  record->payload = chunk.Payload();
  record->order = g_nextOrder++;
}

bool PendingChunk_Find(const char* reader, ChunkPayload* payload, int32_t* order) {
  const PendingRecord* record = FindRecord(reader);
  if (record == nullptr) return false;
  if (payload != nullptr) *payload = record->payload;
  if (order != nullptr) *order = record->order;
  return true;
}

void PendingChunk_ForgetAll() {
  g_recordCount = 0;
  g_nextOrder = 0;
}
