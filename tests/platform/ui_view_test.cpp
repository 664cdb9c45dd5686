// Views in a window, checked by probing the composited picture: placement, the transform about the
// centre, clipping, group alpha, hiding, degenerate geometry; and hit testing through hidden,
// transparent and transformed views.
#include <cmath>
#include <limits>

#include "UIKit/testing/UIKitTesting.h"
#include "ui_view_support.h"

using namespace ui_view_test;

namespace {

std::shared_ptr<UIView> filled(CGRect frame, UIColor colour) {
  auto v = UIView::make(frame);
  v->setBackgroundColor(colour);
  return v;
}

TEST(UIViewGeometry, EdgesAreHalfOpenAndEdgeContactIsNoIntersection) {
  const CGRect r(10, 10, 20, 10);
  EXPECT_TRUE(r.contains(CGPoint{10, 10}));
  EXPECT_FALSE(r.contains(CGPoint{30, 15}));
  EXPECT_FALSE(r.contains(CGPoint{15, 20}));
  EXPECT_TRUE(r.contains(CGPoint{29.999, 19.999}));
  EXPECT_FALSE(CGRectIntersectsRect(r, CGRect(30, 10, 5, 5)));  // shares the right edge
  EXPECT_FALSE(CGRectIntersectsRect(r, CGRect(10, 20, 5, 5)));  // shares the bottom edge
  EXPECT_TRUE(CGRectIntersectsRect(r, CGRect(29.5, 19.5, 5, 5)));
  auto v = UIView::make(r);
  EXPECT_TRUE(v->pointInside(CGPoint{0, 0}, nullptr));
  EXPECT_FALSE(v->pointInside(CGPoint{20, 0}, nullptr));
  EXPECT_FALSE(v->pointInside(CGPoint{0, 10}, nullptr));
}

TEST(UIViewGeometry, ConversionFollowsFramesBoundsAndTransforms) {
  auto root = UIView::make(CGRect(0, 0, 200, 200));
  auto a = UIView::make(CGRect(20, 30, 100, 60));
  auto b = UIView::make(CGRect(10, 10, 40, 20));
  root->addSubview(a);
  a->addSubview(b);
  {
    SCOPED_TRACE("plain offsets add up");
    EXPECT_EQ(b->convert(CGPoint{1, 2}, root.get()), (CGPoint{31, 42}));
    EXPECT_EQ(root->convert(CGPoint{31, 42}, b.get()), (CGPoint{1, 2}));
    EXPECT_EQ(b->convertFrom(CGPoint{31, 42}, nullptr), (CGPoint{1, 2}));
  }
  {
    SCOPED_TRACE("a bounds origin shifts what the subviews are placed against");
    a->setBounds(CGRect(5, -5, 100, 60));
    EXPECT_EQ(b->convert(CGPoint{0, 0}, root.get()), (CGPoint{25, 45}));
    a->setBounds(CGRect(0, 0, 100, 60));
  }
  {
    SCOPED_TRACE("scale 2 about the centre of a's frame (70, 60)");
    a->setTransform(CGAffineTransform::identity().scaledBy(2, 2));
    EXPECT_EQ(a->frame(), CGRect(20, 30, 100, 60));  // the untransformed frame
    EXPECT_EQ(a->convert(CGPoint{50, 30}, root.get()), (CGPoint{70, 60}));
    EXPECT_EQ(a->convert(CGPoint{0, 0}, root.get()), (CGPoint{-30, 0}));
    EXPECT_EQ(a->convert(CGRect(0, 0, 100, 60), root.get()), CGRect(-30, 0, 200, 120));
    const CGPoint back = a->convertFrom(CGPoint{-30, 0}, root.get());
    EXPECT_NEAR(back.x, 0, 1e-12);
    EXPECT_NEAR(back.y, 0, 1e-12);
  }
}

class UIViewComposite : public HeadlessWindowTest {};

TEST_F(UIViewComposite, PlacementTransformAndClipByPixels) {
  auto box = filled(CGRect(10, 10, 40, 20), UIColor::red());
  window->addSubview(box);
  {
    SCOPED_TRACE("a frame covers [x, x + w) x [y, y + h)");
    const auto& p = picture();
    EXPECT_EQ(p.pixel(10, 10), kRed);
    EXPECT_EQ(p.pixel(49, 29), kRed);
    EXPECT_EQ(p.pixel(50, 20), kWhite);
    EXPECT_EQ(p.pixel(20, 30), kWhite);
    EXPECT_EQ(p.pixel(9, 9), kWhite);
  }
  {
    SCOPED_TRACE("scale 0.5 about the centre (30, 20): (20, 15) ... (40, 25)");
    box->setTransform(CGAffineTransform::identity().scaledBy(0.5, 0.5));
    const auto& p = picture();
    EXPECT_EQ(p.pixel(20, 15), kRed);
    EXPECT_EQ(p.pixel(39, 24), kRed);
    EXPECT_EQ(p.pixel(19, 20), kWhite);
    EXPECT_EQ(p.pixel(40, 20), kWhite);
    EXPECT_EQ(p.pixel(12, 12), kWhite);
    EXPECT_EQ(UIViewTesting::drawCount(*box), 1u) << "a transform only composites";
  }
  {
    SCOPED_TRACE("subviews reach outside their superview unless it clips");
    box->setTransform(CGAffineTransform::identity());
    auto child = filled(CGRect(30, 10, 40, 40), UIColor::blue());  // (40, 20) ... (80, 60) in the window
    box->addSubview(child);
    EXPECT_EQ(picture().pixel(60, 50), kBlue);
    box->setClipsToBounds(true);
    const auto& p = picture();
    EXPECT_EQ(p.pixel(45, 25), kBlue);
    EXPECT_EQ(p.pixel(60, 50), kWhite);
    EXPECT_EQ(p.pixel(35, 25), kRed);
  }
}

TEST_F(UIViewComposite, AlphaAppliesToTheSubtreeAsOneGroup) {
  auto parent = filled(CGRect(0, 0, 60, 60), UIColor::blue());
  parent->addSubview(filled(CGRect(0, 0, 30, 60), UIColor::red()));
  window->addSubview(parent);
  parent->setAlpha(0.5);
  const auto& p = picture();
  // Grouped: red at 0.5 over white. Each view on its own would let the blue show through the red.
  const CGPixel overlap = p.pixel(10, 10);
  EXPECT_EQ(overlap.red, 255);
  EXPECT_NEAR(overlap.green, 128, 2);
  EXPECT_NEAR(overlap.blue, 128, 2);
  const CGPixel blueOnly = p.pixel(45, 10);
  EXPECT_NEAR(blueOnly.red, 128, 2);
  EXPECT_EQ(blueOnly.blue, 255);
  {
    SCOPED_TRACE("hidden or (nearly) transparent: nothing of the subtree");
    parent->setAlpha(0.005);
    EXPECT_EQ(picture().pixel(10, 10), kWhite);
    parent->setAlpha(1);
    parent->setHidden(true);
    EXPECT_EQ(picture().pixel(10, 10), kWhite);
    EXPECT_EQ(picture().pixel(45, 10), kWhite);
  }
}

TEST_F(UIViewComposite, DegenerateGeometryDrawsNothingAndSparesTheRest) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto probe = ProbeView::make("degenerate", CGRect(10, 10, 30, 30));
  probe->setBackgroundColor(UIColor::red());
  probe->addSubview(filled(CGRect(0, 0, 10, 10), UIColor::blue()));
  window->addSubview(probe);
  auto after = filled(CGRect(60, 60, 20, 20), UIColor::green());  // drawn after the broken one
  window->addSubview(after);
  struct Case {
    const char* name;
    CGRect frame;
    CGAffineTransform transform;
  };
  const Case cases[] = {
      {"scale 0", CGRect(10, 10, 30, 30), CGAffineTransform::identity().scaledBy(0, 0)},
      {"scale 1e-200", CGRect(10, 10, 30, 30), CGAffineTransform::identity().scaledBy(1e-200, 1e-200)},
      {"NaN transform", CGRect(10, 10, 30, 30), CGAffineTransform{nan, 0, 0, 1, 0, 0}},
      {"NaN origin", CGRect(nan, 10, 30, 30), CGAffineTransform::identity()},
      {"infinite width", CGRect(10, 10, inf, 30), CGAffineTransform::identity()},
      {"zero size", CGRect(10, 10, 0, 0), CGAffineTransform::identity()},
      {"negative size", CGRect(40, 40, -30, -30), CGAffineTransform::identity()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    probe->setTransform(CGAffineTransform::identity());
    probe->setFrame(c.frame);
    probe->setTransform(c.transform);
    const auto& p = picture();
    EXPECT_EQ(p.pixel(20, 20), kWhite);
    EXPECT_EQ(p.pixel(12, 12), kWhite);
    EXPECT_EQ(p.pixel(70, 70), kGreen);
    EXPECT_EQ(window->hitTest(CGPoint{20, 20}, nullptr), window);
  }
  {
    SCOPED_TRACE("back to sound geometry, it draws again");
    probe->setTransform(CGAffineTransform::identity());
    probe->setFrame(CGRect(10, 10, 30, 30));
    const auto& p = picture();
    EXPECT_EQ(p.pixel(20, 20), kRed);
    EXPECT_EQ(p.pixel(12, 12), kBlue);
    EXPECT_EQ(probe->lastRect, CGRect(0, 0, 30, 30));
  }
}

TEST(UIViewHitTest, ThroughHiddenTransparentDisabledAndTransformedViews) {
  auto root = UIView::make(CGRect(0, 0, 100, 100));
  auto back = UIView::make(CGRect(0, 0, 100, 100));
  auto front = UIView::make(CGRect(0, 0, 50, 50));
  auto inner = UIView::make(CGRect(10, 10, 20, 20));
  root->addSubview(back);
  root->addSubview(front);
  front->addSubview(inner);
  const CGPoint p{15, 15};
  EXPECT_EQ(root->hitTest(p, nullptr), inner);
  EXPECT_EQ(root->hitTest(CGPoint{5, 5}, nullptr), front);
  {
    SCOPED_TRACE("a hidden front view is passed through, subviews and all");
    front->setHidden(true);
    EXPECT_EQ(root->hitTest(p, nullptr), back);
    front->setHidden(false);
  }
  {
    SCOPED_TRACE("alpha below 0.01 takes no touches; 0.01 does");
    front->setAlpha(0.009);
    EXPECT_EQ(root->hitTest(p, nullptr), back);
    front->setAlpha(0.01);
    EXPECT_EQ(root->hitTest(p, nullptr), inner);
  }
  {
    SCOPED_TRACE("user interaction off: the subtree takes none, the touch falls to what is behind");
    inner->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest(p, nullptr), front);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest(p, nullptr), back);
    front->setUserInteractionEnabled(true);
    inner->setUserInteractionEnabled(true);
  }
  {
    SCOPED_TRACE("scale 0.5 about the centre (25, 25) of front: it covers (12.5, 12.5) ... (37.5, 37.5)");
    front->setTransform(CGAffineTransform::identity().scaledBy(0.5, 0.5));
    EXPECT_EQ(root->hitTest(CGPoint{10, 10}, nullptr), back);
    EXPECT_EQ(root->hitTest(CGPoint{13, 13}, nullptr), front);
    EXPECT_EQ(root->hitTest(CGPoint{19, 19}, nullptr), inner);     // front (13, 13) is inner's (3, 3)
    EXPECT_EQ(root->hitTest(CGPoint{37.5, 37.5}, nullptr), back);  // the far edge is outside
    front->setTransform(CGAffineTransform::identity().scaledBy(0, 1));
    EXPECT_EQ(root->hitTest(CGPoint{25, 25}, nullptr), back);
  }
}

}  // namespace
