#include "UIKit/UIResponder.h"

UIResponder::~UIResponder() = default;

// Unhandled touches rise along the chain; at its end they are dropped.
void UIResponder::touchesBegan(const UITouchSet& touches, const UIEvent* event) {
  if (auto* n = next())
    n->touchesBegan(touches, event);
}

void UIResponder::touchesMoved(const UITouchSet& touches, const UIEvent* event) {
  if (auto* n = next())
    n->touchesMoved(touches, event);
}

void UIResponder::touchesEnded(const UITouchSet& touches, const UIEvent* event) {
  if (auto* n = next())
    n->touchesEnded(touches, event);
}

void UIResponder::touchesCancelled(const UITouchSet& touches, const UIEvent* event) {
  if (auto* n = next())
    n->touchesCancelled(touches, event);
}
