// UIKit stand-in: geometry, view trees, edge pinning that follows the superview's bounds,
// colours, image decoding.
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UIView.h"

// Readable rectangles in failure messages.
void PrintTo(const CGRect& r, std::ostream* os) {
  *os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}

namespace {

// Pins all four edges with constants (top, leading, bottom, trailing).
void pin(const std::shared_ptr<UIView>& view, CGFloat top, CGFloat leading, CGFloat bottom,
         CGFloat trailing) {
  auto parent = view->superview();
  NSLayoutConstraint::activate({view->topAnchor().constraint(parent->topAnchor(), top),
                                view->leadingAnchor().constraint(parent->leadingAnchor(), leading),
                                view->bottomAnchor().constraint(parent->bottomAnchor(), bottom),
                                view->trailingAnchor().constraint(parent->trailingAnchor(), trailing)});
}

std::vector<std::uint8_t> encode(GdkPixbuf* pixbuf, const char* type) {
  gchar* buffer = nullptr;
  gsize size = 0;
  EXPECT_TRUE(gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, type, nullptr, nullptr));
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  g_free(buffer);
  return bytes;
}

}  // namespace

TEST(CGGeometry, StandardisedEdges) {
  const CGRect r(10, 20, -4, -6);
  EXPECT_EQ(r.standardized(), CGRect(6, 14, 4, 6));
  EXPECT_EQ(r.minX(), 6);
  EXPECT_EQ(r.maxX(), 10);
  EXPECT_EQ(r.minY(), 14);
  EXPECT_EQ(r.maxY(), 20);
  EXPECT_EQ(r.width(), 4);
  EXPECT_EQ(r.height(), 6);
  EXPECT_EQ(CGRect::zero(), CGRect(0, 0, 0, 0));
}

TEST(UIView, TreeFrameAndBounds) {
  auto root = UIView::make(CGRect(0, 0, 300, 200));
  auto a = UIView::make(CGRect(10, 10, 50, 50));
  auto b = UIView::make();
  root->addSubview(a);
  root->addSubview(b);
  {
    SCOPED_TRACE("subviews in order, superview known weakly");
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{a, b}));
    EXPECT_EQ(a->superview(), root);
    root->addSubview(a);  // to the front
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{b, a}));
    a->addSubview(root);  // would make a cycle: refused
    EXPECT_EQ(root->superview(), nullptr);
  }
  {
    SCOPED_TRACE("frame sets the bounds' size; bounds keep the frame's centre");
    EXPECT_EQ(a->bounds(), CGRect(0, 0, 50, 50));
    a->setFrame(CGRect(5, 6, 70, 80));
    EXPECT_EQ(a->bounds(), CGRect(0, 0, 70, 80));
    a->setBounds(CGRect(0, 0, 30, 40));
    EXPECT_EQ(a->frame(), CGRect(25, 26, 30, 40));
  }
  {
    SCOPED_TRACE("moving a view to another superview");
    b->addSubview(a);
    EXPECT_EQ(a->superview(), b);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<UIView>>{b}));
    EXPECT_TRUE(a->isDescendant(*root));
    a->removeFromSuperview();
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_TRUE(b->subviews().empty());
  }
}

TEST(UIView, PinnedViewFollowsItsSuperviewsBounds) {
  auto parent = UIView::make(CGRect(0, 0, 400, 300));
  auto child = UIView::make(CGRect(7, 7, 10, 10));
  parent->addSubview(child);
  pin(child, 0, 0, 0, 0);
  EXPECT_EQ(child->frame(), CGRect(0, 0, 400, 300));
  EXPECT_EQ(parent->constraints().size(), 4u);

  const CGRect sizes[] = {CGRect(0, 0, 640, 480), CGRect(50, 60, 100, 20), CGRect(0, 0, 0, 0),
                          CGRect(-3, 2, 1000.5, 0.25)};
  for (const CGRect& frame : sizes) {
    SCOPED_TRACE(std::to_string(frame.size.width) + "x" + std::to_string(frame.size.height));
    parent->setFrame(frame);
    EXPECT_EQ(child->frame(), CGRect(0, 0, frame.size.width, frame.size.height));
  }
  {
    SCOPED_TRACE("a bounds origin shifts what the pinned edges meet");
    parent->setBounds(CGRect(10, 20, 200, 100));
    EXPECT_EQ(child->frame(), CGRect(10, 20, 200, 100));
    parent->setBounds(CGRect(0, 0, 200, 100));
  }
  {
    SCOPED_TRACE("nested pinning follows down the tree");
    auto grandchild = UIView::make();
    child->addSubview(grandchild);
    pin(grandchild, 5, 5, -5, -5);
    parent->setFrame(CGRect(0, 0, 300, 150));
    EXPECT_EQ(child->frame(), CGRect(0, 0, 300, 150));
    EXPECT_EQ(grandchild->frame(), CGRect(5, 5, 290, 140));
  }
  {
    SCOPED_TRACE("removing the view drops its constraints; it stops following");
    child->removeFromSuperview();
    EXPECT_TRUE(parent->constraints().empty());
    const CGRect before = child->frame();
    parent->setFrame(CGRect(0, 0, 900, 900));
    EXPECT_EQ(child->frame(), before);
  }
}

TEST(UIView, LeadingAndTrailingFollowTheLayoutDirection) {
  auto parent = UIView::make(CGRect(0, 0, 200, 100));
  auto child = UIView::make();
  parent->addSubview(child);
  pin(child, 10, 20, -30, -40);  // leading inset 20, trailing inset 40
  EXPECT_EQ(child->frame(), CGRect(20, 10, 140, 60));
  parent->setSemanticContentAttribute(UISemanticContentAttribute::forceRightToLeft);
  EXPECT_EQ(child->effectiveUserInterfaceLayoutDirection(), UIUserInterfaceLayoutDirection::rightToLeft);
  EXPECT_EQ(child->frame(), CGRect(40, 10, 140, 60));  // leading is the right edge now
  {
    SCOPED_TRACE("a single edge moves the view and keeps its size");
    auto tag = UIView::make(CGRect(0, 0, 30, 10));
    parent->addSubview(tag);
    NSLayoutConstraint::activate({tag->bottomAnchor().constraint(parent->bottomAnchor(), -5)});
    EXPECT_EQ(tag->frame(), CGRect(0, 85, 30, 10));
    auto constraint = parent->constraints().back();
    constraint->setConstant(0);
    EXPECT_EQ(tag->frame(), CGRect(0, 90, 30, 10));
    constraint->setActive(false);
    parent->setFrame(CGRect(0, 0, 200, 500));
    EXPECT_EQ(tag->frame(), CGRect(0, 90, 30, 10));
  }
  {
    SCOPED_TRACE("views in different trees cannot be constrained");
    auto loner = UIView::make();
    auto c = loner->topAnchor().constraint(parent->topAnchor());
    NSLayoutConstraint::activate({c});
    EXPECT_FALSE(c->isActive());
  }
}

TEST(UIColor, ComponentsThroughCoreImageColour) {
  EXPECT_EQ(UIColor::red(), UIColor(1, 0, 0, 1));
  const CIColor grey(UIColor::white(0.25, 0.5));
  EXPECT_EQ(grey.red(), 0.25);
  EXPECT_EQ(grey.blue(), 0.25);
  EXPECT_EQ(grey.alpha(), 0.5);
  // Hue 1/3 at full saturation and brightness is pure green; 0.5 is cyan; 5/6 magenta.
  EXPECT_EQ(UIColor::hue(1.0 / 3.0, 1, 1, 1), UIColor(0, 1, 0, 1));
  EXPECT_EQ(UIColor::hue(0.5, 1, 1, 1), UIColor(0, 1, 1, 1));
  const UIColor magenta = UIColor::hue(5.0 / 6.0, 1, 1, 1);
  CGFloat r, g, b, a;
  ASSERT_TRUE(magenta.getRed(&r, &g, &b, &a));
  EXPECT_NEAR(r, 1, 1e-12);
  EXPECT_NEAR(g, 0, 1e-12);
  EXPECT_NEAR(b, 1, 1e-12);
  EXPECT_EQ(UIColor::hue(std::nan(""), 1, 1, 1), UIColor(1, 0, 0, 1));  // treated as hue 0
}

TEST(UIImage, DecodesEncodedDataAndRefusesOtherData) {
  // A 3 x 2 RGBA picture with distinct pixels, one of them half transparent.
  const guchar pixels[] = {255, 0,  0,  255, 0,   255, 0,   255, 0, 0, 255, 255,
                           10,  20, 30, 128, 255, 255, 255, 255, 0, 0, 0,   0};
  GdkPixbuf* pixbuf =
      gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, TRUE, 8, 3, 2, 12, nullptr, nullptr);
  const std::vector<std::uint8_t> png = encode(pixbuf, "png");
  GdkPixbuf* opaque = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 3, 2);
  gdk_pixbuf_fill(opaque, 0x20406000);
  const std::vector<std::uint8_t> jpeg = encode(opaque, "jpeg");  // built into the library
  g_object_unref(opaque);
  g_object_unref(pixbuf);
  {
    SCOPED_TRACE("PNG: exact pixels, not premultiplied");
    auto image = UIImage::make(png);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->size(), (CGSize{3, 2}));
    EXPECT_EQ(image->rgbaPixels(), std::vector<std::uint8_t>(pixels, pixels + 24));
  }
  {
    SCOPED_TRACE("JPEG without alpha: opaque");
    auto image = UIImage::make(jpeg);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 3);
    const auto& p = image->rgbaPixels();
    EXPECT_NEAR(p[0], 0x20, 3);  // lossy, but a flat colour survives closely
    EXPECT_NEAR(p[1], 0x40, 3);
    EXPECT_NEAR(p[2], 0x60, 3);
    EXPECT_EQ(p[3], 255);
  }
  {
    SCOPED_TRACE("no image");
    EXPECT_EQ(UIImage::make(std::vector<std::uint8_t>{}), nullptr);
    EXPECT_EQ(UIImage::make(std::vector<std::uint8_t>(1024, 'x')), nullptr);
    const std::string html = "<html><body>Not Found</body></html>";
    EXPECT_EQ(UIImage::make(std::vector<std::uint8_t>(html.begin(), html.end())), nullptr);
    EXPECT_EQ(UIImage::make(std::vector<std::uint8_t>(png.begin(), png.begin() + 8)), nullptr);
  }
  {
    SCOPED_TRACE("an image view holds an image and takes its size");
    auto view = UIImageView::make(UIImage::make(png));
    EXPECT_EQ(view->frame(), CGRect(0, 0, 3, 2));
    view->setImage(nullptr);
    EXPECT_EQ(view->image(), nullptr);
  }
}
