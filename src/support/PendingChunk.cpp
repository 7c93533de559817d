#include "support/PendingChunk.h"

#include <cstring>

namespace {

struct PendingRecord {
  const char* reader;
  ChunkPayload payload;
  int32_t order;
};

// One record per reader; there are far fewer readers than slots.
constexpr int32_t kMaxRecords = 64;
struct PendingState {
  PendingRecord records[kMaxRecords] = {};
  int32_t count = 0;
  int32_t nextOrder = 0;
};
PendingState g_pending;

PendingRecord* FindRecord(const char* reader) {
  if (reader == nullptr) return nullptr;
  for (int32_t i = 0; i < g_pending.count; ++i) {
    if (std::strcmp(g_pending.records[i].reader, reader) == 0) return &g_pending.records[i];
  }
  return nullptr;
}

}  // namespace

void PendingChunk_Record(const char* reader, const BoundedReader& chunk) {
  if (reader == nullptr) return;
  PendingRecord* record = FindRecord(reader);
  if (record == nullptr) {
    if (g_pending.count >= kMaxRecords) return;
    record = &g_pending.records[g_pending.count++];
    record->reader = reader;
  }
  record->payload = chunk.Payload();
  record->order = g_pending.nextOrder++;
}

bool PendingChunk_Find(const char* reader, ChunkPayload* payload, int32_t* order) {
  const PendingRecord* record = FindRecord(reader);
  if (record == nullptr) return false;
  if (payload != nullptr) *payload = record->payload;
  if (order != nullptr) *order = record->order;
  return true;
}

void PendingChunk_ForgetAll() { g_pending = PendingState{}; }
