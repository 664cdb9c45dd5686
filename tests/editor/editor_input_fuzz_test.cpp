// Seeded random input into the editor in a headless window: ordinary touches (one and two
// fingers, each down, moved, up or cancelled, always on screen), pinches between scale 0.2 and 4,
// window sizes from 100 x 100 up, time passing and display passes in between. Each seed drives a
// fresh editor; seeds run one after another until the time is up. The normal run is short;
// KOV_FUZZ_SECONDS (seconds, a number) and KOV_FUZZ_SEED (the first seed) run it longer or
// repeat one case. A failure names its seed and step.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "EditorControllerTestSupport.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using namespace editor_controller_test;
using UITestSupport::TouchInjector;

constexpr double kDefaultSeconds = 1.5;
constexpr int kStepsPerSeed = 300;

double envNumber(const char* name, double fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text)
    return fallback;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  return end && *end == '\0' && std::isfinite(value) && value >= 0 ? value : fallback;
}

bool isFinite(const CGRect& r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

// One editor in its window, and the random input given to it.
class Session {
 public:
  explicit Session(std::uint32_t seed) : random_(seed) {
    controller = std::make_shared<AudioUnitViewController>();
    window = showInWindow(controller, {0, 0, 1000, 500});
    fingers = std::make_unique<TouchInjector>(*window);
  }
  ~Session() {
    // Fingers still down are cancelled, as a window going away cancels its touches.
    for (int finger = 0; finger < 2; ++finger)
      if (down_[finger])
        fingers->cancel(finger);
    if (pinching_)
      fingers->pinchEnded();
    fingers.reset();
    window.reset();
    controller.reset();
    MainLoop::runUntilIdle();
  }

  // One random action; returns its description for a failure's trace.
  std::string step() {
    const int kind = pick(0, 99);
    if (kind < 8)
      return touchDown();
    if (kind < 28)
      return touchMove();
    if (kind < 34)
      return touchEnd(false);
    if (kind < 37)
      return touchEnd(true);
    if (kind < 55)
      return pinch();
    if (kind < 65)
      return resize();
    if (kind < 72) {
      const double seconds = pick(0, 400) / 1000.0;
      TestClock::advance(seconds);
      return "time +" + std::to_string(seconds) + " s";
    }
    UITestSupport::display(*window);
    return "display pass";
  }

  std::shared_ptr<AudioUnitViewController> controller;
  std::shared_ptr<UIWindow> window;
  std::unique_ptr<TouchInjector> fingers;

 private:
  int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random_); }
  double pick(double from, double to) { return std::uniform_real_distribution<double>(from, to)(random_); }
  // A point in the window, on a whole or half point now and then, as real input often is.
  CGPoint onScreen() {
    const CGSize size = window->bounds().size;
    CGPoint p{pick(0.0, size.width - 1), pick(0.0, size.height - 1)};
    if (pick(0, 1) == 0)
      p = {std::round(p.x * 2) / 2, std::round(p.y * 2) / 2};
    return p;
  }
  std::string at(const char* what, int finger, CGPoint p) {
    return std::string(what) + " finger " + std::to_string(finger) + " at (" + std::to_string(p.x) + ", " +
           std::to_string(p.y) + ")";
  }

  std::string touchDown() {
    const int finger = pick(0, 1);
    if (down_[finger])
      return touchMove();
    const CGPoint p = onScreen();
    fingers->down(finger, p);
    down_[finger] = true;
    last_[finger] = p;
    return at("down", finger, p);
  }
  std::string touchMove() {
    const int finger = pick(0, 1);
    if (!down_[finger])
      return touchDown();
    // Mostly a short step from where the finger is, now and then a jump.
    const CGSize size = window->bounds().size;
    CGPoint p = onScreen();
    if (pick(0, 3) != 0) {
      p = {std::clamp(last_[finger].x + pick(-40.0, 40.0), 0.0, size.width - 1),
           std::clamp(last_[finger].y + pick(-40.0, 40.0), 0.0, size.height - 1)};
    }
    fingers->move(finger, p);
    last_[finger] = p;
    return at("move", finger, p);
  }
  // Lifts the picked finger (or the system cancels its touch); puts it down when it is up.
  std::string touchEnd(bool cancelled) {
    const int finger = pick(0, 1);
    if (!down_[finger])
      return touchDown();
    down_[finger] = false;
    if (cancelled) {
      fingers->cancel(finger);
      return "cancel finger " + std::to_string(finger);
    }
    fingers->up(finger, last_[finger]);
    return at("up", finger, last_[finger]);
  }
  std::string pinch() {
    if (!pinching_) {
      const CGPoint p = onScreen();
      fingers->pinchBegan(p);
      pinching_ = true;
      return at("pinch began", 0, p);
    }
    if (pick(0, 4) == 0) {
      fingers->pinchEnded();
      pinching_ = false;
      return "pinch ended";
    }
    // Scales spread evenly in the logarithm between 0.2 and 4.
    const double scale = std::exp(pick(std::log(0.2), std::log(4.0)));
    fingers->pinchChanged(scale);
    return "pinch scale " + std::to_string(scale);
  }
  std::string resize() {
    const CGFloat width = pick(100, 1600);
    const CGFloat height = pick(100, 1200);
    window->setFrame({0, 0, width, height});
    // A finger left outside the smaller window is lifted where it last was, inside.
    for (int finger = 0; finger < 2; ++finger) {
      if (down_[finger]) {
        last_[finger] = {std::min(last_[finger].x, width - 1), std::min(last_[finger].y, height - 1)};
        fingers->move(finger, last_[finger]);
      }
    }
    return "window " + std::to_string(int(width)) + " x " + std::to_string(int(height));
  }

  std::mt19937 random_;
  bool down_[2] = {false, false};
  CGPoint last_[2];
  bool pinching_ = false;
};

TEST_F(EditorControllerTest, RandomOrdinaryInputKeepsTheEditorWhole) {
  const double seconds = envNumber("KOV_FUZZ_SECONDS", kDefaultSeconds);
  const auto firstSeed = std::uint32_t(std::min(envNumber("KOV_FUZZ_SEED", 1), 4.0e9));
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  int seeds = 0;
  std::uint32_t seed = firstSeed;
  do {
    SCOPED_TRACE(testing::Message() << "KOV_FUZZ_SEED=" << seed);
    Session session(seed);
    for (int step = 0; step < kStepsPerSeed && !HasFailure(); ++step) {
      const std::string action = session.step();
      SCOPED_TRACE(testing::Message() << "step " << step << ": " << action);
      const CGRect panel = session.controller->pluginView->frame();
      EXPECT_TRUE(isFinite(panel) && panel.size.width >= 0 && panel.size.height >= 0);
      if (action == "display pass") {
        // The picture is made at the window's size.
        const CGSize size = session.window->bounds().size;
        EXPECT_EQ(session.window->surface().pixelWidth(), int(std::ceil(size.width)));
        EXPECT_EQ(session.window->surface().pixelHeight(), int(std::ceil(size.height)));
      }
    }
    ++seeds;
    ++seed;
  } while (!HasFailure() && elapsed() < seconds);
  EXPECT_GE(seeds, 1);
}

}  // namespace
