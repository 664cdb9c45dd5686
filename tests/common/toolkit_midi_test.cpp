// MyMetaEvent, which the product does not use: a smoke test of its memory layout.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "MIDI.h"

using Bytes = std::vector<UInt8>;

TEST(MIDI, MetaEventBlockLayout) {
  // Type, three zero bytes, the data length in native order, the data, four zero bytes.
  MyMetaEvent event(META_SETTEMPO, {0x07, 0xA1, 0x20});
  Bytes expected = {META_SETTEMPO, 0, 0, 0, 0, 0, 0, 0, 0x07, 0xA1, 0x20, 0, 0, 0, 0};
  const UInt32 length = 3;
  std::memcpy(expected.data() + 4, &length, 4);
  EXPECT_EQ(Bytes(event.mem, event.mem + event.size), expected);
  int calls = 0;
  event.withMIDIMetaEventPtr([&](const MIDIMetaEvent* e) {
    ++calls;
    EXPECT_EQ(reinterpret_cast<const UInt8*>(e), event.mem);
    EXPECT_EQ(e->dataLength, length);
  });
  EXPECT_EQ(calls, 1);
  MyMetaEvent empty(META_EOT, {});
  EXPECT_EQ(empty.size, 12);
  test_MyMetaEvent();  // builds and releases its event; sanitizers watch the memory
}
