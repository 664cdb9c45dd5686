// The answer to one decision of a web view (navigation action or response). The web engine waits
// until it is given, so it is given exactly once: the first call answers, a later one is ignored
// (with a line on stderr), and a handler dropped unanswered answers `cancel` when it goes. It
// moves but never copies, so only one holder can answer. [main]
#pragma once

#include <cstdio>
#include <functional>
#include <utility>

template <class Policy>
class WKDecisionHandler {
 public:
  using Answer = std::function<void(Policy)>;

  explicit WKDecisionHandler(Answer answer) : answer_(std::move(answer)) {}
  WKDecisionHandler(WKDecisionHandler&& other) noexcept : answer_(std::exchange(other.answer_, nullptr)) {}
  WKDecisionHandler& operator=(WKDecisionHandler&& other) noexcept {
    if (this != &other) {
      finish(Policy::cancel);
      answer_ = std::exchange(other.answer_, nullptr);
    }
    return *this;
  }
  WKDecisionHandler(const WKDecisionHandler&) = delete;
  WKDecisionHandler& operator=(const WKDecisionHandler&) = delete;
  ~WKDecisionHandler() { finish(Policy::cancel); }

  void operator()(Policy policy) {
    if (!answer_) {
      std::fputs("WKWebView: a decision was answered twice; the later answer is ignored\n", stderr);
      return;
    }
    finish(policy);
  }

  bool isAnswered() const { return !answer_; }

 private:
  void finish(Policy policy) {
    if (!answer_)
      return;
    Answer answer = std::exchange(answer_, nullptr);
    answer(policy);
  }

  Answer answer_;
};
