#include "Foundation/internal/PropertyListSafety.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace plist_safety {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

bool isContainerTag(std::string_view name) {
  return equalsIgnoringCase(name, "array") || equalsIgnoringCase(name, "dict");
}

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i)
    value = (value << 8) | p[i];
  return value;
}

// A dictionary key must be a text object (0x5 ASCII, 0x6 UTF-16) without a NUL character:
// libplist keeps keys as C strings and aborts (an assertion) when it hands out one whose length
// disagrees with its strlen.
bool isUsableKey(const std::uint8_t* bytes, std::size_t offset, std::size_t end) {
  if (offset >= end)
    return false;
  std::size_t pos = offset;
  const std::uint8_t marker = bytes[pos++];
  const unsigned type = marker >> 4;
  if (type != 0x5 && type != 0x6)
    return false;
  std::uint64_t count = marker & 0x0F;
  if (count == 0x0F) {
    if (pos >= end || (bytes[pos] & 0xF0) != 0x10)
      return false;
    const std::size_t intBytes = std::size_t{1} << (bytes[pos] & 0x0F);
    ++pos;
    if (intBytes > 8 || end - pos < intBytes)
      return false;
    count = readBigEndian(bytes + pos, intBytes);
    pos += intBytes;
  }
  const std::size_t unit = type == 0x6 ? 2 : 1;
  if ((end - pos) / unit < count)
    return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* c = bytes + pos + i * unit;
    if (c[0] == 0 && (unit == 1 || c[1] == 0))
      return false;
  }
  return true;
}

}  // namespace

// Counts container tags only; comments, CDATA sections, declarations and processing
// instructions are skipped. It may count more nesting than the parser builds (never less), which
// can only refuse a legitimate file nested hundreds of levels deep.
bool xmlNestingWithinLimit(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  std::size_t depth = 0;
  std::size_t pos = 0;
  auto skipPast = [&](std::string_view terminator) {
    const std::size_t end = text.find(terminator, pos);
    pos = end == std::string_view::npos ? text.size() : end + terminator.size();
  };
  while ((pos = text.find('<', pos)) != std::string_view::npos) {
    ++pos;
    const std::string_view rest = text.substr(pos);
    if (rest.starts_with("!--")) {
      skipPast("-->");
      continue;
    }
    if (rest.starts_with("![CDATA[")) {
      skipPast("]]>");
      continue;
    }
    if (rest.starts_with("!") || rest.starts_with("?")) {
      skipPast(">");
      continue;
    }
    const bool closing = rest.starts_with("/");
    const std::size_t nameStart = pos + (closing ? 1 : 0);
    std::size_t nameEnd = nameStart;
    while (nameEnd < text.size() && !std::strchr(" \t\r\n/>", text[nameEnd]))
      ++nameEnd;
    const std::string_view name = text.substr(nameStart, nameEnd - nameStart);
    const std::size_t tagEnd = text.find('>', nameEnd);
    const bool selfClosing = tagEnd != std::string_view::npos && tagEnd > 0 && text[tagEnd - 1] == '/';
    pos = tagEnd == std::string_view::npos ? text.size() : tagEnd + 1;
    if (!isContainerTag(name))
      continue;
    if (closing) {
      if (depth > 0)
        --depth;
    } else if (!selfClosing && ++depth > kMaxDepth) {
      return false;
    }
  }
  return true;
}

// Layout: "bplist00", the objects, the offset table, and a 32-byte trailer holding the offset
// size, the reference size, the object count, the top object and the offset table's position
// (big-endian). Containers (0xA array, 0xB ordered set, 0xC set, 0xD dictionary) hold a count
// in their low nibble (0xF: an integer object follows) and then their references.
bool binaryStructureWithinLimits(const std::uint8_t* bytes, std::size_t size) {
  constexpr std::size_t kHeader = 8, kTrailer = 32;
  if (size < kHeader + kTrailer + 1 || std::memcmp(bytes, "bplist00", kHeader) != 0)
    return false;
  const std::uint8_t* trailer = bytes + size - kTrailer;
  const std::size_t offsetSize = trailer[6];
  const std::size_t refSize = trailer[7];
  const std::uint64_t objectCount = readBigEndian(trailer + 8, 8);
  const std::uint64_t topObject = readBigEndian(trailer + 16, 8);
  const std::uint64_t tableOffset = readBigEndian(trailer + 24, 8);
  const std::size_t tableEnd = size - kTrailer;
  if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
    return false;
  if (objectCount == 0 || objectCount > size || topObject >= objectCount)
    return false;
  if (tableOffset < kHeader || tableOffset > tableEnd || (tableEnd - tableOffset) / offsetSize < objectCount)
    return false;

  const std::size_t count = static_cast<std::size_t>(objectCount);
  struct Container {
    std::size_t refs = 0;   // position of the first reference
    std::size_t count = 0;  // number of references
    bool isContainer = false;
  };
  std::vector<Container> containers(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t offset = readBigEndian(bytes + tableOffset + i * offsetSize, offsetSize);
    if (offset < kHeader || offset >= tableOffset)
      return false;
    std::size_t pos = static_cast<std::size_t>(offset);
    const std::uint8_t marker = bytes[pos++];
    const unsigned type = marker >> 4;
    if (type < 0xA || type > 0xD)
      continue;  // a scalar: libplist checks it
    std::uint64_t n = marker & 0x0F;
    if (n == 0x0F) {
      if (pos >= tableOffset || (bytes[pos] & 0xF0) != 0x10)
        return false;
      const std::size_t intBytes = std::size_t{1} << (bytes[pos] & 0x0F);
      ++pos;
      if (intBytes > 8 || tableOffset - pos < intBytes)
        return false;
      n = readBigEndian(bytes + pos, intBytes);
      pos += intBytes;
    }
    if (type == 0xD) {
      if (n > UINT64_MAX / 2)
        return false;
      n *= 2;  // keys, then values
    }
    if ((tableOffset - pos) / refSize < n)
      return false;
    containers[i] = Container{pos, static_cast<std::size_t>(n), true};
    for (std::size_t r = 0; r < n; ++r) {
      const std::uint64_t ref = readBigEndian(bytes + pos + r * refSize, refSize);
      if (ref >= objectCount)
        return false;
      if (type == 0xD && r < n / 2) {
        const std::uint64_t keyOffset = readBigEndian(bytes + tableOffset + ref * offsetSize, offsetSize);
        if (keyOffset < kHeader || !isUsableKey(bytes, static_cast<std::size_t>(keyOffset), tableOffset))
          return false;
      }
    }
  }

  // Longest container chain and expanded object count from the top object, by an iterative
  // depth-first walk with memo (shared objects are measured once); a reference back to an object
  // on the current path is a cycle.
  enum : std::uint8_t { kUnvisited, kOnPath, kDone };
  std::vector<std::uint8_t> mark(count, kUnvisited);
  std::vector<std::uint32_t> height(count, 0);
  std::vector<std::uint64_t> expanded(count, 1);
  struct Frame {
    std::size_t object;
    std::size_t next;  // index of the next reference to visit
  };
  std::vector<Frame> path;
  path.push_back({static_cast<std::size_t>(topObject), 0});
  mark[topObject] = kOnPath;
  while (!path.empty()) {
    Frame& frame = path.back();
    const Container& c = containers[frame.object];
    if (frame.next < c.count) {
      const auto child =
          static_cast<std::size_t>(readBigEndian(bytes + c.refs + frame.next * refSize, refSize));
      ++frame.next;
      if (mark[child] == kOnPath)
        return false;
      if (mark[child] == kUnvisited) {
        if (path.size() > kMaxDepth)
          return false;
        mark[child] = kOnPath;
        path.push_back({child, 0});
      }
      continue;
    }
    std::uint32_t h = 0;
    std::uint64_t total = 1;
    for (std::size_t r = 0; r < c.count; ++r) {
      const auto child = static_cast<std::size_t>(readBigEndian(bytes + c.refs + r * refSize, refSize));
      h = std::max(h, height[child]);
      total += expanded[child];
      if (total > kMaxExpandedObjects)
        return false;
    }
    height[frame.object] = c.isContainer ? h + 1 : 0;
    if (height[frame.object] > kMaxDepth)
      return false;
    expanded[frame.object] = total;
    mark[frame.object] = kDone;
    path.pop_back();
  }
  return true;
}

}  // namespace plist_safety
