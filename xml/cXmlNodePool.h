#pragma once
// Nodes made in bulk (a parse, a copy) are carved from chunks of slots instead of one heap
// block each. A chunk lives until the last node carved from it is gone, so a node may
// outlive the run that made it, its document, or move to another document.
#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

#include "xml/cXmlNode.h"

namespace xmlnode {

class NodeChunk {
 public:
  // Room for a node with its shared_ptr bookkeeping.
  static constexpr size_t kSlot = (sizeof(cXmlNode) + 32 + 15) / 16 * 16;

  // Every slot counts as a reference until it is carved and its node gone, or handed back
  // unused (Release).
  static NodeChunk* Make(size_t slots) {
    void* mem = ::operator new(kHeader + slots * kSlot);
    return ::new (mem) NodeChunk(slots);
  }
  bool Full() const { return used_ == slots_; }
  size_t Left() const { return slots_ - used_; }
  void* Take() { return reinterpret_cast<unsigned char*>(this) + kHeader + kSlot * used_++; }
  void Release(size_t n) {
    if (n != 0 && refs_.fetch_sub(n, std::memory_order_acq_rel) == n) {
      this->~NodeChunk();
      ::operator delete(this);
    }
  }

 private:
  static constexpr size_t kHeader = 32;
  explicit NodeChunk(size_t slots) : refs_(slots), slots_(slots) {}
  std::atomic<size_t> refs_;
  size_t slots_;
  size_t used_ = 0;
};
static_assert(sizeof(NodeChunk) <= 32);

template <class T>
struct NodeAlloc {
  using value_type = T;
  explicit NodeAlloc(NodeChunk* c) : chunk(c) {}
  template <class U>
  NodeAlloc(const NodeAlloc<U>& o) : chunk(o.chunk) {}
  // Called once per node with the chunk known to have room (NodePool::Make).
  T* allocate(size_t n) {
    if constexpr (sizeof(T) <= NodeChunk::kSlot && alignof(T) <= 16)
      if (n == 1) return static_cast<T*>(chunk->Take());
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) {
    if constexpr (sizeof(T) <= NodeChunk::kSlot && alignof(T) <= 16)
      if (n == 1) return chunk->Release(1);
    ::operator delete(p);
  }
  template <class U>
  bool operator==(const NodeAlloc<U>& o) const {
    return chunk == o.chunk;
  }
  NodeChunk* chunk;
};

// Hands out nodes from its current chunk; chunks grow from a few slots, so a small run
// wastes little and a large one allocates rarely.
class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool() {
    if (chunk_) chunk_->Release(chunk_->Left());
  }
  XmlNodePtr Make() {
    if (!chunk_) {
      chunk_ = NodeChunk::Make(next_);
      if (next_ < 1024) next_ *= 2;
    }
    XmlNodePtr n = std::allocate_shared<cXmlNode>(NodeAlloc<cXmlNode>(chunk_));
    // A full chunk belongs to its nodes alone: the last of them may free it at any time.
    if (chunk_->Full()) chunk_ = nullptr;
    return n;
  }

 private:
  NodeChunk* chunk_ = nullptr;
  size_t next_ = 4;
};

}  // namespace xmlnode
