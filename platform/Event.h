#pragma once
// Event<Args...>: the program's events. Subscribe returns a Connection that unsubscribes
// when destroyed; Raise calls every handler in subscription order. By-reference answers
// (Cancel, Handled, Follow, Retry) are reference parameters: Event<bool&>.
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/ErrLog.h"

namespace ksv_detail {
struct ConnectionState {
  virtual ~ConnectionState() = default;
  virtual void Disconnect(unsigned long id) = 0;
};
}  // namespace ksv_detail

class Connection {
 public:
  Connection() = default;
  Connection(std::weak_ptr<ksv_detail::ConnectionState> s, unsigned long id) : state_(std::move(s)), id_(id) {}
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  Connection(Connection&& o) noexcept : state_(std::move(o.state_)), id_(o.id_) { o.id_ = 0; }
  Connection& operator=(Connection&& o) noexcept {
    if (this != &o) {
      Disconnect();
      state_ = std::move(o.state_);
      id_ = o.id_;
      o.id_ = 0;
    }
    return *this;
  }
  ~Connection() { Disconnect(); }
  void Disconnect() {
    if (id_ != 0)
      if (auto s = state_.lock()) s->Disconnect(id_);
    id_ = 0;
    state_.reset();
  }
  bool Connected() const { return id_ != 0 && !state_.expired(); }

 private:
  std::weak_ptr<ksv_detail::ConnectionState> state_;
  unsigned long id_ = 0;
};

template <class... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;

  Event() : state_(std::make_shared<State>()) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  [[nodiscard]] Connection Subscribe(Handler h) {
    auto slot = std::make_shared<Slot>();
    slot->id = ++state_->nextId;
    slot->fn = std::move(h);
    state_->handlers_.push_back(slot);
    return Connection(state_, slot->id);
  }

  bool HasSubscribers() const { return !state_->handlers_.empty(); }

  // Handlers may subscribe, unsubscribe or destroy the event's owner while it is raised:
  // the list is copied and the state kept alive for the duration.
  void Raise(Args... args) const {
    if (state_->handlers_.empty()) return;
    auto keep = state_;
    auto handlers_ = keep->handlers_;
    for (auto& s : handlers_) {
      if (s->removed) continue;
      ErrLog::Trap("Event.Raise", [&] { s->fn(args...); });
    }
  }
  void operator()(Args... args) const { Raise(args...); }

 private:
  struct Slot {
    unsigned long id = 0;
    Handler fn;
    bool removed = false;
  };
  struct State : ksv_detail::ConnectionState {
    std::vector<std::shared_ptr<Slot>> handlers_;
    unsigned long nextId = 0;
    void Disconnect(unsigned long id) override {
      for (size_t i = 0; i < handlers_.size(); ++i)
        if (handlers_[i]->id == id) {
          handlers_[i]->removed = true;
          handlers_.erase(handlers_.begin() + static_cast<long>(i));
          return;
        }
    }
  };
  std::shared_ptr<State> state_;
};

// Raises an event of an owner whose life `alive` tracks (set false by its destructor);
// false when a handler destroyed the owner, which must then touch none of its members.
template <class... Args, class... Params>
[[nodiscard]] bool RaiseWhileAlive(const std::shared_ptr<bool>& alive, const Event<Args...>& event, Params&&... args) {
  auto keep = alive;
  event.Raise(std::forward<Params>(args)...);
  return *keep;
}
