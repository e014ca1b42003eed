#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>

#include "platform/PlatformError.h"
#include "platform/QtPictures.h"

namespace zarvo {
namespace {

const QString kBmpFilter = QStringLiteral("bmp (*.bmp)");
const QString kPngFilter = QStringLiteral("png (*.png)");
// What the viewer reads: its own BMP and PNG readers, and Qt's image readers for the rest.
const QStringList kOpenFilters = {
    QStringLiteral("Pictures (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.gif)"),
    kBmpFilter,
    kPngFilter,
    QStringLiteral("JPEG (*.jpg *.jpeg)"),
    QStringLiteral("TIFF (*.tif *.tiff)"),
    QStringLiteral("GIF (*.gif)"),
    QStringLiteral("All files (*)")};

// The dialog starts in `folder` with the last chosen name in its name field.
void Prepare(QFileDialog& dialog, const QStringList& filters, const std::string& folder,
             const std::string& fileName) {
  dialog.setNameFilters(filters);
  if (!folder.empty()) dialog.setDirectory(QString::fromStdString(folder));
  if (!fileName.empty()) dialog.selectFile(QString::fromStdString(fileName));
}

}  // namespace

std::vector<std::string> QtFileDialogs::OpenFiles(const std::string& folder,
                                                  const std::string& fileName,
                                                  bool defaultExtension) {
  QFileDialog dialog(QApplication::activeWindow());
  Prepare(dialog, kOpenFilters, folder, fileName);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  if (defaultExtension) dialog.setDefaultSuffix(QStringLiteral("bmp"));
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& file : dialog.selectedFiles()) files.push_back(file.toStdString());
  return files;
}

std::optional<SaveChoice> QtFileDialogs::SaveFile(const std::string& folder,
                                                  const std::string& fileName) {
  QFileDialog dialog(QApplication::activeWindow());
  Prepare(dialog, {kBmpFilter, kPngFilter}, folder, fileName);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A name typed without extension gets the extension of the filter shown.
  dialog.setDefaultSuffix(QStringLiteral("bmp"));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    dialog.setDefaultSuffix(f == kPngFilter ? QStringLiteral("png") : QStringLiteral("bmp"));
  });
  // Qt's dialog asks before an existing file is replaced.
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return SaveChoice{
      dialog.selectedFiles().front().toStdString(),
      dialog.selectedNameFilter() == kPngFilter ? PictureFormat::Png : PictureFormat::Bmp};
}

std::optional<std::string> QtFileDialogs::OpenFile(const std::string& folder,
                                                   const std::vector<std::string>& filters) {
  QFileDialog dialog(QApplication::activeWindow());
  QStringList names;
  for (const std::string& filter : filters) names << QString::fromStdString(filter);
  dialog.setNameFilters(names);
  if (!folder.empty()) dialog.setDirectory(QString::fromStdString(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

QtPrintTarget::QtPrintTarget() = default;
QtPrintTarget::~QtPrintTarget() {
  if (painter_.isActive()) painter_.end();
}

void QtPrintTarget::PrintToFile(const QString& path) {
  toFile_ = path;
}

bool QtPrintTarget::Choose() {
  if (painter_.isActive()) painter_.end();  // a document cut short by a failure
  // One printer for the run: the printer, orientation and file the user chose last time are
  // what the next print dialog offers.
  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (!toFile_.isEmpty()) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(toFile_);
    return true;
  }
  QPrintDialog dialog(printer_.get(), QApplication::activeWindow());
  return dialog.exec() == QDialog::Accepted;
}

int QtPrintTarget::PageWidth() {
  return printer_ ? printer_->pageLayout().paintRectPixels(printer_->resolution()).width() : 0;
}

int QtPrintTarget::PageHeight() {
  return printer_ ? printer_->pageLayout().paintRectPixels(printer_->resolution()).height() : 0;
}

void QtPrintTarget::Begin(const std::string& title) {
  if (!printer_) throw PlatformError("Printer selected is not valid");
  printer_->setDocName(QString::fromStdString(title));
  if (!painter_.begin(printer_.get())) throw PlatformError("Printer selected is not valid");
}

void QtPrintTarget::StretchPicture(const Bitmap& picture, int width, int height) {
  if (!painter_.isActive()) return;
  painter_.drawImage(QRect(0, 0, width, height), BitmapImage(picture));
}

void QtPrintTarget::Text(int x, int y, int points, const std::string& text) {
  if (!painter_.isActive()) return;
  QFont font = painter_.font();
  font.setPointSize(points);
  painter_.setFont(font);
  painter_.setPen(Qt::black);
  painter_.drawText(QRect(x, y, PageWidth(), PageHeight()), Qt::AlignLeft | Qt::AlignTop,
                    QString::fromStdString(text));
}

void QtPrintTarget::End() {
  if (!painter_.isActive()) return;
  if (!painter_.end()) throw PlatformError("Printer selected is not valid");
}

}  // namespace zarvo
