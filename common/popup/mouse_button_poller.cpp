#include "common/popup/mouse_button_poller.h"

#include <FL/x.H>

#include "common/callback_list.h"
#include "common/name_registry.h"
#include "common/platform/mouse_buttons.h"
#include "common/popup/popup_tool_window.h"

EventToolRegistration::EventToolRegistration(CallbackList& list) : list_(list) {
  NameRegistry::instance().add(PopupToolWindow::kEventToolName, &list_);
}

EventToolRegistration::~EventToolRegistration() {
  NameRegistry::instance().remove(PopupToolWindow::kEventToolName, &list_);
}

MouseButtonPoller::MouseButtonPoller() : pressed_(anyMouseButtonDown(fl_display)) {}

bool MouseButtonPoller::poll() {
  const bool now = anyMouseButtonDown(fl_display);
  if (now == pressed_) return false;
  pressed_ = now;
  auto* list =
      static_cast<CallbackList*>(NameRegistry::instance().find(PopupToolWindow::kEventToolName));
  if (list != nullptr) list->fire(now ? 1 : 0);
  return true;
}

void MouseButtonPoller::resync() {
  pressed_ = anyMouseButtonDown(fl_display);
}
