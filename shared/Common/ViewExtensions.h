// Small extensions of platform types: pinning a view to its superview's edges, unique names,
// and the components of a colour.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "UIKit/UIColor.h"
#include "UIKit/UIView.h"

// UIView.pinToSuperviewEdges(): ties the view's top, leading, bottom and trailing edges to its
// superview's (constant 0) and turns off its autoresizing translation; the view then follows
// every change of the superview's bounds. Without a superview nothing changes. [main]
void pinToSuperviewEdges(UIView& view);

// String.uniqueName(withPrefix:): a globally unique text, new on every call, after the prefix
// and a hyphen when a prefix is given (an empty prefix gives a leading "-"). [any]
std::string uniqueName(std::optional<std::string_view> withPrefix);

// UIColor.redValue etc.: each a fresh Core Image conversion of the colour. [any]
CGFloat redValue(const UIColor& color);
CGFloat greenValue(const UIColor& color);
CGFloat blueValue(const UIColor& color);
CGFloat alphaValue(const UIColor& color);
