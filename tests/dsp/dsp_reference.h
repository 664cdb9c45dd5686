// Test signals, render events, and straightforward per-sample versions of the stereo compressor
// operations: the reference the buffer forms must match bit for bit.
#pragma once

#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Compressor2.h"

namespace dsp_reference {

// Decaying tone bursts over noise: levels that cross a threshold both ways.
inline std::vector<float> music(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (int i = 0; i < n; ++i) {
    const float envelope = std::exp(-static_cast<float>(i % 3000) / 700.0f);
    v[i] = 0.9f * envelope * std::sin(0.03f * i + seed) + 0.05f * d(rng);
  }
  return v;
}

// One render event: a parameter (address, value) or a MIDI message (status in `address`).
struct Event {
  AUEventSampleTime time;
  AUParameterAddress address;
  AUValue value = 0.0f;
  AURenderEventType type = AURenderEventParameter;
};

// The events as a linked list, in the order given (linked when asked for, so copies work too).
struct Events {
  mutable std::vector<AURenderEvent> list;
  Events(std::initializer_list<Event> events = {}) {
    for (const Event& x : events)
      add(x);
  }
  void add(const Event& x) {
    AURenderEvent e{};
    if (x.type == AURenderEventParameter || x.type == AURenderEventParameterRamp) {
      e.parameter.eventSampleTime = x.time;
      e.parameter.eventType = x.type;
      e.parameter.parameterAddress = x.address;
      e.parameter.value = x.value;
    } else {
      e.MIDI.eventSampleTime = x.time;
      e.MIDI.eventType = x.type;
      e.MIDI.length = 3;
      e.MIDI.data[0] = static_cast<UInt8>(x.address);
    }
    list.push_back(e);
  }
  const AURenderEvent* head() const {
    for (std::size_t i = 0; i + 1 < list.size(); ++i)
      list[i].head.next = &list[i + 1];
    return list.empty() ? nullptr : &list[0];
  }
};

// mode 0 dual, 1 linked, 2 mid-side, 3 mid-side linked; keyed: side-chain forms with keys a, b.
inline void compress(Compressor2& c, int mode, bool keyed, float* l, float* r, const float* a, const float* b,
                     int n) {
  Compressor1& A = c.c[0];
  Compressor1& B = c.c[1];
  if (mode == 0 || mode == 1) {
    for (int i = 0; i < n; ++i) {
      if (mode == 0)
        A.processSample(l + i, keyed ? a + i : nullptr);
      else
        A.processSampleLinked(l + i, r + i, keyed ? a + i : nullptr, keyed ? b + i : nullptr);
    }
    for (int i = 0; i < n; ++i) {
      if (mode == 0)
        B.processSample(r + i, keyed ? b + i : nullptr);
      else
        B.processSampleLinked(r + i, l + i, keyed ? b + i : nullptr, keyed ? a + i : nullptr);
    }
    return;
  }
  c.ms.split(l, r, n);
  float* mid = c.ms.getMid();
  float* side = c.ms.getSide();
  if (keyed) {
    for (int i = 0; i < n; ++i)
      A.processSample(mid + i, a + i);
    for (int i = 0; i < n; ++i)
      B.processSample(side + i, mode == 2 ? b + i : a + i);
  } else if (mode == 2) {
    for (int i = 0; i < n; ++i)
      A.processSample(mid + i, nullptr);
    for (int i = 0; i < n; ++i)
      B.processSample(side + i, nullptr);
  } else {
    // B keyed by the mid as it was before A's pass.
    for (int i = 0; i < n; ++i) {
      const float key = mid[i];
      A.processSample(mid + i, nullptr);
      B.processSample(side + i, &key);
    }
  }
  c.ms.mix(l, r, n);
}

}  // namespace dsp_reference
