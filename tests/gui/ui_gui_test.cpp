// A real window on an X display (run under `xvfb-run -a`; skipped without a display or without
// xdotool and imagemagick): xdotool clicks a button, drags a marker with a pan recogniser,
// double-clicks for a double tap and turns the wheel with Ctrl held for a pinch; screenshots of the
// window (left in the build tree's test output folder) show what the view tree drew. Every step
// waits for what it expects (Eventually.h), never a fixed time.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Dispatch/DispatchQueue.h"
#include "Eventually.h"
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

using test_support::eventually;

// Runs a shell command (at most 20 s) on a helper thread while the main loop keeps serving the
// window; returns its standard output.
std::string run(const std::string& command) {
  std::atomic<bool> done = false;
  std::string output;
  std::thread worker([&] {
    if (FILE* pipe = popen(("timeout 20 " + command + " 2>/dev/null").c_str(), "r")) {
      char buffer[256];
      while (fgets(buffer, sizeof buffer, pipe))
        output += buffer;
      pclose(pipe);
    }
    done = true;
  });
  EXPECT_TRUE(eventually("`" + command + "` to end", [&] { return done.load(); }, {.deadline = 30s}));
  worker.join();
  while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
    output.pop_back();
  return output;
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

bool near(const Rgb& got, const Rgb& want) {
  return std::abs(got.red - want.red) <= 8 && std::abs(got.green - want.green) <= 8 &&
         std::abs(got.blue - want.blue) <= 8;
}

void expectColour(const Rgb& got, const Rgb& want, const char* what) {
  EXPECT_NEAR(got.red, want.red, 8) << what;
  EXPECT_NEAR(got.green, want.green, 8) << what;
  EXPECT_NEAR(got.blue, want.blue, 8) << what;
}

struct Seen {
  int x, y;
  Rgb colour;
  const char* what;
};

// Photographs the window into the output file `name` until every point shows its colour: what a
// display pass drew reaches the X server in one of GTK's next frames, so the first pictures may
// be older. Then checks each point of the last picture, so a failure says which one is off.
void expectOnScreen(const std::string& windowId, const std::string& name, const std::vector<Seen>& points) {
  const std::string path = test_support::outputFile(name);
  std::unique_ptr<Screenshot> shot;
  EXPECT_TRUE(eventually("the expected colours in " + path,
                         [&] {
                           shot = std::make_unique<Screenshot>(windowId, path);
                           return shot->ok() && std::all_of(points.begin(), points.end(), [&](const Seen& p) {
                                    return near(shot->at(p.x, p.y), p.colour);
                                  });
                         },
                         {.every = 100ms}));
  ASSERT_TRUE(shot && shot->ok()) << "no picture of the window";
  for (const Seen& p : points)
    expectColour(shot->at(p.x, p.y), p.colour, p.what);
}

void expectDisplayed(UIWindow& window) {
  EXPECT_TRUE(eventually("the window's display pass", [&] { return !window.isDisplayPending(); }));
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
  expectDisplayed(*window);
  const std::string id = run("xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n 1");
  ASSERT_FALSE(id.empty()) << "the window did not appear";
  const std::string at = "mousemove --window " + id + " ";
  {
    SCOPED_TRACE("a click on the button is a tap: touch up inside");
    run("xdotool " + at + "265 28 click 1");
    EXPECT_TRUE(eventually("one press of the button", [&] { return presses == 1; }));
  }
  {
    SCOPED_TRACE("a drag with the left button held is one touch: the pan moves the marker by (100, 50)");
    run("xdotool " + at + "60 100 mousedown 1 " + at + "80 110 " + at + "120 130 " + at +
        "160 150 mouseup 1");
    EXPECT_TRUE(eventually("the pan's end", [&] { return panEnds == 1; }));
    EXPECT_EQ(marker->frame(), CGRect(120, 70, 40, 40));
    expectDisplayed(*window);
    expectOnScreen(id, "ui_gui_drag.png",
                   {{160, 150, {255, 0, 0}, "the marker where it was dragged"},
                    {60, 100, {0, 204, 0}, "the pad, green since the click"},
                    {10, 230, {255, 255, 255}, "the window's background"}});
  }
  {
    SCOPED_TRACE("a double click is a double tap: the marker goes back");
    run("xdotool " + at + "250 200 click --repeat 2 --delay 80 1");
    EXPECT_TRUE(eventually("one double tap", [&] { return doubleTaps == 1; }));
    expectDisplayed(*window);
    expectOnScreen(id, "ui_gui_double.png",
                   {{60, 100, {255, 0, 0}, "the marker back at its place"},
                    {160, 150, {0, 204, 0}, "the pad where the marker was"}});
  }
  {
    SCOPED_TRACE("Ctrl+wheel is a pinch: two steps up zoom by 1.1 each, ended after a pause");
    run("xdotool " + at + "150 150 keydown ctrl click 4 click 4 keyup ctrl");
    ASSERT_TRUE(eventually("the pinch's end", [&] { return !scales.empty(); }));
    ASSERT_EQ(scales.size(), 1u);
    EXPECT_NEAR(scales[0], 1.21, 1e-9);
  }
}

}  // namespace
