// Paragraph attributes of drawn text: alignment and line breaking. Plain value. [any]
#pragma once

enum class NSTextAlignment { left = 0, center = 1, right = 2, justified = 3, natural = 4 };
enum class NSLineBreakMode { byWordWrapping = 0, byCharWrapping = 1, byClipping = 2 };

struct NSParagraphStyle {
  NSTextAlignment alignment = NSTextAlignment::natural;
  NSLineBreakMode lineBreakMode = NSLineBreakMode::byWordWrapping;
  bool operator==(const NSParagraphStyle&) const = default;
};

// The mutable paragraph style: the same type, since a paragraph style is a mutable value.
using NSMutableParagraphStyle = NSParagraphStyle;
