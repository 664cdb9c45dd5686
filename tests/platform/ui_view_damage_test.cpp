// Damage in display passes: a view marked for a part redraws (clipped) and composites only that
// part, marks gather as a union, the window's picture outside the damage is never touched, no
// pass runs while nothing is marked, views that draw nothing keep no surface, and what lies under
// an opaque view is not composited (the picture is the same as if it were).
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "UIKit/UIBezierPath.h"
#include "UIKit/internal/ViewBacking.h"
#include "UIKit/testing/UIKitTesting.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

class UIViewDamage : public HeadlessWindowTest {};

// Fills its whole bounds with one colour, whatever part was marked.
class SolidView : public UIView {
 public:
  static std::shared_ptr<SolidView> make(CGRect frame, UIColor colour) {
    return std::shared_ptr<SolidView>(new SolidView(frame, colour));
  }
  void draw(const CGRect& rect) override {
    lastRect = rect;
    colour.setFill();
    UIBezierPath(rect).fill();
  }
  UIColor colour;
  CGRect lastRect;

 private:
  SolidView(CGRect frame, UIColor c) : UIView(frame), colour(c) {}
};

// Writes one pixel of the window's picture directly, as a witness of what a pass leaves alone.
void poke(const UIWindow& window, int x, int y, const UIColor& colour) {
  cairo_surface_t* surface = window.surface().surface();
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgba(cr, colour.cgColor().red, colour.cgColor().green, colour.cgColor().blue, 1);
  cairo_identity_matrix(cr);
  cairo_rectangle(cr, x, y, 1, 1);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
}

TEST_F(UIViewDamage, APartMarkRedrawsAndCompositesOnlyThatPart) {
  auto view = SolidView::make(CGRect(20, 30, 60, 40), UIColor::red());
  window->addSubview(view);
  UITestSupport::display(*window);
  ASSERT_EQ(UIViewTesting::drawCount(*view), 1u);

  view->colour = UIColor::green();
  view->setNeedsDisplay(CGRect(10, 10, 20, 10));
  ASSERT_TRUE(view->needsDisplayPart().has_value());
  EXPECT_EQ(*view->needsDisplayPart(), CGRect(10, 10, 20, 10));
  EXPECT_TRUE(UITestSupport::display(*window));
  EXPECT_EQ(UIViewTesting::drawCount(*view), 2u);
  EXPECT_EQ(view->lastRect, CGRect(0, 0, 60, 40)) << "draw(_:) still gets the whole bounds";
  EXPECT_EQ(window->lastDamage(), CGRect(30, 40, 20, 10));
  const CGBitmapContext& p = window->surface();
  EXPECT_EQ(p.pixel(30, 40), kGreen);
  EXPECT_EQ(p.pixel(49, 49), kGreen);
  EXPECT_EQ(p.pixel(29, 40), kRed) << "outside the part the backing keeps what it had";
  EXPECT_EQ(p.pixel(50, 45), kRed);
  EXPECT_EQ(p.pixel(40, 50), kRed);
  EXPECT_FALSE(view->needsDisplayPart().has_value()) << "the pass clears the mark";
  {
    SCOPED_TRACE("a fractional part is rounded out to whole pixels");
    view->colour = UIColor::blue();
    view->setNeedsDisplay(CGRect(40.25, 20.5, 5.5, 4.25));
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(60, 50, 6, 5));
    EXPECT_EQ(p.pixel(60, 50), kBlue);
    EXPECT_EQ(p.pixel(65, 54), kBlue);
    EXPECT_EQ(p.pixel(66, 54), kRed);
    EXPECT_EQ(p.pixel(65, 55), kRed);
  }
  {
    SCOPED_TRACE("a whole mark redraws everything");
    view->setNeedsDisplay();
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(20, 30, 60, 40));
    EXPECT_EQ(p.pixel(21, 31), kBlue);
    EXPECT_EQ(p.pixel(79, 69), kBlue);
  }
}

TEST_F(UIViewDamage, MarksGatherAsTheirUnion) {
  auto a = SolidView::make(CGRect(0, 0, 50, 50), UIColor::red());
  auto b = SolidView::make(CGRect(60, 70, 30, 20), UIColor::red());
  window->addSubview(a);
  window->addSubview(b);
  UITestSupport::display(*window);
  {
    SCOPED_TRACE("two parts of one view");
    a->setNeedsDisplay(CGRect(1, 2, 3, 4));
    a->setNeedsDisplay(CGRect(10, 20, 5, 5));
    EXPECT_EQ(*a->needsDisplayPart(), CGRect(1, 2, 14, 23));
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(1, 2, 14, 23));
  }
  {
    SCOPED_TRACE("two views");
    a->setNeedsDisplay(CGRect(5, 5, 10, 10));
    b->setNeedsDisplay();
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(5, 5, 85, 85));
    EXPECT_EQ(UIViewTesting::drawCount(*a), 3u);
    EXPECT_EQ(UIViewTesting::drawCount(*b), 2u);
  }
  {
    SCOPED_TRACE("a whole mark covers a part mark, before or after it");
    a->setNeedsDisplay();
    a->setNeedsDisplay(CGRect(1, 1, 2, 2));
    EXPECT_TRUE(a->needsDisplay());
    EXPECT_FALSE(a->needsDisplayPart().has_value());
    UITestSupport::display(*window);
    a->setNeedsDisplay(CGRect(1, 1, 2, 2));
    a->setNeedsDisplay();
    EXPECT_FALSE(a->needsDisplayPart().has_value());
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(0, 0, 50, 50));
  }
  {
    SCOPED_TRACE("a part is cut to the bounds; outside them or empty it marks nothing");
    a->setNeedsDisplay(CGRect(40, 40, 30, 30));
    EXPECT_EQ(*a->needsDisplayPart(), CGRect(40, 40, 10, 10));
    UITestSupport::display(*window);
    const auto passes = window->displayPassCount();
    a->setNeedsDisplay(CGRect(60, 0, 10, 10));
    a->setNeedsDisplay(CGRect(5, 5, 0, 10));
    EXPECT_FALSE(a->needsDisplay());
    EXPECT_FALSE(window->isDisplayPending());
    EXPECT_FALSE(UITestSupport::display(*window));
    EXPECT_EQ(window->displayPassCount(), passes);
  }
  {
    SCOPED_TRACE("a part that is not finite marks the whole view");
    a->setNeedsDisplay(CGRect(0, 0, std::numeric_limits<CGFloat>::infinity(), 5));
    EXPECT_TRUE(a->needsDisplay());
    EXPECT_FALSE(a->needsDisplayPart().has_value());
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(0, 0, 50, 50));
  }
}

TEST_F(UIViewDamage, APassLeavesThePictureOutsideTheDamageAlone) {
  auto view = SolidView::make(CGRect(20, 20, 40, 40), UIColor::red());
  window->addSubview(view);
  UITestSupport::display(*window);
  // Witnesses outside the coming damage: in the window's background and in the view itself.
  poke(*window, 5, 5, UIColor::blue());
  poke(*window, 59, 59, UIColor::blue());
  view->colour = UIColor::green();
  view->setNeedsDisplay(CGRect(0, 0, 10, 10));
  UITestSupport::display(*window);
  const CGBitmapContext& p = window->surface();
  EXPECT_EQ(p.pixel(5, 5), kBlue);
  EXPECT_EQ(p.pixel(59, 59), kBlue);
  EXPECT_EQ(p.pixel(25, 25), kGreen);
  {
    SCOPED_TRACE("nothing marked: no pass, the picture untouched");
    const auto passes = window->displayPassCount();
    EXPECT_FALSE(UITestSupport::display(*window));
    MainLoop::runUntilIdle();
    EXPECT_EQ(window->displayPassCount(), passes);
    EXPECT_EQ(p.pixel(5, 5), kBlue);
  }
  {
    SCOPED_TRACE("a damage over the witness composites it again");
    window->invalidateRect(CGRect(0, 0, 10, 10));
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(0, 0, 10, 10));
    EXPECT_EQ(p.pixel(5, 5), kWhite);
    EXPECT_EQ(p.pixel(59, 59), kBlue);
  }
}

TEST_F(UIViewDamage, ViewsThatDrawNothingKeepNoSurface) {
  auto container = ProbeView::make("container", CGRect(0, 0, 100, 100));
  auto child = SolidView::make(CGRect(10, 10, 20, 20), UIColor::red());
  container->addSubview(child);
  window->addSubview(container);
  const CGBitmapContext& p = picture();
  ASSERT_NE(container->backing(), nullptr);
  EXPECT_EQ(container->backing()->surface, nullptr);
  EXPECT_TRUE(container->backing()->blank);
  EXPECT_NE(child->backing()->surface, nullptr);
  EXPECT_EQ(p.pixel(15, 15), kRed);
  EXPECT_EQ(p.pixel(50, 50), kWhite);
  {
    SCOPED_TRACE("a part mark on a blank view draws it whole");
    container->setNeedsDisplay(CGRect(0, 0, 5, 5));
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(0, 0, 100, 100));
    EXPECT_TRUE(container->backing()->blank);
  }
  {
    SCOPED_TRACE("with a colour it shows and has a surface again");
    container->setBackgroundColor(UIColor::blue());
    UITestSupport::display(*window);
    EXPECT_NE(container->backing()->surface, nullptr);
    EXPECT_FALSE(container->backing()->blank);
    EXPECT_EQ(p.pixel(50, 50), kBlue);
    EXPECT_EQ(p.pixel(15, 15), kRed);
  }
  {
    SCOPED_TRACE("a clear colour is blank again");
    container->setBackgroundColor(UIColor(0, 0, 0, 0));
    UITestSupport::display(*window);
    EXPECT_TRUE(container->backing()->blank);
    EXPECT_EQ(p.pixel(50, 50), kWhite);
  }
}

TEST_F(UIViewDamage, WhatAnOpaqueViewCoversShowsAsIfCompositedWhole) {
  auto below = SolidView::make(CGRect(0, 0, 100, 100), UIColor::blue());
  auto cover = SolidView::make(CGRect(0, 0, 100, 100), UIColor::red());
  auto glass = SolidView::make(CGRect(40, 40, 20, 20), UIColor(0, 1, 0, 0.5));
  window->addSubview(below);
  window->addSubview(cover);
  window->addSubview(glass);
  const CGBitmapContext& p = picture();
  const auto near = [](CGPixel a, CGPixel b) {
    return std::abs(a.red - b.red) <= 1 && std::abs(a.green - b.green) <= 1 &&
           std::abs(a.blue - b.blue) <= 1 && a.alpha == b.alpha;
  };
  EXPECT_EQ(p.pixel(10, 10), kRed);
  EXPECT_TRUE(near(p.pixel(50, 50), CGPixel{128, 128, 0, 255})) << p.pixel(50, 50);
  {
    SCOPED_TRACE("a part of the cover drawn clear again shows what is under it");
    cover->colour = UIColor(0, 0, 0, 0);
    cover->setNeedsDisplay(CGRect(10, 10, 20, 20));
    UITestSupport::display(*window);
    EXPECT_EQ(p.pixel(15, 15), kBlue);
    EXPECT_EQ(p.pixel(35, 35), kRed);
  }
  {
    SCOPED_TRACE("a cover with alpha below 1 lets through what is under it");
    cover->colour = UIColor::red();
    cover->setNeedsDisplay();
    cover->setAlpha(0.5);
    UITestSupport::display(*window);
    EXPECT_TRUE(near(p.pixel(10, 10), CGPixel{128, 0, 127, 255})) << p.pixel(10, 10);
    cover->setAlpha(1);
  }
  {
    SCOPED_TRACE("a translucent colour is no cover");
    cover->colour = UIColor(1, 0, 0, 0.5);
    cover->setNeedsDisplay();
    UITestSupport::display(*window);
    EXPECT_TRUE(near(p.pixel(10, 10), CGPixel{128, 0, 127, 255})) << p.pixel(10, 10);
  }
  {
    SCOPED_TRACE("a cover turned and moved half a point covers only part of the damage");
    cover->colour = UIColor::red();
    cover->setNeedsDisplay();
    cover->setFrame(CGRect(20, 20, 60, 60));
    cover->setTransform(CGAffineTransform::makeRotation(0.3));
    UITestSupport::display(*window);
    EXPECT_EQ(p.pixel(2, 2), kBlue);
    EXPECT_EQ(p.pixel(50, 30), kRed);
    EXPECT_TRUE(near(p.pixel(50, 50), CGPixel{128, 128, 0, 255})) << p.pixel(50, 50);
  }
}

// Views are left out of a damage-only pass by their place alone, and a backing copied through a
// scale or a turn reaches the device pixels around its redrawn part; whatever the transforms and
// clips above a view, the picture must be the one a whole composite gives. Each step marks a
// small part of one view, and the picture after that pass is compared with the picture composited
// whole.
TEST_F(UIViewDamage, ADamageOnlyPassShowsWhatAWholeCompositeShows) {
  auto scaled = SolidView::make(CGRect(10, 10, 40, 40), UIColor(0.9, 0.9, 0.2, 1));
  scaled->setTransform(CGAffineTransform::makeScale(1.5, 1.5));
  auto inScaled = SolidView::make(CGRect(5, 5, 10, 10), UIColor(0.2, 0.4, 0.9, 1));
  scaled->addSubview(inScaled);
  auto flipped = SolidView::make(CGRect(55, 5, 40, 30), UIColor(0.1, 0.7, 0.3, 1));
  flipped->setTransform(CGAffineTransform::makeScale(-1, 1));
  auto inFlipped = SolidView::make(CGRect(2, 2, 12, 12), UIColor(0.8, 0.1, 0.6, 0.7));
  flipped->addSubview(inFlipped);
  auto clipping = SolidView::make(CGRect(10, 60, 40, 30), UIColor(0.5, 0.5, 0.5, 1));
  clipping->setClipsToBounds(true);
  auto overhanging = SolidView::make(CGRect(30, 10, 30, 10), UIColor(1, 0.5, 0, 1));  // half outside
  clipping->addSubview(overhanging);
  auto loose = SolidView::make(CGRect(60, 60, 20, 20), UIColor(0, 0, 0.8, 1));
  auto beyondLoose = SolidView::make(CGRect(15, 15, 20, 20), UIColor(0, 0.8, 0.8, 0.6));  // unclipped
  loose->addSubview(beyondLoose);
  auto turned = SolidView::make(CGRect(60, 40, 20, 10), UIColor(0.6, 0.2, 0.1, 1));
  turned->setTransform(CGAffineTransform::makeRotation(0.4));
  for (const auto& v : {scaled, flipped, clipping, loose, turned})
    window->addSubview(v);
  UITestSupport::display(*window);

  const auto snapshot = [&] {
    const CGBitmapContext& p = window->surface();
    std::vector<CGPixel> pixels;
    for (int y = 0; y < p.pixelHeight(); ++y)
      for (int x = 0; x < p.pixelWidth(); ++x)
        pixels.push_back(p.pixel(x, y));
    return pixels;
  };
  struct Step {
    const char* what;
    std::shared_ptr<SolidView> view;
    CGRect part;
  };
  const Step steps[] = {{"inside a scaled view", inScaled, CGRect(2, 2, 4, 4)},
                        {"the scaled view under its subview", scaled, CGRect(4, 4, 12, 12)},
                        {"inside a flipped view", inFlipped, CGRect(0, 0, 6, 6)},
                        {"the flipped view", flipped, CGRect(10, 10, 8, 8)},
                        {"a subview half outside its clipping parent", overhanging, CGRect(5, 2, 20, 6)},
                        {"the clipping parent", clipping, CGRect(25, 5, 15, 10)},
                        {"a subview beyond an unclipped parent", beyondLoose, CGRect(10, 10, 10, 10)},
                        {"a turned view", turned, CGRect(0, 0, 10, 10)}};
  float shade = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    shade += 0.1f;
    step.view->colour = UIColor(shade, 1 - shade, 0.5, 1);
    step.view->setNeedsDisplay(step.part);
    UITestSupport::display(*window);
    ASSERT_FALSE(window->lastDamage().isEmpty());
    const std::vector<CGPixel> damageOnly = snapshot();
    window->invalidateAll();
    UITestSupport::display(*window);
    const std::vector<CGPixel> whole = snapshot();
    // Cairo's rasteriser may round the edge of a turned shape cut by the damage a few levels
    // apart from the same edge uncut; a pixel left stale or a view left out differs by far more.
    int worst = 0;
    for (std::size_t i = 0; i < whole.size(); ++i)
      worst = std::max(
          {worst, std::abs(whole[i].red - damageOnly[i].red), std::abs(whole[i].green - damageOnly[i].green),
           std::abs(whole[i].blue - damageOnly[i].blue), std::abs(whole[i].alpha - damageOnly[i].alpha)});
    EXPECT_LE(worst, 4);
  }
}

// Marks far apart in one view are redrawn and composited each on its own: what lies between them,
// inside their bounding box, is neither redrawn nor composited. Overlapping marks merge, and too
// many become their bounding box.
TEST_F(UIViewDamage, SeparateMarksStaySeparate) {
  auto view = SolidView::make(CGRect(0, 0, 100, 100), UIColor::red());
  window->addSubview(view);
  UITestSupport::display(*window);
  {
    SCOPED_TRACE("two marks in opposite corners");
    poke(*window, 50, 50, UIColor::blue());
    view->colour = UIColor::green();
    view->setNeedsDisplay(CGRect(0, 0, 10, 10));
    view->setNeedsDisplay(CGRect(80, 80, 10, 10));
    EXPECT_EQ(*view->needsDisplayPart(), CGRect(0, 0, 90, 90));
    EXPECT_EQ(view->needsDisplayParts(), (std::vector<CGRect>{CGRect(0, 0, 10, 10), CGRect(80, 80, 10, 10)}));
    UITestSupport::display(*window);
    EXPECT_EQ(window->lastDamage(), CGRect(0, 0, 90, 90));
    const CGBitmapContext& p = window->surface();
    EXPECT_EQ(p.pixel(5, 5), kGreen);
    EXPECT_EQ(p.pixel(85, 85), kGreen);
    EXPECT_EQ(p.pixel(50, 50), kBlue) << "composited between the marks";
    window->invalidateAll();
    UITestSupport::display(*window);
    EXPECT_EQ(p.pixel(50, 50), kRed) << "redrawn between the marks";
    EXPECT_EQ(p.pixel(85, 85), kGreen);
  }
  {
    SCOPED_TRACE("a mark over two others merges all three");
    view->setNeedsDisplay(CGRect(0, 0, 10, 10));
    view->setNeedsDisplay(CGRect(20, 0, 10, 10));
    view->setNeedsDisplay(CGRect(60, 60, 5, 5));
    view->setNeedsDisplay(CGRect(5, 0, 20, 5));
    EXPECT_EQ(view->needsDisplayParts(), (std::vector<CGRect>{CGRect(60, 60, 5, 5), CGRect(0, 0, 30, 10)}));
    UITestSupport::display(*window);
    EXPECT_TRUE(view->needsDisplayParts().empty());
  }
  {
    SCOPED_TRACE("more marks than kept become their bounding box; a whole mark drops them");
    for (std::size_t i = 0; i <= UIView::maxDisplayParts; ++i)
      view->setNeedsDisplay(CGRect(double(i) * 20, double(i) * 10, 5, 5));
    const CGFloat far = double(UIView::maxDisplayParts);
    EXPECT_EQ(view->needsDisplayParts(), (std::vector<CGRect>{CGRect(0, 0, far * 20 + 5, far * 10 + 5)}));
    view->setNeedsDisplay();
    EXPECT_TRUE(view->needsDisplayParts().empty());
    EXPECT_FALSE(view->needsDisplayPart().has_value());
  }
}

}  // namespace
