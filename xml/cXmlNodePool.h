#pragma once
// Nodes made in bulk (a parse, a copy) are carved from chunks of slots instead of one heap
// block each. A chunk lives until the last node carved from it is gone, so a node may
// outlive the run that made it, its document, or move to another document.
#include <cstdint>
#include <cstddef>
#include <memory>
#include <new>

#include "xml/cXmlNode.h"

namespace xmlnode {

class NodeChunk {
 public:
  // The most a node with its shared_ptr bookkeeping may need; each takes its own size.
  static constexpr size_t kSlot = (sizeof(cXmlNode) + 48 + 15) / 16 * 16;

  static NodeChunk* Make(size_t slots) {
    void* mem = ::operator new(kHeader + slots * kSlot);
    return ::new (mem) NodeChunk(slots * kSlot);
  }
  size_t Left() const { return size_ - used_; }
  void* Take(size_t bytes) {
    void* p = reinterpret_cast<unsigned char*>(this) + kHeader + used_;
    used_ += (bytes + 15) / 16 * 16;
    ++carved_;
    return p;
  }
  // A node carved from the chunk is gone.
  void Release() { Drop(1); }
  // No more nodes will be carved: from now on the chunk belongs to its nodes alone.
  void Abandon() { Drop(kAll - carved_); }

 private:
  // The chunk starts with more references than it can ever hand out; each node gives one
  // back and abandoning gives back the rest, so the count needs one step per node. Nodes
  // live on one thread (as the node counters do), so the step is a plain one.
  static constexpr size_t kAll = SIZE_MAX / 2;
  static constexpr size_t kHeader = 32;
  explicit NodeChunk(size_t bytes) : refs_(kAll), size_(bytes) {}
  void Drop(size_t n) {
    refs_ -= n;
    if (refs_ == 0) {
      this->~NodeChunk();
      ::operator delete(this);
    }
  }
  size_t refs_;
  size_t size_;
  size_t used_ = 0;
  size_t carved_ = 0;
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
      if (n == 1) return static_cast<T*>(chunk->Take(sizeof(T)));
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) {
    if constexpr (sizeof(T) <= NodeChunk::kSlot && alignof(T) <= 16)
      if (n == 1) return chunk->Release();
    ::operator delete(p);
  }
  template <class U>
  bool operator==(const NodeAlloc<U>& o) const {
    return chunk == o.chunk;
  }
  NodeChunk* chunk;
};

// Hands out nodes from its current chunk; chunks grow from one slot, so a small run
// wastes little and a large one allocates rarely.
class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool() {
    if (chunk_) chunk_->Abandon();
  }
  XmlNodePtr Make() {
    if (!chunk_ || chunk_->Left() < NodeChunk::kSlot) {
      if (chunk_) chunk_->Abandon();
      chunk_ = nullptr;
      chunk_ = NodeChunk::Make(next_);
      if (next_ < 1024) next_ *= 2;
    }
    return std::allocate_shared<cXmlNode>(NodeAlloc<cXmlNode>(chunk_));
  }

 private:
  NodeChunk* chunk_ = nullptr;
  size_t next_ = 1;
};

}  // namespace xmlnode
