// The main screen's behaviour: start-up, the embedding of the effect's editor, the four actions,
// the player's reports, segue preparation, and the layout and dialog helpers. [main]
#include "ViewController.h"

#include "AUEnginePlayer.h"
#include "AUExtensionManager.h"
#include "AVFoundation/AVAudioNode.h"
#include "CoreAudioKit/AUViewController.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/Print.h"
#include "HelpHost.h"
#include "HelpViewController.h"
#include "UIKit/UIAlertController.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIStoryboardSegue.h"
#include "ViewExtensions.h"

ViewController::ViewController(const NSCoder& coder) : UIViewController(coder) {}

ViewController::ViewController(std::optional<std::string> nibName, const Bundle* bundle)
    : UIViewController(std::move(nibName), bundle) {}

std::shared_ptr<ViewController> ViewController::self() {
  return std::static_pointer_cast<ViewController>(shared_from_this());
}

// ---- life cycle

void ViewController::viewDidLoad() {
  UIViewController::viewDidLoad();
  print("Info: Main view controller loaded.");
  playButton->setHidden(false);
  stopButton->setHidden(true);
  // The screen puts the manager and the engine player together: the manager drives the player,
  // the player reports to the screen.
  const auto enginePlayer = std::make_shared<AUEnginePlayer>();
  audioUnitManager = AUExtensionManager::make(self(), enginePlayer);
  enginePlayer->setDelegate(self());
  pluginView->setHidden(true);
  getDirectories();
}

void ViewController::viewWillAppear(bool animated) {
  UIViewController::viewWillAppear(animated);
}

void ViewController::viewDidDisappear(bool animated) {
  UIViewController::viewDidDisappear(animated);
}

void ViewController::viewDidLayoutSubviews() {
  UIViewController::viewDidLayoutSubviews();
}

bool ViewController::canPerformAction(std::string_view action, const std::any& sender) {
  return UIViewController::canPerformAction(action, sender);
}

void ViewController::getDirectories() {
  const auto documents = FileManager::defaultManager().urls(SearchPathDirectory::documentDirectory,
                                                            SearchPathDomainMask::userDomainMask);
  if (documents.empty()) {
    print("ViewController: Documents directory is nil.");
    return;
  }
  documentsPath = documents.front().path();
  print("ViewController: The app's documents path is: " + documentsPath);
  if (const auto resources = Bundle::main().resourceURL()) {
    resourcesPath = resources->path();
    print("ViewController: The app's resources path is: " + resourcesPath);
  } else {
    print("ViewController: Resources folder is nil.");
  }
}

// ---- the effect's editor

void ViewController::onFoundComponent(std::shared_ptr<AVAudioUnit> unit) {
  print("ViewController: Loading the audio unit's interface...");
  if (!unit) {
    print("ERROR: The audio unit is not initialized to load the user interface.");
    return;
  }
  std::weak_ptr<ViewController> weakSelf = self();
  unit->auAudioUnit()->requestViewController([weakSelf](std::shared_ptr<AUAudioUnitFactory> principal) {
    const auto screen = weakSelf.lock();
    if (!screen) {
      print("ERROR: Self is nil !?");
      return;
    }
    // The principal class instance is the editor's view controller.
    const auto controller = std::dynamic_pointer_cast<UIViewController>(principal);
    if (!controller || !controller->view()) {
      print("ERROR: Something is wrong with the view controller and view of the audio unit.");
      return;
    }
    screen->embed(controller);
    controller->view()->setNeedsDisplay();
    // The manager's editor slot: the controller the screen shows.
    screen->audioUnitManager->viewController = std::dynamic_pointer_cast<AUViewController>(controller);
  });
}

void ViewController::embed(const std::shared_ptr<UIViewController>& controller) {
  const auto& view = controller->view();
  addChild(controller);
  view->setFrame(pluginView->bounds());
  pluginView->addSubview(view);
  pinToSuperviewEdges(*view);
  controller->didMove(this);
}

void ViewController::embedPlugInView() {
  const auto controller = audioUnitManager ? audioUnitManager->viewController : nullptr;
  if (!controller) {
    print("ERROR: Could not load audio unit's view controller.");
    return;
  }
  if (!controller->view())
    return;
  embed(controller);
}

std::shared_ptr<UIView> ViewController::audioUnitView() const {
  return audioUnitViewController ? audioUnitViewController->view() : nullptr;
}

void ViewController::onEngineInitialized() {}

// ---- player reports

void ViewController::onPlayerStateChanged(bool playing) {
  playButton->setHidden(playing);
  stopButton->setHidden(!playing);
}

void ViewController::onFileSelect(const std::string& /*file*/) {}

void ViewController::onLoop(std::int64_t /*count*/) {}

// ---- actions

void ViewController::onButtonUnit(const std::any& /*sender*/) {
  pluginView->setHidden(!pluginView->isHidden());
}

void ViewController::onPlayButton(const std::any& /*sender*/) {
  (void)audioUnitManager->togglePlayback();
}

void ViewController::onStopButton(const std::any& /*sender*/) {
  (void)audioUnitManager->togglePlayback();
}

void ViewController::showHelp(const std::any& /*sender*/) {
  UIApplication::shared().open(HelpHost::fromMainBundle().rootURL(), {}, {});
  performSegue("ShowHelp", std::any(this));
}

void ViewController::prepare(UIStoryboardSegue& segue, const std::any& /*sender*/) {
  const auto& identifier = segue.identifier();
  if (identifier)
    print(*identifier);
  if (identifier == "ShowInfo" || identifier == "ShowHelp") {
    if (auto help = std::dynamic_pointer_cast<HelpViewController>(segue.destination()))
      help->prepareInfo(*identifier);
  }
}

// ---- layout helpers

void ViewController::centerPluginView() {
  const CGRect bounds = view()->bounds();
  resetPluginView(bounds.width(), bounds.height());
}

void ViewController::resetPluginView(CGFloat w, CGFloat h) {
  if (!audioUnitViewController) {
    print("WARNING: Cannot reset the pluginview (yet).");
    return;
  }
  const CGRect screen = view()->bounds();
  const auto& editor = audioUnitViewController->view();
  if (w < h) {
    const CGFloat width = h / 0.75;
    pluginView->setFrame(CGRect(screen.width() * 0.5 - width * 0.5, 0, width, h));
    editor->setFrame(CGRect(0, 0, width, h));
  } else {
    const CGFloat height = w * 0.75;
    pluginView->setFrame(CGRect(0, screen.height() * 0.5 - height * 0.5, w, height));
    editor->setFrame(CGRect(0, 0, w, height));
  }
  pluginView->setNeedsDisplay();
}

// ---- dialogs

void ViewController::openFilePicker() {
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.folder"},
                                                                 UIDocumentPickerMode::open);
  picker->setDelegate(std::static_pointer_cast<UIDocumentPickerDelegate>(self()));
  picker->setAllowsMultipleSelection(false);
  present(picker, true, [] {});
}

void ViewController::documentPicker(UIDocumentPickerViewController& /*controller*/,
                                    const URL& didPickDocumentAt) {
  print("documentPicker (didPickDocumentAt): " + didPickDocumentAt.path());
}

void ViewController::documentPicker(UIDocumentPickerViewController& /*controller*/,
                                    const std::vector<URL>& didPickDocumentsAt) {
  print("documentPicker: " + describe(didPickDocumentsAt));
  // An empty pick has no first URL: nothing more to report.
  if (!didPickDocumentsAt.empty())
    print("documentPicker (didPickDocumentsAt): " + didPickDocumentsAt.front().path());
}

void ViewController::documentPickerWasCancelled(UIDocumentPickerViewController& /*controller*/) {
  print("The document picker was canceled.");
}

void ViewController::alertMessage(const std::string& title, const std::string& message) {
  print(title + ": " + message);
  auto alert = std::make_shared<UIAlertController>(title, message, UIAlertControllerStyle::alert);
  alert->addAction(std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::default_,
                                                   [](UIAlertAction&) { print("Alert was confirmed."); }));
  alert->addAction(std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel,
                                                   [](UIAlertAction&) { print("Alert was canceled."); }));
  present(alert, true);
}
