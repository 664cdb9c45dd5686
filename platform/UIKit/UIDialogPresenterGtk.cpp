#include "UIKit/internal/UIDialogPresenterGtk.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "UIKit/UIAlertController.h"
#include "UIKit/UIDocumentPickerViewController.h"

namespace {

// The window a dialog belongs to: the active top-level window, else any visible one.
GtkWindow* parentWindow() {
  GList* windows = gtk_window_list_toplevels();
  GtkWindow* parent = nullptr;
  for (GList* w = windows; w; w = w->next) {
    auto* window = GTK_WINDOW(w->data);
    if (!gtk_widget_get_visible(GTK_WIDGET(window)) || GTK_IS_DIALOG(window))
      continue;
    if (gtk_window_is_active(window)) {
      parent = window;
      break;
    }
    if (!parent)
      parent = window;
  }
  g_list_free(windows);
  return parent;
}

// What a dialog's signal handlers need; freed with the dialog.
struct AlertDialog {
  std::weak_ptr<UIAlertController> alert;
  std::vector<GtkWidget*> entries;
};

struct PickerDialog {
  std::weak_ptr<UIDocumentPickerViewController> picker;
};

void alertResponse(GtkDialog*, gint response, gpointer data) {
  auto* context = static_cast<AlertDialog*>(data);
  auto alert = context->alert.lock();
  if (!alert)
    return;
  // What was typed goes back into the fields before any handler reads them.
  const auto& fields = alert->textFields();
  for (std::size_t i = 0; i < fields.size() && i < context->entries.size(); ++i) {
    fields[i]->setText(std::string(gtk_entry_get_text(GTK_ENTRY(context->entries[i]))));
  }
  if (response >= 0) {
    alert->press(static_cast<std::size_t>(response));
  } else if (auto cancel = alert->cancelAction()) {
    alert->press(cancel);
  } else {
    alert->dismiss(false);  // closed without an answer
  }
}

void pickerResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
  auto picker = static_cast<PickerDialog*>(data)->picker.lock();
  if (!picker)
    return;
  if (response != GTK_RESPONSE_ACCEPT) {
    picker->cancel();
    return;
  }
  std::vector<URL> urls;
  GSList* files = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(dialog));
  for (GSList* f = files; f; f = f->next) {
    if (char* path = g_file_get_path(G_FILE(f->data))) {
      urls.push_back(URL::fileURLWithPath(path, picker->picksFolders()));
      g_free(path);
    }
  }
  g_slist_free_full(files, g_object_unref);
  picker->pick(std::move(urls));
}

}  // namespace

UIDialogPresenterGtk::~UIDialogPresenterGtk() {
  for (auto& [alert, dialog] : dialogs_)
    gtk_widget_destroy(dialog);
  for (auto& [picker, chooser] : choosers_)
    g_object_unref(chooser);
}

void UIDialogPresenterGtk::showAlert(const std::shared_ptr<UIAlertController>& alert) {
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), alert->title().value_or("").c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  if (GtkWindow* parent = parentWindow())
    gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);

  GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(content), 12);
  gtk_box_set_spacing(GTK_BOX(content), 8);
  if (alert->title()) {
    GtkWidget* title = gtk_label_new(nullptr);
    char* markup = g_markup_printf_escaped("<b>%s</b>", alert->title()->c_str());
    gtk_label_set_markup(GTK_LABEL(title), markup);
    g_free(markup);
    gtk_box_pack_start(GTK_BOX(content), title, FALSE, FALSE, 0);
  }
  if (alert->message()) {
    GtkWidget* message = gtk_label_new(alert->message()->c_str());
    gtk_label_set_line_wrap(GTK_LABEL(message), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(message), 48);
    gtk_box_pack_start(GTK_BOX(content), message, FALSE, FALSE, 0);
  }

  auto* context = new AlertDialog{alert, {}};
  for (const auto& field : alert->textFields()) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), field->text().c_str());
    if (field->placeholder())
      gtk_entry_set_placeholder_text(GTK_ENTRY(entry), field->placeholder()->c_str());
    gtk_entry_set_visibility(GTK_ENTRY(entry), !field->isSecureTextEntry());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_box_pack_start(GTK_BOX(content), entry, FALSE, FALSE, 0);
    context->entries.push_back(entry);
  }

  const auto& actions = alert->actions();
  std::shared_ptr<UIAlertAction> preferred = alert->preferredAction();
  for (std::size_t i = 0; i < actions.size(); ++i) {
    GtkWidget* button = gtk_dialog_add_button(GTK_DIALOG(dialog), actions[i]->title().value_or("").c_str(),
                                              static_cast<gint>(i));
    gtk_widget_set_sensitive(button, actions[i]->isEnabled());
    if (!preferred && actions[i]->style() == UIAlertActionStyle::default_)
      preferred = actions[i];
    if (actions[i] == preferred)
      gtk_dialog_set_default_response(GTK_DIALOG(dialog), static_cast<gint>(i));
  }

  g_signal_connect_data(
      dialog, "response", G_CALLBACK(alertResponse), context,
      [](gpointer data, GClosure*) { delete static_cast<AlertDialog*>(data); }, GConnectFlags(0));
  dialogs_[alert.get()] = dialog;
  gtk_widget_show_all(dialog);
}

void UIDialogPresenterGtk::closeAlert(const UIAlertController& alert) {
  auto found = dialogs_.find(&alert);
  if (found == dialogs_.end())
    return;
  GtkWidget* dialog = found->second;
  dialogs_.erase(found);
  gtk_widget_destroy(dialog);
}

void UIDialogPresenterGtk::showDocumentPicker(const std::shared_ptr<UIDocumentPickerViewController>& picker) {
  const bool folders = picker->picksFolders();
  GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
      folders ? "Choose a Folder" : "Choose Documents", parentWindow(),
      folders ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", "_Cancel");
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), picker->allowsMultipleSelection());
  if (const auto& directory = picker->directoryURL()) {
    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), directory->path().c_str());
  }
  g_signal_connect_data(
      chooser, "response", G_CALLBACK(pickerResponse), new PickerDialog{picker},
      [](gpointer data, GClosure*) { delete static_cast<PickerDialog*>(data); }, GConnectFlags(0));
  choosers_[picker.get()] = chooser;
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

void UIDialogPresenterGtk::closeDocumentPicker(const UIDocumentPickerViewController& picker) {
  auto found = choosers_.find(&picker);
  if (found == choosers_.end())
    return;
  GtkFileChooserNative* chooser = found->second;
  choosers_.erase(found);
  // Closed from its own response handler, the chooser must outlive the signal emission.
  gtk_native_dialog_hide(GTK_NATIVE_DIALOG(chooser));
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer data) -> gboolean {
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(data));
        g_object_unref(data);
        return G_SOURCE_REMOVE;
      },
      chooser, nullptr);
}
