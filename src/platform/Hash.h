// An integer-keyed hash of doubly linked nodes. The bucket count is a power of two and a key's
// bucket is key AND mask; duplicate keys are allowed (insertion never looks first).
#pragma once

#include <cstdint>

#include "platform/MemoryManager.h"

// What Remove and Clear do with a value: leave it, delete it, or release it to the manager.
enum HashDisposal { kHashKeep = 0, kHashDelete = 1, kHashFree = 2 };

template <typename T>
class Hash {
 public:
  struct Node {
    Node* prev;
    Node* next;
    int32_t key;
    T* value;
  };
  struct Bucket {
    Node* head;
    Node* tail;
  };

  // `finalDisposal` is what the destructor does with the values still held (by default they are
  // owned objects and deleted).
  explicit Hash(int32_t bucketCount, int finalDisposal = kHashDelete)
      : m_mask(bucketCount - 1), m_count(0), m_finalDisposal(finalDisposal) {
    m_buckets = static_cast<Bucket*>(MemoryManager::Alloc(
        static_cast<uint32_t>(sizeof(Bucket) * static_cast<uint32_t>(bucketCount)), __FILE__, __LINE__, true));
  }
  ~Hash() {
    Clear(m_finalDisposal);
    MemoryManager::Free(m_buckets);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  Node* Insert(int32_t key, T* value) {
    Node* node = static_cast<Node*>(MemoryManager::Alloc(sizeof(Node), __FILE__, __LINE__, true));
    node->key = key;
    node->value = value;
    Bucket& b = m_buckets[BucketOf(key)];
    node->prev = b.tail;
    if (b.tail) b.tail->next = node; else b.head = node;
    b.tail = node;
    ++m_count;
    return node;
  }

  T* Find(int32_t key) const {
    for (Node* n = m_buckets[BucketOf(key)].head; n; n = n->next) {
      if (n->key == key) return n->value;
    }
    return nullptr;
  }

  bool Remove(int32_t key, int disposal) {
    for (Node* n = m_buckets[BucketOf(key)].head; n; n = n->next) {
      if (n->key != key) continue;
      RemoveNode(n, disposal);
      return true;
    }
    return false;
  }

  // Unlinks one node of this hash and frees it (its value as `disposal` says).
  void RemoveNode(Node* n, int disposal) {
    Bucket& b = m_buckets[BucketOf(n->key)];
    if (n->prev) n->prev->next = n->next; else b.head = n->next;
    if (n->next) n->next->prev = n->prev; else b.tail = n->prev;
    Dispose(n->value, disposal);
    MemoryManager::Free(n);
    --m_count;
  }

  void Clear(int disposal) {
    for (int32_t i = m_mask; i >= 0; --i) {
      Node* n = m_buckets[i].head;
      m_buckets[i].head = m_buckets[i].tail = nullptr;
      while (n) {
        Node* next = n->next;
        Dispose(n->value, disposal);
        MemoryManager::Free(n);
        --m_count;
        n = next;
      }
    }
  }

  int32_t BucketOf(int32_t key) const {
    return static_cast<int32_t>(static_cast<uint32_t>(key) & static_cast<uint32_t>(m_mask));
  }
  int32_t Count() const { return m_count; }
  int32_t Mask() const { return m_mask; }
  Bucket* Buckets() const { return m_buckets; }

 private:
  static void Dispose(T* value, int disposal) {
    if (disposal == kHashDelete) delete value;
    else if (disposal == kHashFree) MemoryManager::Free(value);
  }

  Bucket* m_buckets;
  int32_t m_mask;
  int32_t m_count;
  int m_finalDisposal;
};

// A cursor over a Hash: buckets in index order, each bucket's nodes in insertion order.
template <typename T>
class HashIterator {
 public:
  T* Begin(Hash<T>* hash) {
    m_hash = hash;
    m_bucket = 0;
    m_node = nullptr;
    return SeekBucket();
  }
  T* SeekBucket() {
    for (; m_bucket <= m_hash->Mask(); ++m_bucket) {
      if (m_hash->Buckets()[m_bucket].head) {
        m_node = m_hash->Buckets()[m_bucket].head;
        return m_node->value;
      }
    }
    m_bucket = -1;
    m_node = nullptr;
    return nullptr;
  }
  T* Next() {
    if (m_node == nullptr) return nullptr;
    m_node = m_node->next;
    if (m_node) return m_node->value;
    ++m_bucket;
    if (m_bucket <= m_hash->Mask()) return SeekBucket();
    m_bucket = -1;
    return nullptr;
  }
  int32_t BucketIndex() const { return m_bucket; }

 private:
  int32_t m_bucket = -1;
  typename Hash<T>::Node* m_node = nullptr;
  Hash<T>* m_hash = nullptr;
};
