#pragma once
// Qt's file dialogs and printer behind the seams of platform/Dialogs.h.
#include <QPainter>
#include <QString>
#include <memory>

#include "platform/Dialogs.h"

class QPrinter;

namespace zarvo {

class QtFileDialogs final : public FileDialogs {
 public:
  std::vector<std::string> OpenFiles(const std::string& folder, const std::string& fileName,
                                     bool defaultExtension) override;
  std::optional<SaveChoice> SaveFile(const std::string& folder,
                                     const std::string& fileName) override;
  std::optional<std::string> OpenFile(const std::string& folder,
                                      const std::vector<std::string>& filters) override;
};

class QtPrintTarget final : public PrintTarget {
 public:
  QtPrintTarget();
  ~QtPrintTarget() override;
  // Prints into a PDF file without asking, for tests and for machines without a printer.
  void PrintToFile(const QString& path);

  bool Choose() override;
  int PageWidth() override;
  int PageHeight() override;
  void Begin(const std::string& title) override;
  void StretchPicture(const Bitmap& picture, int width, int height) override;
  void Text(int x, int y, int points, const std::string& text) override;
  void End() override;

 private:
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  QString toFile_;
};

}  // namespace zarvo
