// The editor controller's construction, teardown, factory, binding to the unit and the parameter
// observer. The other parts of the controller live in AudioUnitViewController*.cpp.
#include "AudioUnitViewController.h"

#include <limits>
#include <utility>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/Print.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "ParameterTreeDump.h"

AudioUnitViewController::AudioUnitViewController() = default;

AudioUnitViewController::AudioUnitViewController(std::optional<std::string> nibName, const Bundle* bundle)
    : AUViewController(std::move(nibName), bundle) {}

AudioUnitViewController::AudioUnitViewController(const NSCoder& coder) : AUViewController(coder) {}

AudioUnitViewController::~AudioUnitViewController() {
  if (timer)
    timer->invalidate();
  removeParameterObserver();
  if (longPressGesture)  // the view, and the recogniser with it, may outlive the controller
    longPressGesture->setDelegate(nullptr);
}

std::shared_ptr<AudioUnitViewController> AudioUnitViewController::self() {
  return std::static_pointer_cast<AudioUnitViewController>(shared_from_this());
}

std::weak_ptr<AudioUnitViewController> AudioUnitViewController::weakSelf() {
  return self();
}

std::shared_ptr<AUAudioUnitFactory> makePrincipalClass() {
  return std::make_shared<AudioUnitViewController>();
}

// ---- factory

std::shared_ptr<AUAudioUnit> AudioUnitViewController::createAudioUnit(const AudioComponentDescription& with) {
  // A throwing initialiser leaves `audioUnit` as it was and queues no binding.
  auto unit = std::make_shared<Unit>(with, AudioComponentInstantiationOptions{0});
  setAudioUnit(unit);
  return audioUnit();
}

void AudioUnitViewController::setAudioUnit(std::shared_ptr<Unit> unit) {
  audioUnit_.store(std::move(unit));
  print("AU Diagnostics: AUAudioUnit::didSet()");
  // The block keeps the controller alive until it has run, so a binding is never lost.
  DispatchQueue::main().async([strong = self()] { strong->runBindingBlock(); });
}

// ---- binding [main]

void AudioUnitViewController::runBindingBlock() {
  if (!isViewLoaded()) {
    print("AU Diagnostics: WARNING: Plugin view is not loaded.");
    bindingAwaitsView_ = true;
    return;
  }
  bindingAwaitsView_ = false;
  bind();
}

void AudioUnitViewController::bind() {
  print("AU Diagnostics: We are about to connect the audio unit to its view controller.");
  mainView->setViewController(self());
  setPaths();
  connectParameters();
  updateView();
}

void AudioUnitViewController::setPaths() {
  if (!audioUnit()) {
    print("Error: could not set paths, audio unit is nil.");
    return;
  }
  if (const auto documents = documentsFolder()) {
    print("Audio Unit's documents path is: " + documents->path());
  } else {
    print("Error: could not set paths, there is no documents folder.");
  }
  if (const auto resources = Bundle::main().resourceURL()) {
    print("Audio Unit's resources path is: " + resources->path());
  } else {
    print("Error: could not set paths, the bundle has no resources folder.");
  }
}

std::optional<URL> AudioUnitViewController::documentsFolder() {
  const auto dataHomes = FileManager::defaultManager().urls(SearchPathDirectory::applicationSupportDirectory,
                                                            SearchPathDomainMask::userDomainMask);
  if (dataHomes.empty())
    return std::nullopt;
  return dataHomes.front().appendingPathComponent("KOV Compressor Extension/Documents/");
}

void AudioUnitViewController::extractParameters(const std::string& name,
                                                const std::shared_ptr<AUParameterGroup>& tree, int level) {
  ParameterTreeDump::extractParameters(name, tree, level);
}

void AudioUnitViewController::connectParameters() {
  const auto unit = audioUnit();
  if (!unit) {
    print("AU Diagnostics: WARNING: The audio unit is nil.");
    return;
  }
  print("AU Diagnostics: Retriving parameters from the audio unit: ");
  parameterTree = unit->parameterTree();
  if (!parameterTree) {
    print("AU Diagnostics: Retriving the parameter tree from the audio unit failed.");
    return;
  }
  print("ExtensionViewController: Extracting at the parameter tree: ");
  extractParameters("parameterTree", parameterTree, 0);
  parameters = parameterTree->allParameters();

  // One observer per controller: a later binding takes the earlier one away, so that no change
  // reaches the panel twice.
  removeParameterObserver();
  parameterObserverToken = parameterTree->tokenByAddingParameterObserver(
      [weak = weakSelf()](AUParameterAddress address, AUValue value) {
        // [any] Only a strong reference and one queued block here; the panel is touched on main.
        auto strong = weak.lock();
        if (!strong) {
          print("AU Diagnostics: The strong self shit is nil.");
          return;
        }
        DispatchQueue::main().async([strong = std::move(strong), address, value] {
          // Tree addresses are small; one that no int holds cannot name a panel control.
          if (address > static_cast<AUParameterAddress>(std::numeric_limits<int>::max()))
            return;
          strong->mainView->setParameter(static_cast<int>(address), value);
        });
      });
  if (parameterObserverToken != nullptr)
    observedTree_ = parameterTree;
  if (parameterObserverToken == nullptr) {
    print("ERROR: Could not initialize parameter observer.");
  } else {
    print("AU Diagnostics: Connected parameters to the plugins interface.");
  }
}

void AudioUnitViewController::removeParameterObserver() {
  if (observedTree_ && parameterObserverToken != nullptr)
    observedTree_->removeParameterObserver(parameterObserverToken);
  observedTree_.reset();
  parameterObserverToken = nullptr;
}

// ---- the panel's delegate [main]

void AudioUnitViewController::onKOVCompressorViewParameter(int address, float value) {
  if (const auto unit = audioUnit())
    unit->setParameter(static_cast<std::int32_t>(address), value);
}

void AudioUnitViewController::onKOVCompressorViewOption(int /*address*/, float /*value*/) {}
