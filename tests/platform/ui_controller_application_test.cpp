// The application: UIApplicationMain's launch and loop, the delegate class registry, life-cycle
// transitions, opening URLs, memory warnings; and the audio-unit editor base.

#include <gtest/gtest.h>

#include "AudioToolbox/AUAudioUnit.h"
#include "CoreAudioKit/AUViewController.h"
#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIApplicationMain.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIWindow.h"
#include "UIKit/testing/UIKitTesting.h"
#include "ui_controller_support.h"

using namespace ui_controller_test;
using Lines = std::vector<std::string>;

namespace {

Journal& appJournal() {
  static Journal journal;
  return journal;
}

// Writes each callback; ends the application once it is active when `quitWhenActive` is set.
class JournalAppDelegate : public UIApplicationDelegate {
 public:
  static inline bool quitWhenActive = false;

  bool application(UIApplication&, const LaunchOptions&) override {
    appJournal().push_back(std::string("didFinishLaunching, window ") + (window_ ? "set" : "none"));
    return true;
  }
  void applicationDidBecomeActive(UIApplication& application) override {
    appJournal().push_back("didBecomeActive");
    if (quitWhenActive)
      DispatchQueue::main().async([&application] { application.terminate(); });
  }
  void applicationWillResignActive(UIApplication&) override { appJournal().push_back("willResignActive"); }
  void applicationDidEnterBackground(UIApplication&) override {
    appJournal().push_back("didEnterBackground");
  }
  void applicationWillEnterForeground(UIApplication&) override {
    appJournal().push_back("willEnterForeground");
  }
  void applicationWillTerminate(UIApplication&) override { appJournal().push_back("willTerminate"); }
  void applicationDidReceiveMemoryWarning(UIApplication&) override {
    appJournal().push_back("memoryWarning");
  }
  std::shared_ptr<UIWindow> window() const override { return window_; }
  void setWindow(std::shared_ptr<UIWindow> window) override { window_ = std::move(window); }

 private:
  std::shared_ptr<UIWindow> window_;
};

const UIApplicationDelegateClass<JournalAppDelegate> registration("JournalAppDelegate");

class OwnApplication : public UIApplication {};

class UIApplicationTest : public testing::Test {
 protected:
  void SetUp() override {
    UIWindow::useBackend(UIWindowBackendKind::headless);
    MainLoop::runUntilIdle();
    appJournal().clear();
    UIStoryboard::main().removeAll();
  }
  void TearDown() override {
    UIStoryboard::main().removeAll();
    UIApplicationTesting::setURLOpener(nullptr);
    JournalAppDelegate::quitWhenActive = false;
  }
};

char programName[] = "app";
char* arguments[] = {programName, nullptr};

}  // namespace

TEST_F(UIApplicationTest, MainLaunchesRunsTheLoopAndReturnsWhenTerminated) {
  UIStoryboard::main().setInitialViewController(
      [](const NSCoder& coder) { return std::make_shared<JournalController>("Root", appJournal(), coder); });
  JournalAppDelegate::quitWhenActive = true;
  const int result = UIApplicationMain(1, arguments, nullptr, "JournalAppDelegate");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(appJournal(), (Lines{"Root.init(coder:)", "didFinishLaunching, window set", "Root.loadView",
                                 "Root.viewDidLoad", "Root.viewWillAppear()", "Root.viewDidAppear()",
                                 "didBecomeActive", "willResignActive", "willTerminate"}));
  auto& application = UIApplication::shared();
  ASSERT_TRUE(application.delegate());
  auto window = application.delegate()->window();
  ASSERT_TRUE(window);
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(JournalController::nameOf(window->rootViewController().get()), "Root");
  EXPECT_TRUE(application.isTerminating());
}

TEST_F(UIApplicationTest, ClassNamesComeFromTheRegistry) {
  UIApplicationRegisterApplicationClass("OwnApplication", [] { return std::make_shared<OwnApplication>(); });
  {
    SCOPED_TRACE("a registered principal class, no delegate, no storyboard");
    DispatchQueue::main().async([] { UIApplication::shared().terminate(); });
    EXPECT_EQ(UIApplicationMain(1, arguments, "OwnApplication", nullptr), 0);
    EXPECT_NE(dynamic_cast<OwnApplication*>(&UIApplication::shared()), nullptr);
    EXPECT_FALSE(UIApplication::shared().delegate());
  }
  {
    SCOPED_TRACE("unknown names end it at once");
    testing::internal::CaptureStderr();
    EXPECT_EQ(UIApplicationMain(1, arguments, nullptr, "NoSuchDelegate"), 1);
    EXPECT_EQ(UIApplicationMain(1, arguments, "NoSuchApplication", "JournalAppDelegate"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "UIApplicationMain: no delegate class is registered as \"NoSuchDelegate\"\n"
              "UIApplicationMain: no application class is registered as \"NoSuchApplication\"\n");
    EXPECT_TRUE(appJournal().empty());
  }
}

TEST_F(UIApplicationTest, LifeCycleCallsTheDelegateOncePerChange) {
  UIApplication application;
  application.setDelegate(std::make_shared<JournalAppDelegate>());
  const struct {
    const char* step;
    void (UIApplication::*event)();
    Lines calls;
    UIApplicationState state;
  } steps[] = {
      {"become active", &UIApplication::becomeActive, {"didBecomeActive"}, UIApplicationState::active},
      {"again", &UIApplication::becomeActive, {}, UIApplicationState::active},
      {"to the background",
       &UIApplication::enterBackground,
       {"willResignActive", "didEnterBackground"},
       UIApplicationState::background},
      {"active from the background",
       &UIApplication::becomeActive,
       {"willEnterForeground", "didBecomeActive"},
       UIApplicationState::active},
      {"resign", &UIApplication::resignActive, {"willResignActive"}, UIApplicationState::inactive},
      {"resign again", &UIApplication::resignActive, {}, UIApplicationState::inactive},
      {"terminate", &UIApplication::terminate, {"willTerminate"}, UIApplicationState::inactive},
      {"after the end", &UIApplication::becomeActive, {}, UIApplicationState::inactive},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    (application.*step.event)();
    EXPECT_EQ(take(appJournal()), step.calls);
    EXPECT_EQ(application.applicationState(), step.state);
  }
  // terminate() quit the main loop: this run returns at once instead of waiting for events.
  MainLoop::run();
}

TEST_F(UIApplicationTest, OpenHandsTheURLToTheDesktopAndReportsLater) {
  auto url = URL::string("https://example.com/help?x=1");
  ASSERT_TRUE(url);
  std::vector<std::string> opened;
  std::optional<bool> result;
  {
    SCOPED_TRACE("through the opener; the completion comes on the main queue");
    UIApplicationTesting::setURLOpener([&](const std::string& uri, std::function<void(bool)> done) {
      opened.push_back(uri);
      done(true);
    });
    UIApplication::shared().open(*url, {}, [&](bool success) { result = success; });
    UIApplication::shared().open(*url);  // no completion
    EXPECT_EQ(opened, (Lines{"https://example.com/help?x=1", "https://example.com/help?x=1"}));
    EXPECT_FALSE(result);
    MainLoop::runUntilIdle();
    EXPECT_EQ(result, true);
  }
  {
    SCOPED_TRACE("GIO's default handler: a scheme nothing handles fails silently");
    UIApplicationTesting::setURLOpener(nullptr);
    result.reset();
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    UIApplication::shared().open(*URL::string("kov-no-such-scheme:anything"), {},
                                 [&](bool success) { result = success; });
    const bool answered = MainLoop::runUntil([&] { return result.has_value(); }, std::chrono::seconds(10));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(answered);
    EXPECT_EQ(result, false);
  }
}

TEST_F(UIApplicationTest, MemoryWarningsReachTheDelegateAndEveryController) {
  Journal& journal = appJournal();
  UIApplication application;
  auto delegate = std::make_shared<JournalAppDelegate>();
  application.setDelegate(delegate);
  auto window = UIWindow::make(CGRect(0, 0, 200, 100));
  delegate->setWindow(window);
  auto root = makeController("Root", journal);
  auto child = makeController("Child", journal);
  auto shown = makeController("Shown", journal);
  window->setRootViewController(root);
  window->makeKeyAndVisible();  // the key window is the delegate's: each controller hears once
  root->addChild(child);
  root->present(shown, false);
  MainLoop::runUntilIdle();
  take(journal);
  application.didReceiveMemoryWarning();
  EXPECT_EQ(take(journal), (Lines{"memoryWarning", "Root.didReceiveMemoryWarning",
                                  "Child.didReceiveMemoryWarning", "Shown.didReceiveMemoryWarning"}));
  root->dismiss(false);
  MainLoop::runUntilIdle();
}

namespace {

class EditorController : public AUViewController {
 public:
  bool fail = false;
  std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& with) override {
    if (fail)
      throw NSError(NSOSStatusErrorDomain, -10875);
    return std::make_shared<AUAudioUnit>(with);
  }
};

}  // namespace

TEST(AUViewControllerTest, IsAControllerAndTheUnitFactory) {
  auto editor = std::make_shared<EditorController>();
  const AudioComponentDescription description{0x61756678, 0x6b6f7663, 0x6b6f7620, 0,
                                              0};  // 'aufx' 'kovc' 'kov '
  {
    SCOPED_TRACE("the factory");
    std::shared_ptr<NSError> error;
    auto unit = editor->createAudioUnitWithComponentDescription(description, &error);
    ASSERT_TRUE(unit);
    EXPECT_EQ(unit->componentDescription().componentSubType, description.componentSubType);
    EXPECT_FALSE(error);
  }
  {
    SCOPED_TRACE("a thrown error comes back through the out-parameter");
    editor->fail = true;
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(editor->createAudioUnitWithComponentDescription(description, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -10875);
    EXPECT_FALSE(editor->createAudioUnitWithComponentDescription(description, nullptr));
  }
  {
    SCOPED_TRACE("the controller");
    EXPECT_FALSE(editor->isViewLoaded());
    EXPECT_EQ(editor->view()->viewOwner(), static_cast<UIViewOwner*>(editor.get()));
  }
}
