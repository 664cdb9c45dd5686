// Gesture recognisers: objects attached to a view that watch the touches of that view and of its
// subviews and turn them into one gesture with a state and actions.
//
// States: possible (0) until the gesture is seen; a continuous gesture (pan, pinch, long press)
// then goes began (1), changed (2) ..., ended (3) or cancelled (4); a discrete one (tap) goes
// straight to ended (recognised); a gesture that cannot be made goes failed (5). Each entry into
// began, changed, ended or cancelled calls every action once, synchronously on the main loop that
// delivered the input; the recogniser goes back to possible when the touches are all up.
//
// Touches reach the recognisers before the view they hit. When a recogniser begins (or a
// discrete one is recognised) and `cancelsTouchesInView` is on (the default), the hit view's touches
// are cancelled (touchesCancelled) and it sees no more of them; with it off the view keeps its
// touches while the recogniser runs. Two recognisers seeing the same touches exclude each other:
// once one has begun, the other fails, unless a delegate of either allows simultaneous
// recognition. `require(toFail:)` makes one wait until the other has failed (a single tap that
// must not fire on a double tap).
//
// Besides touches, the window's input routing feeds pinch input (a touch-pad pinch, Ctrl+wheel)
// through pinchInput(); see UIPinchGestureRecognizer. [main]
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIEvent.h"
#include "UIKit/UITouch.h"

class UIView;
class UIGestureRecognizer;

enum class UIGestureRecognizerState {
  possible = 0,
  began = 1,
  changed = 2,
  ended = 3,
  cancelled = 4,
  failed = 5,
  recognized = ended,
};

// Optional answers a recogniser asks for; the defaults let it begin, run alone and see every
// touch. Not owned by the
// recogniser: it must outlive it or be cleared.
class UIGestureRecognizerDelegate {
 public:
  virtual ~UIGestureRecognizerDelegate() = default;
  // False keeps the recogniser from leaving possible (it fails).
  virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
  // True lets both run at once.
  virtual bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer&,
                                                              UIGestureRecognizer& other) {
    (void)other;
    return false;
  }
  // False hides this touch from the recogniser.
  virtual bool gestureRecognizerShouldReceive(UIGestureRecognizer&, const UITouch&) { return true; }
};

class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
 public:
  using Action = std::function<void(UIGestureRecognizer&)>;
  using State = UIGestureRecognizerState;

  virtual ~UIGestureRecognizer();
  UIGestureRecognizer(const UIGestureRecognizer&) = delete;
  UIGestureRecognizer& operator=(const UIGestureRecognizer&) = delete;

  // An action called with the recogniser on each state change that reports (see above). [main]
  void addTarget(Action action);
  // The same with a member function of `target`, called as long as `target` lives.
  template <class Target, class Recognizer>
  void addTarget(const std::shared_ptr<Target>& target, void (Target::*action)(Recognizer&));

  State state() const { return state_; }
  std::shared_ptr<UIView> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  // Turning a running recogniser off cancels it.
  void setEnabled(bool enabled);
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
  UIGestureRecognizerDelegate* delegate() const { return delegate_; }
  void setDelegate(UIGestureRecognizerDelegate* delegate) { delegate_ = delegate; }
  // This recogniser waits for `other` to fail before it may begin or be recognised.
  void require(const std::shared_ptr<UIGestureRecognizer>& toFail);
  bool hasFailureRequirements() const { return !requiredToFail_.empty(); }

  // The centre of the touches it tracks, in `view`'s coordinates (window's for null).
  virtual CGPoint location(const UIView* in) const;
  std::size_t numberOfTouches() const { return touches_.size(); }

  // ---- fed by the window's input routing (and tests) [main]
  void deliverTouchesBegan(const UITouchSet& touches, const UIEvent& event);
  void deliverTouchesMoved(const UITouchSet& touches, const UIEvent& event);
  void deliverTouchesEnded(const UITouchSet& touches, const UIEvent& event);
  void deliverTouchesCancelled(const UITouchSet& touches, const UIEvent& event);
  // Pinch input not made of touches; only pinch recognisers take it (returns whether it did).
  virtual bool pinchInput(UITouchPhase phase, CGPoint windowLocation, CGFloat scale);
  // The routing's view of the recognisers sharing the current touches (for exclusion).
  void setPeers(std::vector<std::weak_ptr<UIGestureRecognizer>> peers) { peers_ = std::move(peers); }
  // Back to possible once no touch is down and the gesture is over (ended, cancelled or failed)
  // and not waiting for another recogniser to fail.
  void resetIfIdle();
  bool isRunning() const { return state_ == State::began || state_ == State::changed; }
  // Whether this one and `other` may run at the same time.
  bool canRunWith(UIGestureRecognizer& other);
  // A recogniser this one waits for has failed: a recognition held back for it happens now.
  void requiredRecognizerFailed();

  // For the view: attached and detached.
  void setView(std::weak_ptr<UIView> view) { view_ = std::move(view); }

 protected:
  UIGestureRecognizer() = default;

  // Subclasses watch the touches through these; `touches` are the changed ones, `tracked()` all
  // (while touchesEnded runs, the lifting touches are still among them).
  virtual void touchesBegan(const UITouchSet& touches, const UIEvent& event) = 0;
  virtual void touchesMoved(const UITouchSet& touches, const UIEvent& event) = 0;
  virtual void touchesEnded(const UITouchSet& touches, const UIEvent& event) = 0;
  virtual void touchesCancelled(const UITouchSet& touches, const UIEvent& event);
  // Back to the start; called on reset.
  virtual void reset() {}

  // Moves the state, with the exclusion, waiting and action rules above. Subclasses call it.
  void setState(State state);
  const std::vector<std::shared_ptr<UITouch>>& tracked() const { return touches_; }
  // The centroid of the tracked touches in window coordinates, leaving out `except` (touches that
  // are lifting: they are still tracked while touchesEnded runs).
  CGPoint windowCentroid(const UITouchSet& except = UITouchSet()) const;

 private:
  void callActions();
  void cancelTouchesInViewIfNeeded();
  bool mustWait() const;
  bool blockedByRunningPeer();
  void excludePeers();
  void fail();
  void notifyRequirersOfFailure();
  bool waitsFor(const UIGestureRecognizer& other) const;
  bool isPeer(const UIGestureRecognizer& other) const;
  void forget(const UITouchSet& touches);

  std::vector<Action> actions_;
  std::weak_ptr<UIView> view_;
  std::vector<std::shared_ptr<UITouch>> touches_;
  std::vector<std::weak_ptr<UIGestureRecognizer>> peers_;
  std::vector<std::weak_ptr<UIGestureRecognizer>> requiredToFail_;
  UIGestureRecognizerDelegate* delegate_ = nullptr;
  State state_ = State::possible;
  State pending_ = State::possible;  // a recognition held back by require(toFail:)
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
};

template <class Target, class Recognizer>
void UIGestureRecognizer::addTarget(const std::shared_ptr<Target>& target,
                                    void (Target::*action)(Recognizer&)) {
  std::weak_ptr<Target> weak = target;
  addTarget([weak, action](UIGestureRecognizer& sender) {
    auto strong = weak.lock();
    auto* typed = dynamic_cast<Recognizer*>(&sender);
    if (strong && typed)
      ((*strong).*action)(*typed);
  });
}
