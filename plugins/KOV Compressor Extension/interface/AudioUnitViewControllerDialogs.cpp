// The editor's dialogs (file-name prompt, message, yes/no question), the document picker and its
// delegate methods, the segue hook, and parameter access by address. [main]
#include <cmath>
#include <string_view>

#include "AudioUnitViewController.h"
#include "Foundation/FileManager.h"
#include "Foundation/Print.h"
#include "UIKit/UIAlertController.h"
#include "UIKit/UIStoryboardSegue.h"

namespace {

constexpr std::string_view kFileNamePrompt = "Please enter the file name for the current file: ";
constexpr std::string_view kFileExistsPrompt = "The file already exists. Please type in another file name: ";

// A name that stays one entry inside the documents folder: not empty, no "/", no NUL, and
// neither "." nor "..".
bool isPlainFileName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != "..";
}

void printAnswerTo(const std::string& reason, const char* line) {
  // The reasons known ("" and "load preset") start no action yet.
  (void)reason;
  print(line);
}

}  // namespace

// ---- file-name prompt

void AudioUnitViewController::alertFileName(const std::string& forContext, const std::string& defaultName) {
  presentFileNameAlert(std::string(kFileNamePrompt), forContext, defaultName);
}

void AudioUnitViewController::alertFileName2(const std::string& forContext, const std::string& defaultName) {
  presentFileNameAlert(std::string(kFileExistsPrompt), forContext, defaultName);
}

void AudioUnitViewController::presentFileNameAlert(const std::string& message, const std::string& forContext,
                                                   const std::string& defaultName) {
  auto alert = std::make_shared<UIAlertController>("File name", message, UIAlertControllerStyle::alert);
  std::weak_ptr<UIAlertController> weakAlert = alert;
  auto ok = std::make_shared<UIAlertAction>(
      "OK", UIAlertActionStyle::default_,
      [weak = weakSelf(), weakAlert, forContext, defaultName](UIAlertAction&) {
        const auto controller = weak.lock();
        const auto shown = weakAlert.lock();
        if (!controller || !shown)
          return;
        std::string name = shown->textFields().front()->text();
        if (name.empty())
          name = defaultName;
        if (!isPlainFileName(name)) {
          controller->alertFileName(forContext, defaultName);
          return;
        }
        const auto folder = documentsFolder();
        if (!folder)
          return;
        const URL url = folder->appendingPathComponent(name);
        if (FileManager::defaultManager().fileExists(url.path())) {
          controller->alertFileName2(forContext, url.lastPathComponent());
        }
      });
  auto cancel = std::make_shared<UIAlertAction>("Cancel", UIAlertActionStyle::cancel,
                                                [](UIAlertAction&) { print("Save action was canceled."); });
  alert->addTextField([&defaultName](UITextField& field) {
    field.setPlaceholder("file name");
    field.setText(defaultName);
  });
  alert->addAction(ok);
  alert->addAction(cancel);
  present(alert, true);
}

// ---- message and question

void AudioUnitViewController::alert(const std::string& caption, const std::string& message,
                                    std::function<void()> completion) {
  print("Alert: " + caption + " : " + message);
  auto alert = std::make_shared<UIAlertController>(caption, message, UIAlertControllerStyle::alert);
  alert->addAction(std::make_shared<UIAlertAction>("OK", UIAlertActionStyle::default_,
                                                   [](UIAlertAction&) { print("Alert was accepted."); }));
  present(alert, true, std::move(completion));
}

void AudioUnitViewController::alertQuestion(const std::string& caption, const std::string& question,
                                            std::function<void()> completion) {
  print("Alert: " + caption + " : " + question);
  auto alert = std::make_shared<UIAlertController>(caption, question, UIAlertControllerStyle::alert);
  const auto weak = weakSelf();
  alert->addAction(
      std::make_shared<UIAlertAction>("Yes", UIAlertActionStyle::default_, [weak](UIAlertAction&) {
        if (const auto controller = weak.lock())
          printAnswerTo(controller->reasonForQuestion, "Answer was YES.");
      }));
  alert->addAction(std::make_shared<UIAlertAction>("No", UIAlertActionStyle::cancel, [weak](UIAlertAction&) {
    if (const auto controller = weak.lock())
      printAnswerTo(controller->reasonForQuestion, "Answer was NO.");
  }));
  present(alert, true, std::move(completion));
}

// ---- document picker

void AudioUnitViewController::openFilePicker() {
  auto picker = std::make_shared<UIDocumentPickerViewController>(std::vector<std::string>{"public.data"},
                                                                 UIDocumentPickerMode::import);
  picker->setDelegate(std::static_pointer_cast<UIDocumentPickerDelegate>(self()));
  picker->setAllowsMultipleSelection(true);
  present(picker, true, [] {});
}

void AudioUnitViewController::documentPicker(UIDocumentPickerViewController& controller,
                                             const URL& didPickDocumentAt) {
  print("documentPicker: " + didPickDocumentAt.description());
  documentPicker(controller, std::vector<URL>{didPickDocumentAt});
}

void AudioUnitViewController::documentPicker(UIDocumentPickerViewController& /*controller*/,
                                             const std::vector<URL>& didPickDocumentsAt) {
  print("documentPicker: " + describe(didPickDocumentsAt));
  (void)reasonForImport;  // no import action follows for any reason yet
}

void AudioUnitViewController::documentPickerWasCancelled(UIDocumentPickerViewController& /*controller*/) {
  print("The document picker was canceled.");
}

void AudioUnitViewController::prepare(UIStoryboardSegue& segue, const std::any& /*sender*/) {
  if (segue.identifier())
    print(*segue.identifier());
}

// ---- parameter access by address

namespace {
void printUnavailable(std::int64_t address) {
  print("AudioUnitViewController: ERROR: The parameter address " + std::to_string(address) +
        " is not available.");
}
}  // namespace

void AudioUnitViewController::setParameter(std::int64_t address, float value) {
  // A negative address names no parameter (it would wrap to a huge unsigned one).
  const auto parameter = (parameterTree && address >= 0)
                             ? parameterTree->parameterWithAddress(AUParameterAddress(address))
                             : nullptr;
  if (!parameter) {
    printUnavailable(address);
    return;
  }
  if (std::isnan(value))
    return;  // never store a NaN in the tree
  parameter->setValue(value);
}

float AudioUnitViewController::getParameter(std::int64_t address) {
  if (!parameterTree)
    return 0.0f;
  const auto parameter =
      address >= 0 ? parameterTree->parameterWithAddress(AUParameterAddress(address)) : nullptr;
  if (!parameter) {
    printUnavailable(address);
    return 0.0f;
  }
  return parameter->value();
}
