#include "platform/Messages.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zarvo {
namespace {

class StderrBoxes final : public MessageBoxes {
 public:
  void Show(MessageIcon, const std::string& title, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  bool Ask(const std::string& title, const std::string& text) override {
    Show(MessageIcon::Question, title, text);
    return false;
  }
  bool Confirm(const std::string& title, const std::string& text) override {
    Show(MessageIcon::Error, title, text);
    return false;
  }
  void CloseMain() override {}
};

StderrBoxes fallbackBoxes;
MessageBoxes* boxes = &fallbackBoxes;

// Set while an error box is open; a second error meanwhile is dropped.
bool errorShowing = false;
// Set by the first fatal report and never cleared within a run.
bool fatalShown = false;

// The whole formatted text; callers cut it to the limit for display.
std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

std::string Cut(std::string text) {
  if (text.size() > kMessageLimit) text.resize(kMessageLimit);
  return text;
}

}  // namespace

void SetMessageBoxes(MessageBoxes* newBoxes) {
  boxes = newBoxes ? newBoxes : &fallbackBoxes;
}

void ReportError(const char* format, ...) {
  const int systemError = errno;  // before formatting can change it
  if (errorShowing) return;
  errorShowing = true;
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  // The system's text for the last error only counts towards the limit; the box shows the
  // message alone, because errno is rarely about what went wrong by the time we get here.
  std::string composed = message + ".";
  if (systemError != 0) composed += std::string("\n\nSystem: ") + std::strerror(systemError);
  if (composed.size() > kMessageLimit) ReportFatal("ReportNote: Text too long");
  boxes->Show(MessageIcon::Error, kProgramTitle, Cut(message));
  errorShowing = false;
}

void ReportNote(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  if (message.size() > kMessageLimit) ReportFatal("ReportNote: Text too long");
  boxes->Show(MessageIcon::Information, kProgramTitle, Cut(message));
}

bool ReportQuestion(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  if (message.size() > kMessageLimit) ReportFatal("ReportNote: Text too long");
  return boxes->Ask(kProgramTitle, Cut(message));
}

void ReportFatal(const char* text) {
  if (fatalShown) return;
  fatalShown = true;
  boxes->Show(MessageIcon::Error, kFatalTitle,
              std::string(text ? text : "") + "\n\nZarvo Meteo will now shutdown...");
  boxes->CloseMain();
}

void ShowExceptionReport(const char* what) {
  std::string text = (what && *what) ? what : "Unknown error";
  if (text.back() != '.') text += '.';
  boxes->Show(MessageIcon::Error, kProgramTitle, text);
}

bool PromptOkCancel(const std::string& text) {
  return boxes->Confirm("", text);
}
bool AskYesNoUntitled(const std::string& text) {
  return boxes->Ask("", text);
}

bool FatalReported() {
  return fatalShown;
}

void ResetMessageState() {
  errorShowing = false;
  fatalShown = false;
}

}  // namespace zarvo
