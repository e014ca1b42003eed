#pragma once
// File dialogs that answer with prepared choices, and a printer that records its document.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/PlatformError.h"

namespace zarvo::test {

struct DialogCall {
  std::string Folder;
  std::string FileName;
  bool DefaultExtension = false;
};

class FakeFileDialogs final : public FileDialogs {
 public:
  FakeFileDialogs() { SetFileDialogs(this); }
  ~FakeFileDialogs() override { SetFileDialogs(nullptr); }

  std::vector<std::string> OpenFiles(const std::string& folder, const std::string& fileName,
                                     bool defaultExtension) override {
    Opens.push_back({folder, fileName, defaultExtension});
    if (WhileOpen) WhileOpen();
    return OpenAnswer;
  }
  std::optional<SaveChoice> SaveFile(const std::string& folder,
                                     const std::string& fileName) override {
    Saves.push_back({folder, fileName, true});
    if (WhileOpen) WhileOpen();
    return SaveAnswer ? std::optional(SaveChoice{*SaveAnswer, SaveFilter}) : std::nullopt;
  }
  std::optional<std::string> OpenFile(const std::string& folder,
                                      const std::vector<std::string>&) override {
    Opens.push_back({folder, {}, false});
    if (WhileOpen) WhileOpen();
    return OpenAnswer.empty() ? std::nullopt : std::optional(OpenAnswer.front());
  }

  std::vector<std::string> OpenAnswer;  // empty: Cancel
  std::optional<std::string> SaveAnswer;
  PictureFormat SaveFilter = PictureFormat::Bmp;
  std::vector<DialogCall> Opens;
  std::vector<DialogCall> Saves;
  // Runs while a dialog is "open", before it answers: the window tests let the event loop run
  // here, as it does while a real dialog waits for the user.
  std::function<void()> WhileOpen;
};

class FakePrinter final : public PrintTarget {
 public:
  FakePrinter() { SetPrintTarget(this); }
  ~FakePrinter() override { SetPrintTarget(nullptr); }

  bool Choose() override { return Calls.push_back("choose"), Accept; }
  int PageWidth() override { return Width; }
  int PageHeight() override { return Height; }
  void Begin(const std::string& title) override { Calls.push_back("begin " + title); }
  void StretchPicture(const Bitmap& picture, int width, int height) override {
    Calls.push_back("picture " + Size(picture.Width(), picture.Height()) + " into " +
                    Size(width, height));
  }
  void Text(int x, int y, int points, const std::string& text) override {
    Calls.push_back("text " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(points) + "pt " + text);
  }
  void End() override { Calls.push_back("end"); }

  static std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

  bool Accept = true;
  int Width = 4500;
  int Height = 6000;
  std::vector<std::string> Calls;
};

}  // namespace zarvo::test
