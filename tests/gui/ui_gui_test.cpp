// A real window on an X display (run under `xvfb-run -a`; skipped without a display or without
// xdotool and imagemagick): xdotool clicks a button, drags a marker with a pan recogniser,
// double-clicks for a double tap and turns the wheel with Ctrl held for a pinch; screenshots of the
// window (left in the build tree's test output folder) show what the view tree drew.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "TestOutput.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UITapGestureRecognizer.h"
#include "UIKit/UIWindow.h"

namespace {

using namespace std::chrono_literals;

struct Rgb {
  int red, green, blue;
};

// Runs a shell command on a helper thread while the main loop keeps serving the window; returns
// its standard output.
std::string run(const std::string& command) {
  std::atomic<bool> done = false;
  std::string output;
  std::thread worker([&] {
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
      char buffer[256];
      while (fgets(buffer, sizeof buffer, pipe))
        output += buffer;
      pclose(pipe);
    }
    done = true;
  });
  MainLoop::runUntil([&] { return done.load(); }, 20s);
  worker.join();
  while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
    output.pop_back();
  return output;
}

// Lets pending redraws reach the X server.
void settle(UIWindow& window) {
  MainLoop::runUntil([&] { return !window.isDisplayPending(); }, 5s);
  MainLoop::runUntil([] { return false; }, 150ms);
}

// The screen pixel at window point (x, y), from a screenshot taken with imagemagick.
class Screenshot {
 public:
  Screenshot(const std::string& windowId, const std::string& path) {
    run("import -window " + windowId + " " + path);
    pixbuf_ = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  }
  ~Screenshot() {
    if (pixbuf_)
      g_object_unref(pixbuf_);
  }
  bool ok() const { return pixbuf_ != nullptr; }
  Rgb at(int x, int y) const {
    if (x < 0 || y < 0 || x >= gdk_pixbuf_get_width(pixbuf_) || y >= gdk_pixbuf_get_height(pixbuf_))
      return {-1, -1, -1};
    const guchar* p = gdk_pixbuf_get_pixels(pixbuf_) + y * gdk_pixbuf_get_rowstride(pixbuf_) +
                      x * gdk_pixbuf_get_n_channels(pixbuf_);
    return Rgb{p[0], p[1], p[2]};
  }

 private:
  GdkPixbuf* pixbuf_ = nullptr;
};

void expectColour(const Rgb& got, const Rgb& want, const char* what) {
  EXPECT_NEAR(got.red, want.red, 8) << what;
  EXPECT_NEAR(got.green, want.green, 8) << what;
  EXPECT_NEAR(got.blue, want.blue, 8) << what;
}

TEST(UIGui, RealWindowTakesMouseInputAndShowsWhatWasDrawn) {
  if (!std::getenv("DISPLAY") || !UIWindow::useBackend(UIWindowBackendKind::windowed))
    GTEST_SKIP() << "no X display (run under xvfb-run -a)";
  if (std::system("command -v xdotool >/dev/null && command -v import >/dev/null") != 0)
    GTEST_SKIP() << "xdotool or imagemagick missing";

  const std::string title = "KOV view test " + std::to_string(getpid());
  auto window = UIWindow::make(CGRect(0, 0, 320, 240));
  window->setTitle(title);
  window->setBackgroundColor(UIColor::white());
  auto pad = UIView::make(CGRect(20, 60, 280, 160));
  pad->setBackgroundColor(UIColor(0.75, 0.75, 0.75, 1));
  auto marker = UIView::make(CGRect(20, 20, 40, 40));
  marker->setBackgroundColor(UIColor::red());
  pad->addSubview(marker);
  auto button = UIButton::make(UIButtonType::system, CGRect(220, 10, 90, 36));
  button->setTitle("Colour");
  window->addSubview(pad);
  window->addSubview(button);

  int presses = 0, panEnds = 0, doubleTaps = 0;
  button->addTarget(
      [&](UIControl&) {
        ++presses;
        pad->setBackgroundColor(UIColor(0, 0.8, 0, 1));
      },
      UIControlEvents::touchUpInside);
  CGRect start;
  auto pan = UIPanGestureRecognizer::make();
  pan->addTarget([&](UIGestureRecognizer& g) {
    auto& p = static_cast<UIPanGestureRecognizer&>(g);
    if (g.state() == UIGestureRecognizerState::began)
      start = marker->frame();
    const CGPoint t = p.translation(pad.get());
    marker->setFrame(start.offsetBy(t.x, t.y));
    if (g.state() == UIGestureRecognizerState::ended)
      ++panEnds;
  });
  auto doubleTap = UITapGestureRecognizer::make();
  doubleTap->setNumberOfTapsRequired(2);
  doubleTap->addTarget([&](UIGestureRecognizer&) {
    ++doubleTaps;
    marker->setFrame(CGRect(20, 20, 40, 40));
  });
  std::vector<CGFloat> scales;
  auto pinch = UIPinchGestureRecognizer::make();
  pinch->addTarget([&](UIGestureRecognizer& g) {
    if (g.state() == UIGestureRecognizerState::ended)
      scales.push_back(static_cast<UIPinchGestureRecognizer&>(g).scale());
  });
  pad->addGestureRecognizer(pan);
  pad->addGestureRecognizer(doubleTap);
  pad->addGestureRecognizer(pinch);

  window->makeKeyAndVisible();
  settle(*window);
  const std::string id = run("xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1");
  ASSERT_FALSE(id.empty()) << "the window did not appear";
  settle(*window);
  const std::string at = "mousemove --window " + id + " ";
  {
    SCOPED_TRACE("a click on the button is a tap: touch up inside");
    run("xdotool " + at + "265 28 click 1");
    MainLoop::runUntil([&] { return presses == 1; }, 5s);
    EXPECT_EQ(presses, 1);
  }
  {
    SCOPED_TRACE("a drag with the left button held is one touch: the pan moves the marker by (100, 50)");
    run("xdotool " + at + "60 100 mousedown 1 " + at + "80 110 " + at + "120 130 " + at +
        "160 150 mouseup 1");
    MainLoop::runUntil([&] { return panEnds == 1; }, 5s);
    EXPECT_EQ(panEnds, 1);
    EXPECT_EQ(marker->frame(), CGRect(120, 70, 40, 40));
    settle(*window);
    const Screenshot shot(id, test_support::outputFile("ui_gui_drag.png"));
    ASSERT_TRUE(shot.ok());
    expectColour(shot.at(160, 150), {255, 0, 0}, "the marker where it was dragged");
    expectColour(shot.at(60, 100), {0, 204, 0}, "the pad, green since the click");
    expectColour(shot.at(10, 230), {255, 255, 255}, "the window's background");
  }
  {
    SCOPED_TRACE("a double click is a double tap: the marker goes back");
    run("xdotool " + at + "250 200 click --repeat 2 --delay 80 1");
    MainLoop::runUntil([&] { return doubleTaps == 1; }, 5s);
    EXPECT_EQ(doubleTaps, 1);
    settle(*window);
    const Screenshot shot(id, test_support::outputFile("ui_gui_double.png"));
    ASSERT_TRUE(shot.ok());
    expectColour(shot.at(60, 100), {255, 0, 0}, "the marker back at its place");
    expectColour(shot.at(160, 150), {0, 204, 0}, "the pad where the marker was");
  }
  {
    SCOPED_TRACE("Ctrl+wheel is a pinch: two steps up zoom by 1.1 each, ended after a pause");
    run("xdotool " + at + "150 150 keydown ctrl click 4 click 4 keyup ctrl");
    MainLoop::runUntil([&] { return !scales.empty(); }, 5s);
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_NEAR(scales[0], 1.21, 1e-9);
  }
}

}  // namespace
