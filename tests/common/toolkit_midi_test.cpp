// MIDI byte constants and the memory layout of MyMetaEvent.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "MIDI.h"

using Bytes = std::vector<UInt8>;

TEST(MIDI, MetaEventBlockLayout) {
  Bytes text(300);
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = UInt8('a' + i % 26);
  const std::pair<UInt8, Bytes> cases[] = {
      {META_EOT, {}}, {META_SPECIFIC, {0, 0, 0}}, {META_SETTEMPO, {0x07, 0xA1, 0x20}}, {META_TEXT, text}};
  for (const auto& [type, data] : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int(type) << ", " << data.size() << " bytes");
    // Type, three zero bytes, the length as the processor stores it, the data, four zero bytes.
    const auto length = static_cast<UInt32>(data.size());
    Bytes expected(12 + data.size(), 0);
    expected[0] = type;
    std::memcpy(expected.data() + 4, &length, 4);
    std::copy(data.begin(), data.end(), expected.begin() + 8);
    MyMetaEvent event(type, data);
    EXPECT_EQ(event.size, std::int64_t(12 + data.size()));
    EXPECT_EQ(Bytes(event.mem, event.mem + event.size), expected);
    int calls = 0;
    event.withMIDIMetaEventPtr([&](const MIDIMetaEvent* e) {
      ++calls;
      EXPECT_EQ(reinterpret_cast<const UInt8*>(e), event.mem);
      EXPECT_EQ(e->metaEventType, type);
      EXPECT_EQ(e->unused1 | e->unused2 | e->unused3, 0);
      EXPECT_EQ(e->dataLength, length);
    });
    EXPECT_EQ(calls, 1);
  }
  if constexpr (std::endian::native == std::endian::little) {
    SCOPED_TRACE("the event of test_MyMetaEvent: 15 bytes");
    MyMetaEvent event(META_SPECIFIC, {0, 0, 0});
    EXPECT_EQ(Bytes(event.mem, event.mem + event.size),
              (Bytes{0x7F, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  }
  test_MyMetaEvent();  // builds and releases its event; sanitizers watch the memory
}

TEST(MIDI, ConstantsThatShareOrSplitValues) {
  EXPECT_EQ(STATUS_META, STATUS_RESERVED4);
  EXPECT_EQ(STATUS_META, 0xFD);
  for (UInt8 marker : {META_EXTENDEDNOTE, META_AUPARAMETER, META_AUPRESET})
    EXPECT_EQ(marker, META_UNKNOWN);
  EXPECT_EQ(META_UNKNOWN, 0xFF);
  EXPECT_EQ(CONTROLLER_SOUNDS_OFF, 120);
  EXPECT_EQ(CONTROLLER_NOTES_OFF, 123);
  // Channel status bytes step by 0x10 from note-off to pitch bend.
  const UInt8 channel[] = {STATUS_NOTEOFF, STATUS_NOTEON,    STATUS_PPRESSURE, STATUS_CONTROLLER,
                           STATUS_PROGRAM, STATUS_CPRESSURE, STATUS_PITCHBEND};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(channel[i], 0x80 + 0x10 * i);
  // System status bytes are consecutive from F0 to FF.
  const UInt8 system[] = {STATUS_SYSEX,       STATUS_TIMECODE,  STATUS_SONGPOSITION,  STATUS_SONGSELECT,
                          STATUS_RESERVED1,   STATUS_RESERVED2, STATUS_TUNEREQUEST,   STATUS_EOX,
                          STATUS_TIMINGCLOCK, STATUS_RESERVED3, STATUS_START,         STATUS_CONTINUE,
                          STATUS_STOP,        STATUS_RESERVED4, STATUS_ACTIVESENSING, STATUS_RESET};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(system[i], 0xF0 + i);
}
