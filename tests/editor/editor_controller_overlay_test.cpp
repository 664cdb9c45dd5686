// The info overlay over virtual timer ticks, the dialogs answered by a test presenter, the
// document picker's lines and parameter access by address.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EditorControllerTestSupport.h"
#include "UIKit/UITestDialogPresenter.h"

namespace {

using namespace editor_controller_test;
using stdout_capture::beginCapture;

const double kTick = static_cast<double>(0.009f);  // the animators' interval, widened from Float

TEST_F(EditorControllerTest, InfoOverlayFadesInOver320TicksThenOutOver120) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  auto& overlay = *controller->infoView;
  controller->showInfo("Threshold");
  EXPECT_EQ(controller->infoMessage->text(), "Threshold");
  EXPECT_FALSE(overlay.isHidden());
  EXPECT_EQ(overlay.alpha(), 0.0);

  constexpr double kTolerance = 1e-6;  // the curves run in Float
  // Show: tick k hands over frame k - 1 of the out-expo curve from 0 to 1.
  for (int k = 1; k <= 320; ++k) {
    TestClock::advance(kTick);
    const double t = k - 1;
    const double expected = t == 0 ? 0.0 : 1 - std::exp2(-10 * t / 320);
    ASSERT_NEAR(overlay.alpha(), expected, kTolerance) << "show tick " << k;
    ASSERT_EQ(overlay.transform().a, overlay.alpha());
    ASSERT_EQ(overlay.transform().d, overlay.alpha());
  }
  const double top = overlay.alpha();
  EXPECT_NEAR(top, 1 - std::exp2(-9.96875), kTolerance);  // never quite 1
  TestClock::advance(kTick);  // tick 321 ends the show and starts the hide, without a hold
  EXPECT_EQ(overlay.alpha(), top);
  // Hide: tick k of the hide hands over frame k - 1 of the in-expo curve from `top` to 0; the
  // last, frame 119, is top * (1 - 2^(-1/12)), about 0.0561 of it.
  for (int k = 1; k <= 120; ++k)
    TestClock::advance(kTick);
  EXPECT_FALSE(overlay.isHidden());
  EXPECT_NEAR(overlay.alpha() / top, 1 - std::exp2(-1.0 / 12), kTolerance);
  TestClock::advance(kTick);
  EXPECT_TRUE(overlay.isHidden());
  EXPECT_EQ(controller->infoMessage->text(), "");
}

TEST_F(EditorControllerTest, DialogsPrintTheirLinesAndTheFileNamePromptStaysInTheDocumentsFolder) {
  UIScopedTestDialogPresenter presenter;
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  auto shown = [&]() -> UIAlertController& {
    MainLoop::runUntilIdle();
    return *presenter->alerts.back();
  };
  {
    SCOPED_TRACE("message: one OK; the completion runs when it has appeared");
    beginCapture();
    bool appeared = false;
    controller->alert("Note", "Saved", [&] { appeared = true; });
    EXPECT_TRUE(shown().press("OK"));
    EXPECT_TRUE(appeared);
    EXPECT_EQ(endCapture(), (Lines{"Alert: Note : Saved", "Alert was accepted."}));
  }

  // Nothing in the editor opens these dialogs yet: one message for its lines, and the file name
  // rule, which keeps a name inside the documents folder.
  const std::string plain = "Please enter the file name for the current file: ";
  for (const std::string& name : Lines{"../taken", "/etc/passwd", ".", "..", std::string("ta\0ken", 6)}) {
    SCOPED_TRACE("no plain file name: asked again with the plain prompt and the same default");
    controller->alertFileName("save", "default");
    shown().textFields()[0]->setText(name);
    presenter->alerts.back()->press("OK");
    UIAlertController& again = shown();
    EXPECT_EQ(again.message(), plain);
    EXPECT_EQ(again.textFields()[0]->text(), "default");
    again.press("Cancel");
  }
}

TEST_F(EditorControllerTest, PickerSegueAndParameterAccessPrintTheirLines) {
  UIScopedTestDialogPresenter presenter;
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  {
    SCOPED_TRACE("document picker: any data, import, several files; each answer's line");
    beginCapture();
    controller->openFilePicker();
    MainLoop::runUntilIdle();
    ASSERT_EQ(presenter->pickers.size(), 1u);
    auto& picker = *presenter->pickers[0];
    EXPECT_TRUE(picker.allowsMultipleSelection());
    picker.pick({URL::fileURLWithPath("/tmp/a.plist"), URL::fileURLWithPath("/tmp/b c.plist")});
    controller->openFilePicker();
    MainLoop::runUntilIdle();
    presenter->pickers.back()->cancel();
    EXPECT_EQ(endCapture(), (Lines{"documentPicker: [file:///tmp/a.plist, file:///tmp/b%20c.plist]",
                                   "The document picker was canceled."}));
  }
  {
    SCOPED_TRACE("parameter access before a tree is bound");
    beginCapture();
    EXPECT_EQ(controller->getParameter(2), 0.0f);
    controller->setParameter(2, 0.5f);
    EXPECT_EQ(endCapture(),
              (Lines{"AudioUnitViewController: ERROR: The parameter address 2 is not available."}));
  }
  const auto unit = quietUnit();
  controller->setAudioUnit(unit);
  MainLoop::runUntilIdle();
  {
    SCOPED_TRACE("through the tree: the unit and the panel see it; bad addresses refused");
    beginCapture();
    controller->setParameter(2, 0.5f);
    EXPECT_EQ(unit->getParameter(2), 0.5f);
    EXPECT_EQ(controller->getParameter(99), 0.0f);
    EXPECT_EQ(controller->getParameter(-1), 0.0f);
    controller->setParameter(std::numeric_limits<std::int64_t>::min(), 1.0f);
    controller->setParameter(2, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(controller->getParameter(2), 0.5f);
    EXPECT_EQ(
        endCapture(),
        (Lines{"AudioUnitViewController: ERROR: The parameter address 99 is not available.",
               "AudioUnitViewController: ERROR: The parameter address -1 is not available.",
               "AudioUnitViewController: ERROR: The parameter address -9223372036854775808 is not available.",
               // the observer's block, queued by the first set, runs when the queue drains
               "editor received parameter : address: 2, value: 0.5"}));
    EXPECT_EQ(controller->mainView->baseClass().valueThreshold, 0.5);
  }
}

}  // namespace
