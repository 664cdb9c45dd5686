#include "UIKit/internal/TextLayoutCache.h"

#include <pango/pango.h>

#include <algorithm>

TextLayoutCache& TextLayoutCache::shared() {
  static TextLayoutCache cache;
  return cache;
}

PangoLayout* TextLayoutCache::find(const Key& key) {
  // A linear scan: with a few dozen short entries this is cheaper than hashing the text.
  for (Entry& entry : entries_) {
    if (entry.key == key) {
      entry.lastUse = ++clock_;
      return entry.layout;
    }
  }
  return nullptr;
}

PangoLayout* TextLayoutCache::insert(Key key, PangoLayout* layout) {
  if (entries_.size() >= capacity) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
    g_object_unref(oldest->layout);
    *oldest = Entry{std::move(key), layout, ++clock_};
  } else {
    entries_.push_back(Entry{std::move(key), layout, ++clock_});
  }
  return layout;
}

void TextLayoutCache::clear() {
  for (Entry& entry : entries_)
    g_object_unref(entry.layout);
  entries_.clear();
}

TextLayoutCache::~TextLayoutCache() {
  clear();
}
