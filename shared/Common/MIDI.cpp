#include "MIDI.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {
std::size_t checkedDataLength(const std::vector<UInt8>& data) {
  if (data.size() > std::numeric_limits<UInt32>::max()) {
    throw std::length_error("MyMetaEvent: more data than a 32-bit data length can describe");
  }
  return data.size();
}

UInt8* allocateZeroed(std::size_t size) {
  // calloc aligns for any scalar, so the block may be viewed as a MIDIMetaEvent.
  void* block = std::calloc(size, 1);
  if (!block)
    throw std::bad_alloc();
  return static_cast<UInt8*>(block);
}
}  // namespace

MyMetaEvent::MyMetaEvent(UInt8 type, const std::vector<UInt8>& data)
    : size(std::int64_t(sizeof(MIDIMetaEvent) + checkedDataLength(data))),
      mem(allocateZeroed(std::size_t(size))) {
  auto* event = reinterpret_cast<MIDIMetaEvent*>(mem);
  event->metaEventType = type;
  event->dataLength = UInt32(data.size());
  if (!data.empty())
    std::memcpy(mem + offsetof(MIDIMetaEvent, data), data.data(), data.size());
}

MyMetaEvent::~MyMetaEvent() {
  std::free(mem);
}

void MyMetaEvent::withMIDIMetaEventPtr(const std::function<void(const MIDIMetaEvent*)>& body) const {
  body(reinterpret_cast<const MIDIMetaEvent*>(mem));
}

void test_MyMetaEvent() {
  MyMetaEvent event(META_SPECIFIC, {0, 0, 0});
  event.withMIDIMetaEventPtr([](const MIDIMetaEvent*) {});
}
