// The editor's three views in a headless window, as the editor stacks them (frame at the back,
// panel, gauge on top), drawn by the window's display pass and driven by injected touches: the
// scale and hotspots that a display pass records are the ones a real touch is mapped with.
#include <gtest/gtest.h>

#include <memory>

#include "EditorTestSupport.h"
#include "KOVCompressorView.h"
#include "KOVDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "StdoutCapture.h"
#include "TestOutput.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UIKitTesting.h"
#include "UIKit/testing/UITestSupport.h"

namespace {

using editor_test::RecordingController;
using editor_test::RecordingDelegate;

TEST(EditorWindow, DisplayPassScalesThePanelAndTouchesEditIt) {
  ASSERT_TRUE(UIWindow::useBackend(UIWindowBackendKind::headless));
  auto window = UIWindow::make({0, 0, 1100, 760});
  // The editor's container, away from the window's origin, holding the three views at twice the
  // design size.
  auto container = UIView::make({40, 30, 1024, 680});
  const CGRect bounds{0, 0, 1024, 680};
  auto frame = PluginFrameEx::make(bounds);
  auto panel = KOVCompressorView::make(bounds);
  auto gauge = KOVDynamicsDisplayView::make(bounds);
  gauge->setUserInteractionEnabled(false);  // the marks lie over the panel but take no touches
  container->addSubview(frame);
  container->addSubview(panel);
  container->addSubview(gauge);
  window->addSubview(container);
  window->makeKeyAndVisible();

  auto controller = std::make_shared<RecordingController>();
  auto delegate = std::make_shared<RecordingDelegate>();
  panel->setViewController(controller);
  panel->setDelegate(delegate);

  ASSERT_TRUE(UITestSupport::display(*window));
  EXPECT_EQ(panel->baseClass().viewScale, (CGSize{2, 2}));
  EXPECT_EQ(gauge->baseClass().viewScale, (CGSize{2, 2}));
  // The plate's grey just inside the frame's margin, in window coordinates.
  EXPECT_EQ(window->surface().pixelAt({40 + 8, 30 + 340}), (CGPixel{38, 38, 38, 255}));

  // Threshold's knob centre is canvas (329, 94): window (40 + 658, 30 + 188). Up 100 points is
  // 25 canvas units at scale 2, an eighth of the range.
  UITestSupport::TouchInjector fingers(*window);
  stdout_capture::beginCapture();
  fingers.down(0, {698, 218});
  EXPECT_TRUE(controller->locked);
  fingers.move(0, {698, 118});
  fingers.up(0, {698, 118});
  EXPECT_EQ(stdout_capture::endCapture(), "threshold\n0.625\n0.625\n");
  EXPECT_EQ(delegate->parameters.back(), (std::pair<int, float>{2, 0.625f}));
  EXPECT_FALSE(controller->locked);
  EXPECT_EQ(UIControlTesting::sentCount(*panel, UIControlEvents::touchUpInside), 1u);

  // The redraw after the drag shows the new value; only the panel was asked to redraw.
  const auto frameDraws = UIViewTesting::drawCount(*frame);
  ASSERT_TRUE(UITestSupport::display(*window));
  EXPECT_EQ(UIViewTesting::drawCount(*frame), frameDraws);
  EXPECT_TRUE(UITestSupport::writePNG(*window, test_support::outputFile("editor_window.png")));
}

}  // namespace
