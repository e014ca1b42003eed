// Qt's file dialog and printer behind the seams: the default extension, the overwrite question,
// and a document printed into a file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/QtDialogs.h"
#include "support/TempDir.h"
#include "viewer/PictureCommands.h"

namespace zarvo {
namespace {

// Runs `step` on each modal window as it comes up, until `step` returns false.
void WhileModal(std::function<bool(QWidget*)> step) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, step] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      const bool more = step(modal);
      if (more)
        timer->start(20);
      else
        timer->deleteLater();
    }
  });
  timer->start(20);
}

void Type(QWidget* dialog, const QString& name) {
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  edit->setText(name);
}

TEST(QtFileDialogs, SaveAddsTheExtensionAndAsksBeforeReplacing) {
  test::TempDir dir;
  QtFileDialogs dialogs;
  WhileModal([](QWidget* modal) {
    Type(modal, QStringLiteral("chart"));
    QMetaObject::invokeMethod(modal, "accept");
    return false;
  });
  EXPECT_EQ(dialogs.SaveFile(dir.Path(), ""), dir.File("chart.bmp"));

  // An existing file: the question comes; No keeps the dialog open, Cancel then ends it.
  dir.Write("old.bmp", {'B', 'M'});
  int questions = 0;
  WhileModal([&questions](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      ++questions;
      box->button(QMessageBox::No)->click();
      return true;
    }
    auto* dialog = static_cast<QFileDialog*>(modal);
    if (questions == 0) {
      Type(dialog, QStringLiteral("old.bmp"));
      // Queued: the question it raises is a modal loop of its own.
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
      return true;
    }
    dialog->reject();
    return false;
  });
  EXPECT_FALSE(dialogs.SaveFile(dir.Path(), "").has_value());
  EXPECT_EQ(questions, 1);
}

TEST(QtPrintTarget, PrintsOnePageIntoAFile) {
  test::TempDir dir;
  QtPrintTarget printer;
  printer.PrintToFile(QString::fromStdString(dir.File("page.pdf")));
  Bitmap picture(1810, 2250, 0x808080);
  ASSERT_TRUE(PrintPicture(printer, picture, true));
  QFile pdf(QString::fromStdString(dir.File("page.pdf")));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  const QByteArray bytes = pdf.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
  EXPECT_GT(printer.PageWidth(), 0);
}

}  // namespace
}  // namespace zarvo
