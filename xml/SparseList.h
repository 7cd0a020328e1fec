#pragma once
// A list that costs one pointer while it is empty, as most nodes' attribute and child lists
// are. The element type may be incomplete where the list is only declared.
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

template <class T>
class SparseList {
 public:
  SparseList() = default;
  SparseList(const SparseList& o) { *this = o; }
  SparseList& operator=(const SparseList& o) {
    if (this != &o) v_ = o.empty() ? nullptr : std::make_unique<std::vector<T>>(*o.v_);
    return *this;
  }
  SparseList& operator=(std::vector<T>&& a) {
    v_ = a.empty() ? nullptr : std::make_unique<std::vector<T>>(std::move(a));
    return *this;
  }
  size_t size() const { return v_ ? v_->size() : 0; }
  bool empty() const { return !v_ || v_->empty(); }
  T& operator[](size_t i) { return (*v_)[i]; }
  const T& operator[](size_t i) const { return (*v_)[i]; }
  T& back() { return v_->back(); }
  T* begin() { return v_ ? v_->data() : nullptr; }
  T* end() { return v_ ? v_->data() + v_->size() : nullptr; }
  const T* begin() const { return v_ ? v_->data() : nullptr; }
  const T* end() const { return v_ ? v_->data() + v_->size() : nullptr; }
  void push_back(T a) { vec().push_back(std::move(a)); }
  void reserve(size_t n) { vec().reserve(n); }
  void insert(size_t at, T a) { vec().insert(v_->begin() + static_cast<long>(at), std::move(a)); }
  void erase(size_t at) { v_->erase(v_->begin() + static_cast<long>(at)); }
  void clear() { v_.reset(); }
  // The elements handed over; the list is left empty.
  std::vector<T> take() {
    std::vector<T> out;
    if (v_) out = std::move(*v_);
    v_.reset();
    return out;
  }
  std::vector<T> copy() const { return v_ ? *v_ : std::vector<T>(); }

 private:
  std::vector<T>& vec() {
    if (!v_) v_ = std::make_unique<std::vector<T>>();
    return *v_;
  }
  std::unique_ptr<std::vector<T>> v_;
};
