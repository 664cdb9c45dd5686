#include "ViewExtensions.h"

#include "Foundation/ProcessInfo.h"

void pinToSuperviewEdges(UIView& view) {
  auto superview = view.superview();
  if (!superview)
    return;
  view.setTranslatesAutoresizingMaskIntoConstraints(false);
  // Leading and trailing rather than left and right, so the pinning follows the writing direction.
  NSLayoutConstraint::activate({view.topAnchor().constraint(superview->topAnchor(), 0),
                                view.leadingAnchor().constraint(superview->leadingAnchor(), 0),
                                view.bottomAnchor().constraint(superview->bottomAnchor(), 0),
                                view.trailingAnchor().constraint(superview->trailingAnchor(), 0)});
}

std::string uniqueName(std::optional<std::string_view> withPrefix) {
  const std::string unique = ProcessInfo::processInfo().globallyUniqueString();
  if (!withPrefix)
    return unique;
  return std::string(*withPrefix) + "-" + unique;
}

CGFloat redValue(const UIColor& color) {
  return CIColor(color).red();
}
CGFloat greenValue(const UIColor& color) {
  return CIColor(color).green();
}
CGFloat blueValue(const UIColor& color) {
  return CIColor(color).blue();
}
CGFloat alphaValue(const UIColor& color) {
  return CIColor(color).alpha();
}
