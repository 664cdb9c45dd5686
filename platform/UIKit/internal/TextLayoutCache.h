// A small cache of laid-out text: the drawers measure a string and then draw it with the same
// attributes and width, and redraw the same labels on every pass, so recent layouts are kept and
// handed out again instead of being laid out anew. Layouts never change once made (the layout
// context is fixed), so a cached one is always current. [main]
#pragma once

#if !defined(KOV_BUILDING_UIKIT) && !defined(KOV_UIKIT_TESTING)
#error "UIKit/internal/ is private to the UIKit library and its test support"
#endif

#include <cstdint>
#include <string>
#include <vector>

typedef struct _PangoLayout PangoLayout;

class TextLayoutCache {
 public:
  // Everything a layout depends on.
  struct Key {
    std::string text;
    std::string family;
    double size = 0;
    int alignment = 0;
    int lineBreak = 0;
    int width = -1;  // Pango units, -1 unbounded
    bool operator==(const Key&) const = default;
  };

  static TextLayoutCache& shared();

  // The cached layout for the key, or null. The cache keeps its reference.
  PangoLayout* find(const Key& key);
  // Stores a layout (the cache takes over the caller's reference), evicting the least recently
  // used one when full, and returns it.
  PangoLayout* insert(Key key, PangoLayout* layout);
  void clear();
  size_t size() const { return entries_.size(); }

  ~TextLayoutCache();

  static constexpr size_t capacity = 64;

 private:
  struct Entry {
    Key key;
    PangoLayout* layout;
    uint64_t lastUse;
  };
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};
