// The editor's root view: pinned subviews as any view keeps them, and the overlay centred.
#include "EditorRootView.h"

std::shared_ptr<EditorRootView> EditorRootView::make(CGRect frame) {
  return std::shared_ptr<EditorRootView>(new EditorRootView(frame));
}

void EditorRootView::layoutSubviews() {
  UIView::layoutSubviews();
  // The centre, not the frame: the overlay's scale transform applies about its centre.
  if (const auto view = centred.lock())
    view->setCenter({bounds().midX(), bounds().midY()});
}
