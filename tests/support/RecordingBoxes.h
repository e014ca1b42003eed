#pragma once
// Message boxes that record what they were asked to show and answer at once. Each recorder
// starts a new run's message state: no error box open, no fatal report shown.
#include <functional>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace zarvo::test {

struct ShownBox {
  MessageIcon Icon;
  std::string Title;
  std::string Text;
};

class RecordingBoxes final : public MessageBoxes {
 public:
  RecordingBoxes() {
    ResetMessageState();
    SetMessageBoxes(this);
  }
  ~RecordingBoxes() override { SetMessageBoxes(nullptr); }

  void Show(MessageIcon icon, const std::string& title, const std::string& text) override {
    Shown.push_back({icon, title, text});
    if (WhileOpen) WhileOpen(Shown.back());
  }
  bool Ask(const std::string& title, const std::string& text) override {
    Shown.push_back({MessageIcon::Question, title, text});
    return Answer;
  }
  bool Confirm(const std::string& title, const std::string& text) override {
    Shown.push_back({MessageIcon::Information, title, text});
    Prompts.push_back(text);
    if (OnPrompt) OnPrompt(text);
    return true;
  }
  void CloseMain() override {
    ++CloseCount;
    if (OnClose) OnClose();
  }

  // The text of each box, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : Shown) texts.push_back(box.Text);
    return texts;
  }

  std::vector<ShownBox> Shown;
  bool Answer = true;
  std::vector<std::string> Prompts;
  std::function<void(const std::string&)> OnPrompt;
  int CloseCount = 0;
  // Runs while a box is "open", as events do while a real box waits for the user.
  std::function<void(const ShownBox&)> WhileOpen;
  std::function<void()> OnClose;
};

}  // namespace zarvo::test
