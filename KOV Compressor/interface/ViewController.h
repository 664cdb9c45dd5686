// The application's main screen: a container in which the effect's own editor is embedded, play
// and stop buttons (one place, one shown at a time) that start and stop the loop through the
// effect, a button that shows and hides the editor, and buttons to the help and info pages.
//
// The screen owns the effect manager (made in viewDidLoad), which owns the engine player; the
// screen is the delegate of both. When the manager has found and wired the effect, the screen
// asks the unit for its view controller and embeds it in `pluginView`, which stays hidden until
// the user presses the unit button.
//
// The interface (view tree, the six outlets, the four actions, the info button's segue) is built
// by loadView() in place of an interface description; the segues "ShowHelp" and "ShowInfo" lead
// to the help screen.
//
// Threads: everything on the main thread. The platform delivers the instantiated unit and the
// editor controller on the main queue, so the embedding runs there too. [main]
#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AUEnginePlayerDelegate.h"
#include "AUExtensionManagerDelegate.h"
#include "UIKit/NSCoder.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDocumentPickerViewController.h"
#include "UIKit/UIViewController.h"

class AUExtensionManager;
class AVAudioUnit;
class Bundle;

class ViewController : public UIViewController,
                       public AUExtensionManagerDelegate,
                       public AUEnginePlayerDelegate,
                       public UIDocumentPickerDelegate {
 public:
  // init(coder:) (the storyboard launch) and init(nibName:bundle:): initial values only.
  explicit ViewController(const NSCoder& coder);
  ViewController(std::optional<std::string> nibName, const Bundle* bundle);

  // ---- effect manager and engine player callbacks

  // Requests the unit's editor and embeds it in `pluginView`.
  void onFoundComponent(std::shared_ptr<AVAudioUnit> unit) override;
  void onEngineInitialized() override;
  // Playing: the stop button replaces the play button; stopped: the other way round.
  void onPlayerStateChanged(bool playing) override;
  void onFileSelect(const std::string& file) override;
  void onLoop(std::int64_t count) override;

  // ---- outlets (connected by loadView; used without a presence test)

  std::shared_ptr<UIView> pluginView;  // container of the embedded editor; hidden at start
  std::shared_ptr<UIButton> buttonUnit;
  std::shared_ptr<UIButton> buttonInfo;
  std::shared_ptr<UIButton> buttonHelp;
  std::shared_ptr<UIButton> playButton;
  std::shared_ptr<UIButton> stopButton;

  // ---- actions

  // Flips the editor container's visibility.
  void onButtonUnit(const std::any& sender);
  // Both toggle the engine player; which button shows follows the player's report.
  void onPlayButton(const std::any& sender);
  void onStopButton(const std::any& sender);
  // Opens the maker's web site in the browser, then performs "ShowHelp".
  void showHelp(const std::any& sender);

  // ---- editor layout and dialogs (not used by the screen itself)

  // Embeds the effect manager's editor controller as onFoundComponent's completion does, without
  // the redraw request.
  void embedPlugInView();
  // resetPluginView with the screen's own size.
  void centerPluginView();
  // Fits the editor at 4:3 into W x H: W < H gives the width H / 0.75 centred horizontally,
  // otherwise the height W * 0.75 centred vertically. Needs `audioUnitViewController`.
  void resetPluginView(CGFloat w, CGFloat h);
  void openFilePicker();
  void alertMessage(const std::string& title, const std::string& message);

  void documentPicker(UIDocumentPickerViewController& controller,
                      const std::vector<URL>& didPickDocumentsAt) override;
  void documentPicker(UIDocumentPickerViewController& controller, const URL& didPickDocumentAt) override;
  void documentPickerWasCancelled(UIDocumentPickerViewController& controller) override;

  // ---- life cycle

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void viewDidLayoutSubviews() override;
  bool canPerformAction(std::string_view action, const std::any& sender) override;
  // Prints the segue's identifier and names the help screen's page for "ShowHelp" and "ShowInfo".
  void prepare(UIStoryboardSegue& segue, const std::any& sender) override;

 private:
  // Test-only entry points (ViewControllerTesting.h, built into kov_app_main_screen_testing) reach
  // the effect manager through this.
  friend struct ViewControllerTesting;

  std::shared_ptr<ViewController> self();
  void getDirectories();
  // Adds `controller`'s view to `pluginView` as a child, pinned to its edges (embedding steps).
  void embed(const std::shared_ptr<UIViewController>& controller);
  std::shared_ptr<UIView> audioUnitView() const;

  std::shared_ptr<AUExtensionManager> audioUnitManager;
  std::string documentsPath;
  std::string sharedPath;  // never set
  std::string resourcesPath;
  std::shared_ptr<UIViewController> audioUnitViewController;  // read by resetPluginView; never set
  std::shared_ptr<AVAudioUnit> avAudioUnit;                   // neither read nor set
};
