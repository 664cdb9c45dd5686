// The constant wave tables of Modulator: one cycle of 4096 samples each, peak magnitude 1.
// They are generated once, on first use, from short additive recipes instead of being kept as
// literal data, and never written afterwards.
#include <array>
#include <cmath>
#include <cstdlib>

#include "Modulator.h"

namespace {

constexpr int N = Modulator::kTableSize;
constexpr int kSelectable = 65;  // table_tri, table_saw, table_sqr, table_03 .. table_64

struct ConstantTables {
  std::array<float, N> sine{};
  std::array<std::array<float, N>, kSelectable> selectable{};

  ConstantTables() {
    // One exact cycle of sin in double precision; harmonics read it at multiples of the index.
    std::array<double, N> s{};
    for (int i = 0; i < N; ++i)
      s[i] = std::sin(2.0 * M_PI * i / N);
    for (int i = 0; i < N; ++i)
      sine[i] = static_cast<float>(s[i]);

    auto& tri = selectable[0];
    for (int i = 0; i < N; ++i) {
      // 0 -> 1 at a quarter, -> -1 at three quarters, -> 0 at the end.
      const double x = static_cast<double>(i) / N;
      const double v = (x < 0.25) ? 4.0 * x : (x < 0.75 ? 2.0 - 4.0 * x : 4.0 * x - 4.0);
      tri[i] = static_cast<float>(v);
    }
    auto& saw = selectable[1];
    for (int i = 0; i < N; ++i) {
      // Rises from 0 to 1 over the first half, jumps to -1 and rises back to 0.
      const double x = static_cast<double>(i) / N;
      saw[i] = static_cast<float>(x < 0.5 ? 2.0 * x : 2.0 * x - 2.0);
    }
    auto& sqr = selectable[2];
    for (int i = 0; i < N; ++i)
      sqr[i] = (i == 0 || i == N / 2) ? 0.0f : (i < N / 2 ? 1.0f : -1.0f);

    // table_03 .. table_64: additive spectra. Recipe k picks a harmonic count, a roll-off, which
    // harmonics sound (all, odd, every third) and their signs, so that the shapes range from
    // mellow to bright. All are sums of sines: every cycle starts and ends at 0.
    for (int k = 3; k < kSelectable; ++k) {
      const int harmonics = 2 + (k * 7) % 23;
      const double rolloff = 0.5 + static_cast<double>((k * 5) % 11) / 5.0;  // 0.5 .. 2.5
      const int stepKind = k % 3;                                            // 0 all, 1 odd, 2 every third
      std::array<double, N> acc{};
      for (int h = 1; h <= harmonics; ++h) {
        if (stepKind == 1 && h % 2 == 0)
          continue;
        if (stepKind == 2 && h > 1 && h % 3 != 1)
          continue;
        const double amp = ((h % 4 == 2) ? -1.0 : 1.0) / std::pow(static_cast<double>(h), rolloff);
        for (int i = 0; i < N; ++i)
          acc[i] += amp * s[(static_cast<long>(h) * i) % N];
      }
      double peak = 0.0;
      for (int i = 0; i < N; ++i)
        peak = std::fmax(peak, std::fabs(acc[i]));
      const double scale = peak > 0.0 ? 1.0 / peak : 0.0;
      for (int i = 0; i < N; ++i)
        selectable[k][i] = static_cast<float>(acc[i] * scale);
    }
  }
};

const ConstantTables& tables() {
  static const ConstantTables built;  // thread-safe one-time construction
  return built;
}

}  // namespace

const float* Modulator::constantTable(int n) {
  if (n == -1)
    return tables().sine.data();
  if (n < 0 || n >= kSelectable)
    return nullptr;
  return tables().selectable[n].data();
}
