// Internal to Foundation: structural checks that run before property-list bytes reach libplist.
// libplist 2.2 parses and frees nested containers recursively, and the binary reader expands a
// shared object once per reference, so hostile input could exhaust the stack (deep nesting) or
// memory and time (a few objects referenced in a doubling chain). These checks bound both.
#pragma once

#ifndef KOV_BUILDING_FOUNDATION
#error "Foundation/internal/ is private to the Foundation library"
#endif

#include <cstddef>
#include <cstdint>

namespace plist_safety {

// Deepest nesting of containers that is read or written.
inline constexpr std::size_t kMaxDepth = 512;
// Most objects a binary property list may expand to (each reference counts once).
inline constexpr std::uint64_t kMaxExpandedObjects = 1u << 20;

// False when the XML text opens more than kMaxDepth nested arrays or dictionaries. [any]
bool xmlNestingWithinLimit(const std::uint8_t* bytes, std::size_t size);
// False for a binary property list that is malformed at the level of its trailer, offset table
// or container references, that refers to itself, that nests or expands beyond the limits, or
// whose dictionary keys are not texts free of NUL characters (libplist aborts on those).
// [any]
bool binaryStructureWithinLimits(const std::uint8_t* bytes, std::size_t size);

}  // namespace plist_safety
