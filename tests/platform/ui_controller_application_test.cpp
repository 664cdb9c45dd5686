// UIApplicationMain's launch and loop, the delegate class registry, life-cycle changes, opening URLs.

#include <gtest/gtest.h>

#include "Dispatch/DispatchQueue.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIApplicationMain.h"
#include "UIKit/UIStoryboard.h"
#include "UIKit/UIWindow.h"
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
    UIApplication::setURLOpener(nullptr);
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
    UIApplication::setURLOpener([&](const std::string& uri, std::function<void(bool)> done) {
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
    UIApplication::setURLOpener(nullptr);
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
