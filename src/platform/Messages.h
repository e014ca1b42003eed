#pragma once
// The four message helpers through which every failure, note and question reaches the user,
// and the box seam behind them (Qt boxes in the program, a recorder in the tests).
#include <string>

namespace zarvo {

enum class MessageIcon { Error, Information, Question };

// The platform's modal boxes. Show and Ask return when the user has closed the box.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(MessageIcon icon, const std::string& title, const std::string& text) = 0;
  // A Yes/No question; true when the user chose Yes.
  virtual bool Ask(const std::string& title, const std::string& text) = 0;
  // A prompt with the exclamation icon and OK and Cancel; true when the user chose OK.
  virtual bool Confirm(const std::string& title, const std::string& text) = 0;
  // Ends the run: closes the application's main window.
  virtual void CloseMain() = 0;
};

// Installs the boxes used by the helpers; nullptr restores the fallback, which writes the texts
// to stderr, answers questions with No and closes nothing.
void SetMessageBoxes(MessageBoxes* boxes);

inline constexpr const char* kProgramTitle = "Zarvo Meteo";
inline constexpr const char* kFatalTitle = "Zarvo Meteo fatal error message";
inline constexpr std::size_t kMessageLimit = 1000;

// printf-style error box. Dropped while another error box is open.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style information box.
void ReportNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
// printf-style Yes/No box; true when the user chose Yes.
bool ReportQuestion(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Shows the first fatal report of a run, then closes the main window. Returns to the caller,
// which stops what failed; the program ends when control is back in the message loop.
void ReportFatal(const char* text);

// The calibration's own boxes, with an empty title: an OK/Cancel prompt and a Yes/No question.
bool PromptOkCancel(const std::string& text);
bool AskYesNoUntitled(const std::string& text);

// The application's standard report of an exception that reached the event loop.
void ShowExceptionReport(const char* what);

// True once a fatal report has been shown in this run.
bool FatalReported();
// Clears both flags for a new run (the program runs once; tests run it many times).
void ResetMessageState();

}  // namespace zarvo
