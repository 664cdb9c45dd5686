#include "SDOStringList.h"

#include <cstdlib>
#include <new>

namespace SDO {

CStringList::~CStringList() {
  for (char* item : items)
    std::free(item);
}

void CStringList::Clear() {
  for (char* item : items)
    std::free(item);
  items.clear();
}

void CStringList::Append(char* text) {
  if (!text)
    return;
  try {
    items.push_back(text);
  } catch (const std::bad_alloc&) {
    std::free(text);  // the list owns what it was given
  }
}

int CStringList::Count() {
  return static_cast<int>(items.size());
}

const char* CStringList::Item(int index) {
  if (index < 0 || index >= Count())
    return nullptr;
  return items[static_cast<size_t>(index)];
}

}  // namespace SDO
