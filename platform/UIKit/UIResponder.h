// The responder chain: objects that take touches and pass on what they do not handle. A view's
// next responder is the controller that owns it as its root view, if any, else its superview; the
// default touch handlers hand the touches to the next responder, so a touch that no view handles
// rises to the window. [main]
#pragma once

#include "UIKit/UIEvent.h"
#include "UIKit/UITouch.h"

class UIResponder {
 public:
  UIResponder() = default;
  virtual ~UIResponder();
  UIResponder(const UIResponder&) = delete;
  UIResponder& operator=(const UIResponder&) = delete;

  // The next object in the chain, or null at its end (not owned). [main]
  virtual UIResponder* next() const { return nullptr; }

  // The four touch handlers; each default passes the call to next(). The event may be null. [main]
  virtual void touchesBegan(const UITouchSet& touches, const UIEvent* event);
  virtual void touchesMoved(const UITouchSet& touches, const UIEvent* event);
  virtual void touchesEnded(const UITouchSet& touches, const UIEvent* event);
  virtual void touchesCancelled(const UITouchSet& touches, const UIEvent* event);
};
