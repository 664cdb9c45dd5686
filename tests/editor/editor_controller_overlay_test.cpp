// The info overlay over virtual timer ticks, the dialogs answered by a test presenter, the
// document picker's lines, the segue hook and parameter access by address.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "EditorControllerTestSupport.h"
#include "UIKit/UIStoryboardSegue.h"
#include "UIKit/testing/UITestDialogPresenter.h"

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
  // Hide: tick k of the hide hands over frame k - 1 of the in-expo curve from `top` to 0.
  for (int k = 1; k <= 120; ++k) {
    TestClock::advance(kTick);
    const double t = k - 1;
    const double expected = t == 0 ? top : top - top * std::exp2(10 * (t / 120 - 1));
    ASSERT_NEAR(overlay.alpha(), expected, kTolerance) << "hide tick " << k;
    ASSERT_FALSE(overlay.isHidden());
  }
  EXPECT_NEAR(overlay.alpha() / top, 1 - std::exp2(-1.0 / 12), kTolerance);  // about 0.0561
  TestClock::advance(kTick);
  EXPECT_TRUE(overlay.isHidden());
  EXPECT_EQ(controller->infoMessage->text(), "");
  {
    SCOPED_TRACE("hiding an overlay already at alpha 0: hidden on the first tick, no update");
    overlay.setHidden(false);
    overlay.setAlpha(0);
    overlay.setTransform(CGAffineTransform::identity().scaledBy(0.5, 0.5));
    controller->infoMessage->setText("x");
    controller->hideInfo();
    TestClock::advance(kTick);
    EXPECT_TRUE(overlay.isHidden());
    EXPECT_EQ(controller->infoMessage->text(), "");
    EXPECT_EQ(overlay.transform().a, 0.5);
  }
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
    UIAlertController& alert = shown();
    EXPECT_TRUE(appeared);
    EXPECT_EQ(alert.title(), "Note");
    EXPECT_EQ(alert.message(), "Saved");
    ASSERT_EQ(alert.actions().size(), 1u);
    EXPECT_TRUE(alert.press("OK"));
    EXPECT_EQ(endCapture(), (Lines{"Alert: Note : Saved", "Alert was accepted."}));
  }
  {
    SCOPED_TRACE("question: Yes (default), No (cancel)");
    beginCapture();
    controller->alertQuestion("Preset", "Load it?", nullptr);
    UIAlertController& first = shown();
    ASSERT_EQ(first.actions().size(), 2u);
    EXPECT_EQ(first.actions()[0]->title(), "Yes");
    EXPECT_EQ(first.actions()[1]->style(), UIAlertActionStyle::cancel);
    first.press("Yes");
    controller->alertQuestion("Preset", "Load it?", nullptr);
    shown().press("No");
    EXPECT_EQ(endCapture(), (Lines{"Alert: Preset : Load it?", "Answer was YES.", "Alert: Preset : Load it?",
                                   "Answer was NO."}));
  }

  const std::string documents = folder + "/data/KOV Compressor Extension/Documents";
  std::filesystem::create_directories(documents);
  std::ofstream(documents + "/taken").put('x');
  const std::string plain = "Please enter the file name for the current file: ";
  const std::string taken = "The file already exists. Please type in another file name: ";
  {
    SCOPED_TRACE("an empty answer takes the default; a taken name asks again, pre-filled");
    beginCapture();
    const std::size_t before = presenter->alerts.size();
    controller->alertFileName("save", "taken");
    UIAlertController& first = shown();
    EXPECT_EQ(first.title(), "File name");
    EXPECT_EQ(first.message(), plain);
    ASSERT_EQ(first.textFields().size(), 1u);
    EXPECT_EQ(first.textFields()[0]->placeholder(), "file name");
    EXPECT_EQ(first.textFields()[0]->text(), "taken");
    EXPECT_EQ(first.actions()[1]->style(), UIAlertActionStyle::cancel);
    first.textFields()[0]->setText("");
    first.press("OK");
    UIAlertController& second = shown();
    EXPECT_EQ(second.message(), taken);
    EXPECT_EQ(second.textFields()[0]->text(), "taken");
    second.press("Cancel");
    MainLoop::runUntilIdle();
    EXPECT_EQ(presenter->alerts.size(), before + 2);
    EXPECT_EQ(endCapture(), (Lines{"Save action was canceled."}));
  }
  {
    SCOPED_TRACE("a free name ends the loop");
    const std::size_t before = presenter->alerts.size();
    controller->alertFileName("save", "taken");
    shown().textFields()[0]->setText("fresh");
    presenter->alerts.back()->press("OK");
    MainLoop::runUntilIdle();
    EXPECT_EQ(presenter->alerts.size(), before + 1);
  }
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
    EXPECT_EQ(picker.documentTypes(), std::vector<std::string>{"public.data"});
    EXPECT_EQ(picker.documentPickerMode(), UIDocumentPickerMode::import);
    EXPECT_TRUE(picker.allowsMultipleSelection());
    EXPECT_EQ(picker.delegate().get(), static_cast<UIDocumentPickerDelegate*>(controller.get()));
    picker.pick({URL::fileURLWithPath("/tmp/a.plist"), URL::fileURLWithPath("/tmp/b c.plist")});
    controller->documentPicker(picker, URL::fileURLWithPath("/tmp/one.plist"));
    controller->openFilePicker();
    MainLoop::runUntilIdle();
    presenter->pickers.back()->cancel();
    EXPECT_EQ(endCapture(),
              (Lines{"documentPicker: [file:///tmp/a.plist, file:///tmp/b%20c.plist]",
                     "documentPicker: file:///tmp/one.plist", "documentPicker: [file:///tmp/one.plist]",
                     "The document picker was canceled."}));
  }
  {
    SCOPED_TRACE("segue hook: the identifier alone, when there is one");
    beginCapture();
    UIStoryboardSegue named("ShowInfo", controller, nullptr);
    UIStoryboardSegue unnamed(std::nullopt, controller, nullptr);
    controller->prepare(named, {});
    controller->prepare(unnamed, {});
    EXPECT_EQ(endCapture(), (Lines{"ShowInfo"}));
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
    EXPECT_EQ(controller->getParameter(2), 0.5f);
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
