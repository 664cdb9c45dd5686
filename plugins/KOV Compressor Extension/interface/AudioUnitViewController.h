// The effect's editor controller and the extension's principal class: the factory that creates
// the audio unit, the owner of the editor's views, and the binding between the compressor panel
// and the unit's parameter tree in both directions (panel edits go to the unit; every change of
// a tree value, the host's included, comes back to the panel). It also polls the four meters 25
// times a second into the gauge, places the panel in whatever size the host gives, lets the user
// move, zoom and re-tint it, and offers an info overlay, alerts, a document picker and parameter
// access by address.
//
// Binding. Each assignment of `audioUnit` prints a line and queues one binding block on the main
// queue. The block binds (panel, paths, parameters, values) when the view is loaded; otherwise it
// prints a warning and the binding happens in viewDidLoad instead, so a unit is bound once,
// when both the block has run and the view is loaded, whichever comes last.
//
// Lifetime. Hold the controller in a std::shared_ptr (makePrincipalClass() or make_shared). The
// meter timer and the parameter observer hold it weakly; the controller invalidates the timer and
// removes its observer when it goes. Queued main-queue blocks hold it until they have run.
//
// Threads: the factory and the `audioUnit` setter may run on any thread [any]; the parameter
// observer runs on whatever thread changes a value and only queues work [any]; everything else
// is [main].
#pragma once

#include <any>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioToolbox/AUParameters.h"
#include "CoreAudioKit/AUViewController.h"
#include "Dispatch/Timer.h"
#include "KOVCompressorView.h"
#include "KOVCompressorViewDelegate.h"
#include "KOVDynamicsDisplayView.h"
#include "PluginFrameEx.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIDocumentPickerViewController.h"
#include "UIKit/UILabel.h"
#include "UIKit/UILongPressGestureRecognizer.h"
#include "UIKit/UIPanGestureRecognizer.h"
#include "UIKit/UIPinchGestureRecognizer.h"
#include "UIKit/UISlider.h"
#include "UIKit/UITapGestureRecognizer.h"

class KOV_Compressor_Extension_AudioUnit;
class UIStoryboardSegue;

class AudioUnitViewController : public AUViewController,
                                public KOVCompressorViewDelegate,
                                public KOVCompressorViewController,
                                public UIDocumentPickerDelegate {
 public:
  using Unit = KOV_Compressor_Extension_AudioUnit;

  // init(nibName: nil, bundle: nil), init(nibName:bundle:), init(coder:): the properties at their
  // initial values; neither the view, the timer nor a unit is made.
  AudioUnitViewController();
  AudioUnitViewController(std::optional<std::string> nibName, const Bundle* bundle);
  explicit AudioUnitViewController(const NSCoder& coder);
  // Invalidates the meter timer and removes the parameter observer.
  ~AudioUnitViewController() override;

  // ---- factory and binding (AudioUnitViewController.cpp)

  // Creates the effect unit for the description (empty options), stores it in `audioUnit` and
  // returns it; the unit's initialiser error is rethrown and `audioUnit` then stays. [any]
  std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& with) override;

  // The unit this controller created (or was given). [any]
  std::shared_ptr<Unit> audioUnit() const { return audioUnit_.load(); }
  // Stores the unit, prints "AU Diagnostics: AUAudioUnit::didSet()" and queues the binding block
  // on the main queue. [any]
  void setAudioUnit(std::shared_ptr<Unit> unit);

  // Copies the unit's tree and its parameters, prints the tree dump and installs the parameter
  // observer (removing this controller's earlier one first).
  virtual void connectParameters();

  // KOVCompressorViewDelegate: a panel edit goes to the unit; options are ignored.
  void onKOVCompressorViewParameter(int address, float value) override;
  void onKOVCompressorViewOption(int address, float value) override;

  // ---- stored properties, initial values as the controller starts
  std::string startFolderForSegue = "KOV Compressor/";
  std::shared_ptr<Timer> timer;
  bool useObservers = true;
  // While true a drag (pan) does not move the panel; the panel sets it while a control is held.
  bool touchesLocked() const override { return touchesLocked_; }
  void setTouchesLocked(bool locked) override { touchesLocked_ = locked; }
  bool isSizeable = true;
  bool lockAutoLayout = false;
  CGRect controlFrame;
  AUParameterObserverToken parameterObserverToken = nullptr;
  std::shared_ptr<AUParameterTree> parameterTree;
  std::vector<std::shared_ptr<AUParameter>> parameters;

  // Outlets, connected by loadView() (the interface built in code).
  std::shared_ptr<PluginFrameEx> pluginFrame;
  std::shared_ptr<UIView> pluginView;
  std::shared_ptr<KOVDynamicsDisplayView> displayView;
  std::shared_ptr<KOVCompressorView> mainView;
  std::shared_ptr<UIView> currentView;  // not an outlet: pluginView once the view has loaded
  std::shared_ptr<UIView> infoView;
  std::shared_ptr<UILabel> infoMessage;
  std::shared_ptr<UIButton> contrastButton;
  std::shared_ptr<UISlider> brightnessSlider;
  std::shared_ptr<UIButton> freezeButton;
  std::shared_ptr<UIPanGestureRecognizer> panGesture;
  std::shared_ptr<UIPinchGestureRecognizer> pinchGesture;
  std::shared_ptr<UITapGestureRecognizer> doubleTapGesture;
  std::shared_ptr<UITapGestureRecognizer> tapGesture;
  std::shared_ptr<UILongPressGestureRecognizer> longPressGesture;

  CGFloat ratio = 0.6640625;  // 340 / 512, the panel's design aspect
  bool fitToHeight = true;
  std::string reasonForQuestion;
  std::string reasonForImport;

  // ---- the interface in code (AudioUnitViewControllerInterface.cpp)

  // Builds the view tree, connects the fifteen outlets and attaches the actions and recognisers.
  void loadView() override;

  // ---- meters and refresh (AudioUnitViewControllerMeters.cpp)

  // Wires the panel to the controller, starts the meter timer, and binds a unit whose binding
  // block found the view unloaded.
  void viewDidLoad() override;
  // Pushes every bound parameter's current value into the panel.
  virtual void updateView();

  // ---- placement and side controls (AudioUnitViewControllerPlacement.cpp)

  // Re-fits the panel unless a gesture holds it (lockAutoLayout).
  void viewDidLayoutSubviews() override;
  virtual void centerpluginView();
  virtual void onContrastButton(UIButton& sender);
  virtual void onBrightnessSlider(UISlider& sender);
  virtual void onFreezeButton(UIButton& sender);

  // ---- gestures (AudioUnitViewControllerGestures.cpp)

  virtual void onPanGesture(UIPanGestureRecognizer& recognizer);
  virtual void onPinchGesture(UIPinchGestureRecognizer& recognizer);
  virtual void onDoubleTapGesture(UITapGestureRecognizer& recognizer);
  virtual void onTapGesture(UITapGestureRecognizer& recognizer);
  virtual void onlongPressGesture(UILongPressGestureRecognizer& recognizer);

  // ---- info overlay (AudioUnitViewControllerInfo.cpp)

  // Shows the message and fades and zooms the overlay in (320 frames) and at once out again (120).
  virtual void showInfo(const std::string& string);
  virtual void hideInfo();

  // ---- dialogs, picker, segues, parameter access (AudioUnitViewControllerDialogs.cpp)

  // The file-name prompt. OK with a name taken in the documents folder asks again ("already
  // exists", pre-filled with the name); a name that is no plain file name (empty, "/", NUL, ".",
  // "..") asks again with the plain prompt and the same default.
  virtual void alertFileName(const std::string& forContext, const std::string& defaultName);
  virtual void alertFileName2(const std::string& forContext, const std::string& defaultName);
  virtual void alert(const std::string& caption, const std::string& message,
                     std::function<void()> completion);
  virtual void alertQuestion(const std::string& caption, const std::string& question,
                             std::function<void()> completion);
  virtual void openFilePicker();
  void documentPicker(UIDocumentPickerViewController& controller, const URL& didPickDocumentAt) override;
  void documentPicker(UIDocumentPickerViewController& controller,
                      const std::vector<URL>& didPickDocumentsAt) override;
  void documentPickerWasCancelled(UIDocumentPickerViewController& controller) override;
  void prepare(UIStoryboardSegue& segue, const std::any& sender) override;
  // Sets / reads the bound tree's parameter at `address`; an address the tree lacks (negative
  // ones included) prints "AudioUnitViewController: ERROR: The parameter address N is not
  // available.". The getter answers 0.0 without a line when nothing is bound; a NaN value is
  // not set.
  virtual void setParameter(std::int64_t address, float value);
  virtual float getParameter(std::int64_t address);

  // The editor's documents folder: "KOV Compressor Extension/Documents" in the user's data folder
  // ($XDG_DATA_HOME), the extension's own container; it need not exist. Absent when the user has
  // no data folder. [any]
  static std::optional<URL> documentsFolder();

 protected:
  // One meter tick; the timer argument is not used.
  virtual void onTimer(Timer& instance);
  virtual bool isViewVisible(const UIView& view) const;
  virtual void resetpluginView(CGFloat w, CGFloat h, CGFloat inset = 0);
  virtual void doTranslationTransform(UIView& view, const CGRect& origin, CGPoint position);
  virtual void doScalingTransform(UIView& view, const CGRect& origin, CGFloat scaling);
  // The parameter-tree dump of the editor's diagnostics, printed while connecting.
  virtual void extractParameters(const std::string& name, const std::shared_ptr<AUParameterGroup>& tree,
                                 int level);

  std::shared_ptr<AudioUnitViewController> self();
  std::weak_ptr<AudioUnitViewController> weakSelf();

 private:
  void runBindingBlock();
  void bind();
  void setPaths();
  void removeParameterObserver();
  void startMeterTimer();
  void presentFileNameAlert(const std::string& message, const std::string& forContext,
                            const std::string& defaultName);

  std::atomic<std::shared_ptr<Unit>> audioUnit_;
  // The tree that holds this controller's observer (parameterTree may have moved on since).
  std::shared_ptr<AUParameterTree> observedTree_;
  bool touchesLocked_ = false;
  // The long press's delegate: a press held on one of the panel's controls belongs to the control.
  std::unique_ptr<UIGestureRecognizerDelegate> longPressRules_;
  // A binding block ran while the view was not loaded: viewDidLoad binds instead.
  bool bindingAwaitsView_ = false;
};

// The extension's principal class, as the module entry hands it to a host: a new controller,
// which is the unit factory. [any]
std::shared_ptr<AUAudioUnitFactory> makePrincipalClass();
