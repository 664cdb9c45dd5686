#include "LoopSynth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace loops {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

double noteHz(double midi) {
  return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

// xorshift32: white noise in [-1, 1).
struct Noise {
  std::uint32_t state;
  explicit Noise(std::uint32_t seed) : state(seed ? seed : 1U) {}
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  double white() { return double(next() >> 8) / double(1U << 23) - 1.0; }
};

// A resonant band-pass (RBJ cookbook, constant 0 dB peak gain), for formants and the snare.
struct BandPass {
  double b0 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  void set(double hz, double q) {
    const double w = kTwoPi * hz / kSampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    b0 = alpha / a0;
    b2 = -alpha / a0;
    a1 = -2.0 * std::cos(w) / a0;
    a2 = (1.0 - alpha) / a0;
  }
  double operator()(double x) {
    const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// One-pole low-pass, y += g (x - y), g from the cut-off frequency.
struct OnePole {
  double g = 1.0, y = 0.0;
  void set(double hz) { g = 1.0 - std::exp(-kTwoPi * hz / kSampleRate); }
  double operator()(double x) { return y += g * (x - y); }
};

// Equal-power panning gains (pan -1 left ... +1 right).
struct Pan {
  double left, right;
  explicit Pan(double pan)
      : left(std::cos((pan + 1.0) * std::numbers::pi / 4.0)),
        right(std::sin((pan + 1.0) * std::numbers::pi / 4.0)) {}
};

// The loop's stereo buffer; writes past the end wrap to the start.
class Canvas {
 public:
  explicit Canvas(std::int64_t frames) : left_(std::size_t(frames), 0.0), right_(std::size_t(frames), 0.0) {}
  std::int64_t frames() const { return std::int64_t(left_.size()); }
  void add(std::int64_t at, double value, const Pan& pan) {
    const std::size_t i = std::size_t(((at % frames()) + frames()) % frames());
    left_[i] += value * pan.left;
    right_[i] += value * pan.right;
  }
  std::vector<double>& left() { return left_; }
  std::vector<double>& right() { return right_; }

 private:
  std::vector<double> left_, right_;
};

// Level of the bar a frame falls in, by the recipe's dynamics (quiet sections 12 dB down).
double sectionGain(const LoopRecipe& r, std::int64_t frame, bool isDrum) {
  const int bar = int(frame / (r.beatFrames() * 4));
  const bool secondHalf = bar >= (r.bars + 1) / 2 && r.bars > 1;
  constexpr double quiet = 0.25;
  switch (r.dynamics) {
    case Dynamics::steady:
      return 1.0;
    case Dynamics::crescendo:
      return secondHalf ? 1.0 : quiet;
    case Dynamics::fadeDown:
      return secondHalf ? quiet : 1.0;
    case Dynamics::breakdown:
      return isDrum && (secondHalf || bar == r.bars - 1) && r.bars > 1 ? 0.0 : 1.0;
  }
  return 1.0;
}

void kick(Canvas& c, std::int64_t at, double level, Noise& noise) {
  const std::int64_t length = std::int64_t(0.45 * kSampleRate);
  double phase = 0.0;
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kSampleRate;
    const double hz = 45.0 + 110.0 * std::exp(-t * 35.0);  // pitch drops from 155 Hz to 45 Hz
    phase += kTwoPi * hz / kSampleRate;
    const double body = std::sin(phase) * std::exp(-t * 7.0);
    const double click = n < 96 ? 0.6 * noise.white() * (1.0 - n / 96.0) : 0.0;
    c.add(at + n, level * (body + click), Pan(0.0));
  }
}

void snare(Canvas& c, std::int64_t at, double level, Pan pan, Noise& noise) {
  const std::int64_t length = std::int64_t(0.3 * kSampleRate);
  BandPass band;
  band.set(3200.0, 0.7);
  for (std::int64_t n = 0; n < length; ++n) {
    const double t = n / kSampleRate;
    const double rattle = 2.2 * band(noise.white()) * std::exp(-t * 16.0);
    const double tone = 0.5 * std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 30.0);
    c.add(at + n, level * (rattle + tone), pan);
  }
}

void hat(Canvas& c, std::int64_t at, double level, Pan pan, bool open, Noise& noise) {
  const double decay = open ? 9.0 : 55.0;
  const std::int64_t length = std::int64_t((open ? 0.4 : 0.08) * kSampleRate);
  OnePole low;
  low.set(7000.0);
  for (std::int64_t n = 0; n < length; ++n) {
    const double x = noise.white();
    const double high = x - low(x);  // what the low-pass leaves out: the top octaves
    c.add(at + n, level * 0.9 * high * std::exp(-n / kSampleRate * decay), pan);
  }
}

// Naive saw through a low-pass that closes over the note (a plucked synth bass).
void bassNote(Canvas& c, std::int64_t at, std::int64_t length, double midi, double level) {
  const double hz = noteHz(midi);
  OnePole filter;
  const Pan centre(0.0);
  double phase = 0.0;
  const std::int64_t release = 400;
  for (std::int64_t n = 0; n < length + release; ++n) {
    const double t = n / kSampleRate;
    filter.set(180.0 + 1400.0 * std::exp(-t * 12.0));
    phase += hz / kSampleRate;
    phase -= std::floor(phase);
    const double saw = 2.0 * phase - 1.0;
    const double gate = n < length ? 1.0 : 1.0 - double(n - length) / release;
    const double attack = std::min(1.0, n / 48.0);
    c.add(at + n, level * attack * gate * (filter(saw) + 0.5 * std::sin(kTwoPi * hz * t)), centre);
  }
}

// Two detuned triangles per chord tone with a slow attack and release; tones spread in the field.
void chord(Canvas& c, std::int64_t at, std::int64_t length, const std::array<double, 4>& notes, double level,
           double width) {
  const std::int64_t attack = std::int64_t(0.12 * kSampleRate), release = std::int64_t(0.35 * kSampleRate);
  for (std::size_t k = 0; k < notes.size(); ++k) {
    const double hz = noteHz(notes[k]);
    const double pan = width * (double(k) / (notes.size() - 1) * 1.2 - 0.6);
    for (int voice = 0; voice < 2; ++voice) {
      const double f = hz * (voice ? 1.003 : 0.997);
      const Pan place(std::clamp(pan + (voice ? 0.15 : -0.15) * width, -1.0, 1.0));
      double phase = voice * 0.25;
      for (std::int64_t n = 0; n < length + release; ++n) {
        phase += f / kSampleRate;
        phase -= std::floor(phase);
        const double triangle = 4.0 * std::fabs(phase - 0.5) - 1.0;
        const double env = std::min(1.0, double(n) / attack) *
                           (n < length ? 1.0 : std::exp(-double(n - length) / release * 5.0));
        c.add(at + n, level * 0.18 * env * triangle, place);
      }
    }
  }
}

// Vowel formants (F1, F2, F3 in Hz) of a, e, i, o, u.
constexpr std::array<std::array<double, 3>, 5> kVowels{
    {{800, 1150, 2900}, {400, 1700, 2600}, {300, 2200, 3000}, {450, 800, 2830}, {325, 700, 2530}}};

// A sung note: a glottal-like pulse (a saw with a rounded edge) with delayed vibrato, through
// three formant resonators of a vowel.
void voiceNote(Canvas& c, std::int64_t at, std::int64_t length, double midi, int vowel, double level,
               Pan pan) {
  const double hz = noteHz(midi);
  std::array<BandPass, 3> formants;
  const auto& v = kVowels[std::size_t(vowel) % kVowels.size()];
  for (std::size_t k = 0; k < 3; ++k)
    formants[k].set(v[k], 8.0 + 4.0 * k);
  const std::array<double, 3> gains{1.0, 0.6, 0.3};
  double phase = 0.0;
  const std::int64_t release = std::int64_t(0.08 * kSampleRate);
  for (std::int64_t n = 0; n < length + release; ++n) {
    const double t = n / kSampleRate;
    const double vibrato =
        t > 0.15 ? 0.25 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, (t - 0.15) * 4.0) : 0.0;
    phase += hz * std::exp2(vibrato / 12.0) / kSampleRate;
    phase -= std::floor(phase);
    const double pulse = phase * phase * phase - 0.25;
    double y = 0.0;
    for (std::size_t k = 0; k < 3; ++k)
      y += gains[k] * formants[k](pulse);
    const double env = std::min(1.0, t / 0.03) * (n < length ? 1.0 : 1.0 - double(n - length) / release);
    c.add(at + n, level * 6.0 * env * y, pan);
  }
}

// Chord roots as scale degrees (0-based) for four bars.
constexpr std::array<std::array<int, 4>, 4> kProgressions{
    {{0, 5, 3, 4}, {0, 3, 4, 4}, {0, 6, 5, 4}, {0, 4, 5, 3}}};
constexpr std::array<int, 7> kMajor{0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinor{0, 2, 3, 5, 7, 8, 10};

double degreeNote(const LoopRecipe& r, int degree) {
  const auto& scale = r.minor ? kMinor : kMajor;
  const int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
  const int inScale = degree - octave * 7;
  return r.rootNote + 12 * octave + scale[std::size_t(inScale)];
}

// Drum patterns on 16 steps: kick, snare, closed hat, open hat (bit i = step i).
struct Groove {
  std::uint16_t kick, snare, hat, openHat;
};
constexpr std::array<Groove, 4> kGrooves{{
    {0x0101 | 0x0400, 0x1010, 0x5555, 0x0000},  // straight, 8th hats
    {0x0111, 0x1010, 0xFFFF, 0x8080},           // four on the floor with 16ths and open hats
    {0x0481, 0x1010, 0x5555, 0x2020},           // syncopated kick
    {0x0101, 0x1000, 0x4444, 0x0000},           // half-time
}};

}  // namespace

StereoSignal synthesize(const LoopRecipe& r) {
  Canvas canvas(r.frames());
  Noise noise(r.seed);
  const std::int64_t beat = r.beatFrames();
  const std::int64_t step = beat / 4;
  const std::int64_t bar = beat * 4;

  for (int b = 0; b < r.bars; ++b) {
    const std::int64_t barStart = b * bar;
    const int rootDegree = kProgressions[std::size_t(r.progression)][std::size_t(b % 4)];
    // Drums.
    if (r.drums > 0.0f) {
      const Groove& g = kGrooves[std::size_t(r.groove)];
      for (int s = 0; s < 16; ++s) {
        const std::int64_t at = barStart + s * step + (r.swing && (s & 1) ? step / 3 : 0);
        const double gain = r.drums * sectionGain(r, at, true);
        if (gain == 0.0)
          continue;
        const double accent = (s % 4 == 0) ? 1.0 : 0.7;
        if (g.kick >> s & 1)
          kick(canvas, at, 0.9 * gain, noise);
        if (g.snare >> s & 1)
          snare(canvas, at, 0.55 * gain, Pan(0.1 * r.width), noise);
        if (g.openHat >> s & 1)
          hat(canvas, at, 0.22 * gain, Pan(0.45 * r.width), true, noise);
        else if (g.hat >> s & 1)
          hat(canvas, at, 0.22 * gain * accent, Pan(0.45 * r.width), false, noise);
      }
    }
    // Bass: 8ths on the chord root with an octave jump on the last one.
    if (r.bass > 0.0f) {
      for (int e = 0; e < 8; ++e) {
        const std::int64_t at = barStart + e * 2 * step;
        const double note = degreeNote(r, rootDegree) + (e == 7 ? 12 : 0);
        const double gain = r.bass * sectionGain(r, at, false) * (e % 2 ? 0.75 : 1.0);
        bassNote(canvas, at, 2 * step - 200, note, 0.45 * gain);
      }
    }
    // Chords: one per bar, root position triad plus the seventh, an octave and a fifth up.
    if (r.chords > 0.0f) {
      std::array<double, 4> notes{};
      for (int k = 0; k < 4; ++k)
        notes[std::size_t(k)] = degreeNote(r, rootDegree + 2 * k) + 19 - 7;
      chord(canvas, barStart, bar - beat / 2, notes, r.chords * sectionGain(r, barStart, false), r.width);
    }
    // Lead: a phrase of quarter and eighth notes from the chord's scale, with rests.
    if (r.lead > 0.0f) {
      std::int64_t at = barStart;
      while (at < barStart + bar) {
        const std::uint32_t pick = noise.next();
        const std::int64_t length = (pick & 1) ? beat : beat / 2;
        if ((pick >> 1) % 5 != 0) {  // one note in five is a rest
          const int degree = rootDegree + int((pick >> 4) % 8) - 1;
          voiceNote(canvas, at, length - step / 4, degreeNote(r, degree) + 24, int((pick >> 8) % 5),
                    r.lead * sectionGain(r, at, false), Pan(-0.3 * r.width));
        }
        at += length;
      }
    }
  }

  // Scale to the peak target.
  double peak = 0.0;
  for (std::int64_t n = 0; n < canvas.frames(); ++n)
    peak =
        std::max({peak, std::fabs(canvas.left()[std::size_t(n)]), std::fabs(canvas.right()[std::size_t(n)])});
  const double scale = peak > 0.0 ? std::pow(10.0, r.peakDbfs / 20.0) / peak : 0.0;
  StereoSignal out;
  out.left.resize(std::size_t(canvas.frames()));
  out.right.resize(std::size_t(canvas.frames()));
  for (std::size_t n = 0; n < out.left.size(); ++n) {
    out.left[n] = float(canvas.left()[n] * scale);
    out.right[n] = float(canvas.right()[n] * scale);
  }
  return out;
}

}  // namespace loops
