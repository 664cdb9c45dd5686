// The editor controller's factory and its binding to the unit: the console sequences when the
// view is loaded before the binding block runs, when it loads later, and without a unit; the
// parameter observer in both directions; one observer per controller; teardown.
#include <gtest/gtest.h>

#include <thread>

#include "EditorControllerTestSupport.h"
#include "KOVParameterAddresses.h"

namespace {

using namespace editor_controller_test;
using stdout_capture::beginCapture;

Lines concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kDidSet = "AU Diagnostics: AUAudioUnit::didSet()";
const std::string kNotLoaded = "AU Diagnostics: WARNING: Plugin view is not loaded.";

TEST_F(EditorControllerTest, FactoryMakesTheEffectUnitAndKeepsIt) {
  const auto factory = makePrincipalClass();
  auto* controller = dynamic_cast<AudioUnitViewController*>(factory.get());
  ASSERT_NE(controller, nullptr);
  beginCapture();
  std::shared_ptr<NSError> error;
  const auto unit = factory->createAudioUnitWithComponentDescription(kEffectDescription, &error);
  const Lines lines = endCapture();
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(unit, std::static_pointer_cast<AUAudioUnit>(controller->audioUnit()));
  EXPECT_EQ(unit->className(), "KOV_Compressor_Extension.KOV_Compressor_Extension_AudioUnit");
  EXPECT_EQ(unit->componentDescription().componentSubType, kEffectDescription.componentSubType);
  // The unit's own lines go through the main queue, so they follow the direct didSet line.
  EXPECT_EQ(lines, (Lines{"System Peak Limiter AudioUnit created and initialized.", kDidSet, "QFLD : kvc1",
                          kNotLoaded}));
}

TEST_F(EditorControllerTest, BindingPrintsItsLinesOnceWhicheverComesLast) {
  const auto unit = quietUnit();
  {
    SCOPED_TRACE("view loaded before the binding block runs: bound by the block");
    auto controller = std::make_shared<AudioUnitViewController>();
    beginCapture();
    controller->setAudioUnit(unit);
    controller->view();
    EXPECT_EQ(endCapture(), concat({kDidSet}, bindingLines(*unit)));
    EXPECT_EQ(controller->parameters.size(), 12u);
    EXPECT_EQ(controller->parameterTree, unit->parameterTree());
    EXPECT_NE(controller->parameterObserverToken, nullptr);
  }
  {
    SCOPED_TRACE("block first, view later: the warning, then bound when the view loads");
    auto controller = std::make_shared<AudioUnitViewController>();
    beginCapture();
    controller->setAudioUnit(unit);
    MainLoop::runUntilIdle();
    controller->view();
    EXPECT_EQ(endCapture(), concat({kDidSet, kNotLoaded}, bindingLines(*unit)));
    EXPECT_EQ(controller->mainView->viewController().get(), controller.get());
    EXPECT_EQ(controller->parameters.size(), 12u);
  }
  {
    SCOPED_TRACE("two assignments before the view loads: two warnings, one binding");
    auto controller = std::make_shared<AudioUnitViewController>();
    beginCapture();
    controller->setAudioUnit(unit);
    controller->setAudioUnit(unit);
    MainLoop::runUntilIdle();
    controller->view();
    EXPECT_EQ(endCapture(), concat({kDidSet, kDidSet, kNotLoaded, kNotLoaded}, bindingLines(*unit)));
  }
  {
    SCOPED_TRACE("no unit: the load warns, every meter tick warns, a panel edit goes nowhere");
    auto controller = std::make_shared<AudioUnitViewController>();
    beginCapture();
    controller->view();
    controller->onKOVCompressorViewParameter(kov_address::threshold, 0.3f);
    TestClock::advance(3 * 0.04);
    EXPECT_EQ(endCapture(), (Lines{"AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?).",
                                   "WARNING: The Audio unit is not initialized.",
                                   "WARNING: The Audio unit is not initialized.",
                                   "WARNING: The Audio unit is not initialized."}));
    EXPECT_TRUE(controller->parameters.empty());
  }
  {
    SCOPED_TRACE("nil assigned while the view is loaded");
    auto controller = std::make_shared<AudioUnitViewController>();
    controller->view();
    beginCapture();
    controller->setAudioUnit(nullptr);
    EXPECT_EQ(
        endCapture(),
        (Lines{kDidSet, "AU Diagnostics: We are about to connect the audio unit to its view controller.",
               "Error: could not set paths, audio unit is nil.",
               "AU Diagnostics: WARNING: The audio unit is nil."}));
  }
}

TEST_F(EditorControllerTest, ObserverCarriesEveryTreeChangeToThePanelOnce) {
  const auto unit = quietUnit();
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  controller->setAudioUnit(unit);
  MainLoop::runUntilIdle();
  const auto attack = unit->parameterTree()->parameterWithAddress(kov_address::attack);
  {
    SCOPED_TRACE("a host change reaches the panel on the main queue, once");
    beginCapture();
    attack->setValue(0.25f);
    EXPECT_NE(controller->mainView->baseClass().valueAttack, 0.25);  // not before the queue runs
    EXPECT_EQ(endCapture(), (Lines{"editor received parameter : address: 0, value: 0.25"}));
    EXPECT_EQ(controller->mainView->baseClass().valueAttack, 0.25);
  }
  {
    SCOPED_TRACE("a change made on another thread reaches the panel on the main thread");
    beginCapture();
    std::thread host([&] { attack->setValue(0.5f); });
    host.join();
    EXPECT_NE(controller->mainView->baseClass().valueAttack, 0.5);
    EXPECT_EQ(endCapture(), (Lines{"editor received parameter : address: 0, value: 0.5"}));
  }
  {
    SCOPED_TRACE("a second binding replaces the observer: still one line per change");
    controller->setAudioUnit(unit);
    MainLoop::runUntilIdle();
    beginCapture();
    attack->setValue(0.75f);
    EXPECT_EQ(endCapture(), (Lines{"editor received parameter : address: 0, value: 0.75"}));
  }
  {
    SCOPED_TRACE("a panel edit goes to the unit and comes back through the tree; the same value does not");
    beginCapture();
    controller->onKOVCompressorViewParameter(kov_address::threshold, 0.625f);
    EXPECT_EQ(unit->getParameter(kov_address::threshold), 0.625f);
    controller->onKOVCompressorViewParameter(kov_address::threshold, 0.625f);
    controller->onKOVCompressorViewOption(kov_address::threshold, 0.0f);
    EXPECT_EQ(endCapture(), (Lines{"editor received parameter : address: 2, value: 0.625"}));
    EXPECT_EQ(unit->getParameter(kov_address::threshold), 0.625f);
  }
  {
    SCOPED_TRACE("a controller that goes stops its timer and leaves the tree");
    std::weak_ptr<Timer> timer = controller->timer;
    std::weak_ptr<AudioUnitViewController> weak = controller;
    controller.reset();
    MainLoop::runUntilIdle();
    ASSERT_TRUE(weak.expired());
    EXPECT_TRUE(timer.expired() || !timer.lock()->isValid());
    beginCapture();
    attack->setValue(0.5f);
    TestClock::advance(0.2);
    EXPECT_EQ(endCapture(), Lines{});
  }
}

TEST_F(EditorControllerTest, FactoryOnAnotherThreadBindsOnTheMainQueue) {
  auto controller = std::make_shared<AudioUnitViewController>();
  controller->view();
  std::shared_ptr<AUAudioUnit> unit;
  std::thread host([&] { unit = controller->createAudioUnit(kEffectDescription); });
  host.join();
  ASSERT_NE(unit, nullptr);
  EXPECT_TRUE(controller->parameters.empty());  // nothing bound off the main thread
  MainLoop::runUntilIdle();
  EXPECT_EQ(controller->parameters.size(), 12u);
  EXPECT_NE(controller->parameterObserverToken, nullptr);
}

}  // namespace
