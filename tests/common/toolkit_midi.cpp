// MIDI byte constants and the memory layout of MyMetaEvent.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

#include "MIDI.h"

namespace {
std::vector<UInt8> blockOf(const MyMetaEvent& event) {
  return std::vector<UInt8>(event.mem, event.mem + event.size);
}

// dataLength as the processor stores it.
std::vector<UInt8> lengthBytes(UInt32 n) {
  std::vector<UInt8> bytes(4);
  std::memcpy(bytes.data(), &n, 4);
  return bytes;
}
}  // namespace

TEST(MIDI, MetaEventBlockLayout) {
  {
    SCOPED_TRACE("no data: type, three zero bytes, length 0, four zero bytes");
    MyMetaEvent event(META_EOT, {});
    EXPECT_EQ(event.size, 12);
    EXPECT_EQ(blockOf(event), (std::vector<UInt8>{0x2F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  }
  {
    SCOPED_TRACE("the event of test_MyMetaEvent: 15 bytes");
    MyMetaEvent event(META_SPECIFIC, {0, 0, 0});
    std::vector<UInt8> expected = {0x7F, 0, 0, 0};
    for (UInt8 b : lengthBytes(3)) expected.push_back(b);
    expected.insert(expected.end(), {0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(event.size, 15);
    EXPECT_EQ(blockOf(event), expected);
    if constexpr (std::endian::native == std::endian::little) {
      EXPECT_EQ(blockOf(event), (std::vector<UInt8>{0x7F, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
  }
  {
    SCOPED_TRACE("tempo event: data in order after the header, read through the event view");
    const std::vector<UInt8> data = {0x07, 0xA1, 0x20};
    MyMetaEvent event(META_SETTEMPO, data);
    int calls = 0;
    event.withMIDIMetaEventPtr([&](const MIDIMetaEvent* e) {
      ++calls;
      EXPECT_EQ(reinterpret_cast<const UInt8*>(e), event.mem);
      EXPECT_EQ(e->metaEventType, META_SETTEMPO);
      EXPECT_EQ(e->unused1 | e->unused2 | e->unused3, 0);
      EXPECT_EQ(e->dataLength, 3u);
      EXPECT_EQ(std::memcmp(reinterpret_cast<const UInt8*>(e) + 8, data.data(), 3), 0);
    });
    EXPECT_EQ(calls, 1);
    const std::vector<UInt8> block = blockOf(event);
    EXPECT_EQ(std::vector<UInt8>(block.end() - 4, block.end()), (std::vector<UInt8>{0, 0, 0, 0}));
  }
  {
    SCOPED_TRACE("a long text event: size 12 + n");
    std::vector<UInt8> text(300);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = UInt8('a' + i % 26);
    MyMetaEvent event(META_TEXT, text);
    EXPECT_EQ(event.size, 312);
    const std::vector<UInt8> block = blockOf(event);
    EXPECT_EQ(std::vector<UInt8>(block.begin() + 4, block.begin() + 8), lengthBytes(300));
    EXPECT_EQ(std::vector<UInt8>(block.begin() + 8, block.begin() + 308), text);
  }
  test_MyMetaEvent();  // builds and releases its event; sanitizers watch the memory
}

TEST(MIDI, ConstantsThatShareOrSplitValues) {
  EXPECT_EQ(STATUS_META, STATUS_RESERVED4);
  EXPECT_EQ(STATUS_META, 0xFD);
  EXPECT_NE(STATUS_META, STATUS_RESET);
  for (UInt8 marker : {META_EXTENDEDNOTE, META_AUPARAMETER, META_AUPRESET}) {
    EXPECT_EQ(marker, META_UNKNOWN);
  }
  EXPECT_EQ(META_UNKNOWN, 0xFF);
  EXPECT_EQ(CONTROLLER_SOUNDS_OFF, 120);
  EXPECT_EQ(CONTROLLER_NOTES_OFF, 123);
  EXPECT_NE(CONTROLLER_SOUNDS_OFF, CONTROLLER_NOTES_OFF);
  // Channel status bytes step by 0x10 from note-off to pitch bend.
  const UInt8 channel[] = {STATUS_NOTEOFF, STATUS_NOTEON, STATUS_PPRESSURE, STATUS_CONTROLLER,
                           STATUS_PROGRAM, STATUS_CPRESSURE, STATUS_PITCHBEND};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(channel[i], 0x80 + 0x10 * i);
  // System status bytes are consecutive from F0 to FF.
  const UInt8 system[] = {STATUS_SYSEX, STATUS_TIMECODE, STATUS_SONGPOSITION, STATUS_SONGSELECT,
                          STATUS_RESERVED1, STATUS_RESERVED2, STATUS_TUNEREQUEST, STATUS_EOX,
                          STATUS_TIMINGCLOCK, STATUS_RESERVED3, STATUS_START, STATUS_CONTINUE,
                          STATUS_STOP, STATUS_RESERVED4, STATUS_ACTIVESENSING, STATUS_RESET};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(system[i], 0xF0 + i);
  // Unnamed controllers carry their own number.
  const UInt8 unnamed[] = {CONTROLLER_003, CONTROLLER_008, CONTROLLER_009, CONTROLLER_016,
                           CONTROLLER_031, CONTROLLER_102, CONTROLLER_112};
  const int numbers[] = {3, 8, 9, 16, 31, 102, 112};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(unnamed[i], numbers[i]);
}
