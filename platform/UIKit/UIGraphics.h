// The current graphics context: a stack of drawing contexts, pushed by whoever runs a drawing
// pass (the display pass, image rendering, tests). Outside a pass the current context is null,
// and UIKit's drawing helpers (paths, colours, strings) then do nothing. [main]
#pragma once

#include "CoreGraphics/CGContext.h"

// The context on top of the stack, or null.
CGContext* UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(CGContext* context);
// Pops the top context; does nothing on an empty stack.
void UIGraphicsPopContext();

// Pushes a context for the lifetime of the scope.
class UIGraphicsContextScope {
 public:
  explicit UIGraphicsContextScope(CGContext* context) { UIGraphicsPushContext(context); }
  ~UIGraphicsContextScope() { UIGraphicsPopContext(); }
  UIGraphicsContextScope(const UIGraphicsContextScope&) = delete;
  UIGraphicsContextScope& operator=(const UIGraphicsContextScope&) = delete;
};
