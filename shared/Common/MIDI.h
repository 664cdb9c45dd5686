// The toolkit's MIDI vocabulary: status bytes, controller numbers, meta-event types, and
// MyMetaEvent, the owner of one meta event laid out as the platform's MIDIMetaEvent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"

// A meta event as the platform's sequencing interfaces take it: `dataLength` bytes follow the
// header at offset 8 (the array is declared with one element, as in the C structure).
struct MIDIMetaEvent {
  UInt8 metaEventType;
  UInt8 unused1;
  UInt8 unused2;
  UInt8 unused3;
  UInt32 dataLength;  // processor byte order
  UInt8 data[1];
};
static_assert(sizeof(MIDIMetaEvent) == 12 && offsetof(MIDIMetaEvent, data) == 8);

// Status bytes (channel messages for channel 0).
inline constexpr UInt8 STATUS_NOTEOFF = 0x80;
inline constexpr UInt8 STATUS_NOTEON = 0x90;
inline constexpr UInt8 STATUS_PPRESSURE = 0xA0;
inline constexpr UInt8 STATUS_CONTROLLER = 0xB0;
inline constexpr UInt8 STATUS_PROGRAM = 0xC0;
inline constexpr UInt8 STATUS_CPRESSURE = 0xD0;
inline constexpr UInt8 STATUS_PITCHBEND = 0xE0;
inline constexpr UInt8 STATUS_SYSEX = 0xF0;
inline constexpr UInt8 STATUS_TIMECODE = 0xF1;
inline constexpr UInt8 STATUS_SONGPOSITION = 0xF2;
inline constexpr UInt8 STATUS_SONGSELECT = 0xF3;
inline constexpr UInt8 STATUS_RESERVED1 = 0xF4;
inline constexpr UInt8 STATUS_RESERVED2 = 0xF5;
inline constexpr UInt8 STATUS_TUNEREQUEST = 0xF6;
inline constexpr UInt8 STATUS_EOX = 0xF7;
inline constexpr UInt8 STATUS_TIMINGCLOCK = 0xF8;
inline constexpr UInt8 STATUS_RESERVED3 = 0xF9;
inline constexpr UInt8 STATUS_START = 0xFA;
inline constexpr UInt8 STATUS_CONTINUE = 0xFB;
inline constexpr UInt8 STATUS_STOP = 0xFC;
inline constexpr UInt8 STATUS_RESERVED4 = 0xFD;
inline constexpr UInt8 STATUS_ACTIVESENSING = 0xFE;
inline constexpr UInt8 STATUS_RESET = 0xFF;
// An undefined system status byte marks meta events here, not the 0xFF of standard MIDI files.
inline constexpr UInt8 STATUS_META = STATUS_RESERVED4;

// Controller numbers with a name.
inline constexpr UInt8 CONTROLLER_BANKSELECT_MSB = 0;
inline constexpr UInt8 CONTROLLER_MODWHEEL = 1;
inline constexpr UInt8 CONTROLLER_DATA_MSB = 6;
inline constexpr UInt8 CONTROLLER_VOLUME = 7;
inline constexpr UInt8 CONTROLLER_PAN = 10;
inline constexpr UInt8 CONTROLLER_EXPRESSION = 11;
inline constexpr UInt8 CONTROLLER_BANKSELECT_LSB = 32;
inline constexpr UInt8 CONTROLLER_SUSTAIN = 64;
inline constexpr UInt8 CONTROLLER_PORTA = 65;
inline constexpr UInt8 CONTROLLER_HOLD2 = 69;
inline constexpr UInt8 CONTROLLER_RESONANCE = 71;
inline constexpr UInt8 CONTROLLER_RELEASE = 72;
inline constexpr UInt8 CONTROLLER_ATTACK = 73;
inline constexpr UInt8 CONTROLLER_CUTOFF = 74;
inline constexpr UInt8 CONTROLLER_DECAY = 75;
inline constexpr UInt8 CONTROLLER_SUSTAIN2 = 76;
inline constexpr UInt8 CONTROLLER_SOUNDS_OFF = 120;
inline constexpr UInt8 CONTROLLER_RESET_CONTROLLERS = 121;
inline constexpr UInt8 CONTROLLER_NOTES_OFF = 123;

// Controller numbers without a name, named by their number.
inline constexpr UInt8 CONTROLLER_003 = 3;
inline constexpr UInt8 CONTROLLER_008 = 8;
inline constexpr UInt8 CONTROLLER_009 = 9;
inline constexpr UInt8 CONTROLLER_016 = 16;
inline constexpr UInt8 CONTROLLER_017 = 17;
inline constexpr UInt8 CONTROLLER_018 = 18;
inline constexpr UInt8 CONTROLLER_019 = 19;
inline constexpr UInt8 CONTROLLER_020 = 20;
inline constexpr UInt8 CONTROLLER_021 = 21;
inline constexpr UInt8 CONTROLLER_022 = 22;
inline constexpr UInt8 CONTROLLER_023 = 23;
inline constexpr UInt8 CONTROLLER_024 = 24;
inline constexpr UInt8 CONTROLLER_025 = 25;
inline constexpr UInt8 CONTROLLER_026 = 26;
inline constexpr UInt8 CONTROLLER_027 = 27;
inline constexpr UInt8 CONTROLLER_028 = 28;
inline constexpr UInt8 CONTROLLER_029 = 29;
inline constexpr UInt8 CONTROLLER_030 = 30;
inline constexpr UInt8 CONTROLLER_031 = 31;
inline constexpr UInt8 CONTROLLER_102 = 102;
inline constexpr UInt8 CONTROLLER_103 = 103;
inline constexpr UInt8 CONTROLLER_104 = 104;
inline constexpr UInt8 CONTROLLER_105 = 105;
inline constexpr UInt8 CONTROLLER_106 = 106;
inline constexpr UInt8 CONTROLLER_107 = 107;
inline constexpr UInt8 CONTROLLER_108 = 108;
inline constexpr UInt8 CONTROLLER_109 = 109;
inline constexpr UInt8 CONTROLLER_110 = 110;
inline constexpr UInt8 CONTROLLER_111 = 111;
inline constexpr UInt8 CONTROLLER_112 = 112;

// Meta-event types: the standard MIDI file types, then four markers of this program (all 0xFF).
inline constexpr UInt8 META_SEQUENCENUMBER = 0x00;
inline constexpr UInt8 META_TEXT = 0x01;
inline constexpr UInt8 META_COPYRIGHT = 0x02;
inline constexpr UInt8 META_TRACKNAME = 0x03;
inline constexpr UInt8 META_INSTRUMENTNAME = 0x04;
inline constexpr UInt8 META_LYRICS = 0x05;
inline constexpr UInt8 META_MARKER = 0x06;
inline constexpr UInt8 META_CUEPOINT = 0x07;
inline constexpr UInt8 META_PROGRAMNAME = 0x08;
inline constexpr UInt8 META_DEVICENAME = 0x09;
inline constexpr UInt8 META_CHANNELPREFIX = 0x20;
inline constexpr UInt8 META_MIDIPORT = 0x21;
inline constexpr UInt8 META_EOT = 0x2F;
inline constexpr UInt8 META_SETTEMPO = 0x51;
inline constexpr UInt8 META_SMTPOFFSET = 0x54;
inline constexpr UInt8 META_TIMESIGNATURE = 0x58;
inline constexpr UInt8 META_KEYSIGNATURE = 0x59;
inline constexpr UInt8 META_SPECIFIC = 0x7F;
inline constexpr UInt8 META_SYSEX = 0xF0;
inline constexpr UInt8 META_UNKNOWN = 0xFF;
inline constexpr UInt8 META_EXTENDEDNOTE = 0xFF;
inline constexpr UInt8 META_AUPARAMETER = 0xFF;
inline constexpr UInt8 META_AUPRESET = 0xFF;

// Owns one meta event: a zero-filled block of `size` = 12 + n bytes holding the MIDIMetaEvent
// header, the n data bytes at offset 8 and four trailing zero bytes. [any; one thread at a time]
class MyMetaEvent {
 public:
  // Throws std::length_error when the data does not fit the 32-bit `dataLength` (4 GiB or more).
  MyMetaEvent(UInt8 type, const std::vector<UInt8>& data);
  virtual ~MyMetaEvent();
  MyMetaEvent(const MyMetaEvent&) = delete;
  MyMetaEvent& operator=(const MyMetaEvent&) = delete;

  // Calls body once, now, with the block viewed as one event; the pointer is valid only during
  // the call.
  virtual void withMIDIMetaEventPtr(const std::function<void(const MIDIMetaEvent*)>& body) const;

  const std::int64_t size;
  UInt8* const mem;
};

// Builds an event of type META_SPECIFIC with the data bytes 0, 0, 0 and hands it to a body that
// does nothing.
void test_MyMetaEvent();
