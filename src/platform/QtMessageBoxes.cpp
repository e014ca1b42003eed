#include "platform/QtMessageBoxes.h"

#include <QMessageBox>

namespace zarvo {

void QtMessageBoxes::Show(MessageIcon icon, const std::string& title, const std::string& text) {
  const QMessageBox::Icon qtIcon = icon == MessageIcon::Error         ? QMessageBox::Critical
                                   : icon == MessageIcon::Information ? QMessageBox::Information
                                                                      : QMessageBox::Question;
  QMessageBox box(qtIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.exec();
}

bool QtMessageBoxes::Ask(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtMessageBoxes::Confirm(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok | QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace zarvo
