#pragma once
#include <functional>

#include "platform/Messages.h"

namespace zarvo {

// The message helpers' boxes as Qt message boxes, owned by the application.
class QtMessageBoxes final : public MessageBoxes {
 public:
  explicit QtMessageBoxes(std::function<void()> closeMain) : closeMain_(std::move(closeMain)) {}
  void Show(MessageIcon icon, const std::string& title, const std::string& text) override;
  bool Ask(const std::string& title, const std::string& text) override;
  bool Confirm(const std::string& title, const std::string& text) override;
  void CloseMain() override { closeMain_(); }

 private:
  std::function<void()> closeMain_;
};

}  // namespace zarvo
