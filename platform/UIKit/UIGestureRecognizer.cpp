#include "UIKit/UIGestureRecognizer.h"

#include <algorithm>

#include "UIKit/UIView.h"
#include "UIKit/UIWindow.h"
#include "UIKit/internal/TouchRouter.h"
#include "UIKit/internal/WindowBackend.h"

UIGestureRecognizer::~UIGestureRecognizer() = default;

void UIGestureRecognizer::addTarget(Action action) {
  if (action)
    actions_.push_back(std::move(action));
}

void UIGestureRecognizer::setEnabled(bool enabled) {
  if (enabled == enabled_)
    return;
  if (!enabled) {
    if (isRunning())
      setState(State::cancelled);
    touches_.clear();
    pending_ = State::possible;
    if (state_ != State::possible) {
      state_ = State::possible;
      reset();
    }
  }
  enabled_ = enabled;
}

void UIGestureRecognizer::require(const std::shared_ptr<UIGestureRecognizer>& toFail) {
  if (toFail && toFail.get() != this)
    requiredToFail_.push_back(toFail);
}

CGPoint UIGestureRecognizer::windowCentroid(const UITouchSet& except) const {
  CGPoint sum;
  int n = 0;
  for (const auto& t : touches_) {
    if (except.contains(t.get()))
      continue;
    sum.x += t->windowLocation().x;
    sum.y += t->windowLocation().y;
    ++n;
  }
  return n ? CGPoint{sum.x / n, sum.y / n} : sum;
}

CGPoint UIGestureRecognizer::location(const UIView* in) const {
  const CGPoint c = windowCentroid();
  return in ? in->convertFrom(c, nullptr) : c;
}

// ---- touches in

void UIGestureRecognizer::deliverTouchesBegan(const UITouchSet& touches, const UIEvent& event) {
  if (!enabled_)
    return;
  for (const auto& t : touches) {
    if (std::find(touches_.begin(), touches_.end(), t) == touches_.end())
      touches_.push_back(t);
  }
  if (pending_ == State::possible && (state_ == State::possible || isRunning()))
    touchesBegan(touches, event);
}

void UIGestureRecognizer::deliverTouchesMoved(const UITouchSet& touches, const UIEvent& event) {
  if (!enabled_)
    return;
  if (pending_ == State::possible && (state_ == State::possible || isRunning()))
    touchesMoved(touches, event);
}

void UIGestureRecognizer::deliverTouchesEnded(const UITouchSet& touches, const UIEvent& event) {
  if (!enabled_)
    return;
  auto keep = weak_from_this().lock();
  if (pending_ == State::possible && (state_ == State::possible || isRunning()))
    touchesEnded(touches, event);
  forget(touches);  // the routing resets recognisers once every one has seen the change
}

void UIGestureRecognizer::deliverTouchesCancelled(const UITouchSet& touches, const UIEvent& event) {
  if (!enabled_)
    return;
  auto keep = weak_from_this().lock();
  if (state_ == State::possible || isRunning())
    touchesCancelled(touches, event);
  forget(touches);
}

void UIGestureRecognizer::touchesCancelled(const UITouchSet&, const UIEvent&) {
  setState(isRunning() ? State::cancelled : State::failed);
}

void UIGestureRecognizer::forget(const UITouchSet& touches) {
  std::erase_if(touches_, [&](const auto& t) { return touches.contains(t.get()); });
}

bool UIGestureRecognizer::pinchInput(UITouchPhase, CGPoint, CGFloat) {
  return false;
}

void UIGestureRecognizer::resetIfIdle() {
  if (!touches_.empty() || pending_ != State::possible)
    return;
  if (state_ == State::ended || state_ == State::cancelled || state_ == State::failed) {
    state_ = State::possible;
    reset();
  }
}

// ---- exclusion and waiting

bool UIGestureRecognizer::isPeer(const UIGestureRecognizer& other) const {
  return std::any_of(peers_.begin(), peers_.end(), [&](const auto& p) { return p.lock().get() == &other; });
}

bool UIGestureRecognizer::waitsFor(const UIGestureRecognizer& other) const {
  return std::any_of(requiredToFail_.begin(), requiredToFail_.end(),
                     [&](const auto& r) { return r.lock().get() == &other; });
}

bool UIGestureRecognizer::canRunWith(UIGestureRecognizer& other) {
  return (delegate_ && delegate_->gestureRecognizerShouldRecognizeSimultaneously(*this, other)) ||
         (other.delegate_ && other.delegate_->gestureRecognizerShouldRecognizeSimultaneously(other, *this));
}

// A recogniser this one must outlast is still in play (it sees the same touches and has neither
// failed nor finished).
bool UIGestureRecognizer::mustWait() const {
  return std::any_of(requiredToFail_.begin(), requiredToFail_.end(), [&](const auto& weak) {
    auto r = weak.lock();
    return r && r->enabled_ && isPeer(*r) && (r->state_ == State::possible || r->isRunning());
  });
}

bool UIGestureRecognizer::blockedByRunningPeer() {
  for (const auto& weak : peers_) {
    auto p = weak.lock();
    if (p && p.get() != this && p->isRunning() && !canRunWith(*p))
      return true;
  }
  return false;
}

// Once this one has begun, the others that cannot run with it, and those waiting for it to fail,
// fail.
void UIGestureRecognizer::excludePeers() {
  const auto peers = peers_;
  for (const auto& weak : peers) {
    auto p = weak.lock();
    if (!p || p.get() == this || p->state_ != State::possible)
      continue;
    if (p->waitsFor(*this) || !canRunWith(*p))
      p->fail();
  }
}

void UIGestureRecognizer::fail() {
  pending_ = State::possible;
  state_ = State::failed;
  notifyRequirersOfFailure();
  resetIfIdle();
}

void UIGestureRecognizer::notifyRequirersOfFailure() {
  const auto peers = peers_;
  for (const auto& weak : peers) {
    auto p = weak.lock();
    if (p && p.get() != this && p->waitsFor(*this))
      p->requiredRecognizerFailed();
  }
}

void UIGestureRecognizer::requiredRecognizerFailed() {
  if (pending_ == State::possible || mustWait())
    return;
  const State wanted = pending_;
  pending_ = State::possible;
  setState(wanted);
  resetIfIdle();
}

void UIGestureRecognizer::setState(State state) {
  if (state == state_ && state != State::changed)
    return;
  auto keep = weak_from_this().lock();
  const bool starting = state_ == State::possible && (state == State::began || state == State::ended);
  if (starting) {
    if ((delegate_ && !delegate_->gestureRecognizerShouldBegin(*this)) || blockedByRunningPeer()) {
      fail();
      return;
    }
    if (mustWait()) {
      pending_ = state;
      return;
    }
  }
  if (state == State::failed) {
    fail();
    return;
  }
  state_ = state;
  if (starting) {
    excludePeers();
    cancelTouchesInViewIfNeeded();
  }
  callActions();
}

void UIGestureRecognizer::cancelTouchesInViewIfNeeded() {
  if (!cancelsTouchesInView_)
    return;
  const auto touches = touches_;
  for (const auto& t : touches) {
    if (auto window = t->window())
      window->backend().router().cancelInView(t, t->timestamp());
  }
}

void UIGestureRecognizer::callActions() {
  const auto actions = actions_;  // an action may add or remove targets
  for (const auto& action : actions)
    action(*this);
}
