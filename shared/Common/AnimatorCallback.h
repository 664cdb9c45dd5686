// The optional callbacks of the animation classes (onAnimation, onFinished, ...).
//
// A callback is shared, immutable once set: calling it first takes a reference to the current
// closure, so a callback may replace or clear itself (or any other) while it runs, and the new
// one is used from the next call on. Setting a callback allocates; calling one does not.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

template <class Signature>
class AnimatorCallback;

template <class... Args>
class AnimatorCallback<void(Args...)> {
 public:
  using Function = std::function<void(Args...)>;

  AnimatorCallback() = default;
  AnimatorCallback(std::nullptr_t) {}  // NOLINT: `x.onFinished = nullptr` clears it
  template <class F>
  requires(!std::is_same_v<std::decay_t<F>, AnimatorCallback> &&
           !std::is_same_v<std::decay_t<F>, std::nullptr_t> && std::is_invocable_v<F&, Args...>)
      AnimatorCallback(F&& f)  // NOLINT: set from any closure, as a plain property
      : function_(std::make_shared<const Function>(std::forward<F>(f))) {
    if (!*function_)
      function_.reset();
  }

  explicit operator bool() const { return function_ != nullptr; }

  // [main]
  void operator()(Args... args) const {
    const std::shared_ptr<const Function> running = function_;
    if (running)
      (*running)(std::forward<Args>(args)...);
  }

 private:
  std::shared_ptr<const Function> function_;
};
