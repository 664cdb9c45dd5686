#include "UIKit/UIGraphics.h"

#include <vector>

namespace {

// [main] only, like every drawing pass; a plain vector suffices.
std::vector<CGContext*>& contextStack() {
  static std::vector<CGContext*> stack;
  return stack;
}

}  // namespace

CGContext* UIGraphicsGetCurrentContext() {
  const auto& stack = contextStack();
  return stack.empty() ? nullptr : stack.back();
}

void UIGraphicsPushContext(CGContext* context) {
  contextStack().push_back(context);
}

void UIGraphicsPopContext() {
  auto& stack = contextStack();
  if (!stack.empty())
    stack.pop_back();
}
