#pragma once
// A node's name: up to fifteen characters (nearly every tag name) held in place, so a large
// document's nodes need no heap block for their names; longer names go to the heap.
#include <cstdint>
#include <cstring>

#include "platform/Text.h"

class alignas(8) NodeName {
 public:
  NodeName() = default;
  explicit NodeName(TextView v) { assign(v.data(), v.size()); }
  NodeName(const NodeName& o) { assign(o.data(), o.size()); }
  NodeName(NodeName&& o) noexcept { steal(o); }
  NodeName& operator=(const NodeName& o) {
    if (this != &o) assign(o.data(), o.size());
    return *this;
  }
  NodeName& operator=(NodeName&& o) noexcept {
    if (this != &o) {
      release();
      steal(o);
    }
    return *this;
  }
  NodeName& operator=(TextView v) {
    assign(v.data(), v.size());
    return *this;
  }
  ~NodeName() { release(); }

  void assign(const char16_t* s, size_t n) {
    if (n <= kInline) {
      // `s` may point into this name: copy before letting go of a heap block.
      char16_t tmp[kInline];
      std::memcpy(tmp, s, n * sizeof(char16_t));
      release();
      std::memcpy(buf_, tmp, n * sizeof(char16_t));
      tag_ = static_cast<uint16_t>(n);
      return;
    }
    auto* p = new char16_t[n];
    std::memcpy(p, s, n * sizeof(char16_t));
    release();
    std::memcpy(buf_, &p, sizeof p);
    std::memcpy(buf_ + 4, &n, sizeof n);
    tag_ = kHeap;
  }
  void clear() {
    release();
    tag_ = 0;
  }
  size_t size() const { return tag_ == kHeap ? heapSize() : tag_; }
  bool empty() const { return size() == 0; }
  const char16_t* data() const { return tag_ == kHeap ? heapData() : buf_; }
  TextView view() const { return TextView(data(), size()); }
  operator TextView() const { return view(); }

  friend bool operator==(const NodeName& a, const NodeName& b) { return a.view() == b.view(); }
  friend bool operator==(const NodeName& a, TextView b) { return a.view() == b; }

 private:
  static constexpr size_t kInline = 15;
  static constexpr uint16_t kHeap = UINT16_MAX;
  // On the heap, the first characters' room holds the block's address and length.
  char16_t* heapData() const {
    char16_t* p;
    std::memcpy(&p, buf_, sizeof p);
    return p;
  }
  size_t heapSize() const {
    size_t n;
    std::memcpy(&n, buf_ + 4, sizeof n);
    return n;
  }
  void release() {
    if (tag_ == kHeap) delete[] heapData();
    tag_ = 0;
  }
  void steal(NodeName& o) {
    std::memcpy(buf_, o.buf_, sizeof buf_);
    tag_ = o.tag_;
    o.tag_ = 0;
  }
  char16_t buf_[kInline];
  uint16_t tag_ = 0;  // the length when held in place
};
static_assert(sizeof(NodeName) == 32);
