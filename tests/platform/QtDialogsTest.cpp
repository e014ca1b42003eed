// Qt's file dialog and printer behind the seams: the default extension, the PNG filter, the
// overwrite question, the print dialog's choices kept for the run, and a document printed into a
// file.
#include <gtest/gtest.h>

#include <QtWidgets>
#include <functional>

#include "platform/QtDialogs.h"
#include "support/RealInput.h"
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
      step(modal) ? timer->start(20) : timer->deleteLater();
    }
  });
  timer->start(20);
}

// Types over the dialog's name field and presses Return, as the user does, after choosing the
// PNG filter with the arrow key if asked. The field's completer offers the folder's files: Escape
// puts its list away. Queued: what Return raises may be a modal loop of its own.
void TypeAndEnter(QWidget* dialog, const char* field, const QString& name, bool png = false) {
  EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(field));
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_TRUE(edit && (types || !png));
  if (png) QTest::keyClick(types, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, name);
  if (QWidget* list = QApplication::activePopupWidget()) QTest::keyClick(list, Qt::Key_Escape);
  QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
}

TEST(QtFileDialogs, SaveAddsTheFiltersExtensionAndAsksBeforeReplacing) {
  test::TempDir dir;
  QtFileDialogs dialogs;
  for (const bool png : {false, true}) {
    WhileModal(
        [png](QWidget* modal) { return TypeAndEnter(modal, "fileNameEdit", "chart", png), false; });
    const SaveChoice expected{dir.File(png ? "chart.png" : "chart.bmp"),
                              png ? PictureFormat::Png : PictureFormat::Bmp};
    EXPECT_EQ(dialogs.SaveFile(dir.Path(), ""), expected);
  }

  // An existing file: the question comes; No keeps the dialog open, Cancel then ends it.
  dir.Write("old.bmp", {'B', 'M'});
  int questions = 0;
  WhileModal([&questions](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      ++questions;
      EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
      test::MouseClick(box->button(QMessageBox::No));
      return true;
    }
    if (questions == 0) return TypeAndEnter(modal, "fileNameEdit", "old.bmp"), true;
    return QTest::keyClick(modal, Qt::Key_Escape), false;
  });
  EXPECT_FALSE(dialogs.SaveFile(dir.Path(), "").has_value());
  EXPECT_EQ(questions, 1);
}

// The file typed into the print dialog is what it offers the next time in the run, on a page in
// portrait.
TEST(QtPrintTarget, OffersTheLastChoicesAgain) {
  test::TempDir dir;
  QtPrintTarget printer;
  const QString file = QString::fromStdString(dir.File("chart.pdf"));
  const Bitmap picture(1810, 2250, 0x808080);
  QString offered;
  for (int run = 0; run < 2; ++run) {
    WhileModal([&](QWidget* modal) {
      if (auto* name = modal->findChild<QLineEdit*>(QStringLiteral("filename")))
        offered = name->text();
      return TypeAndEnter(modal, "filename", file), false;
    });
    ASSERT_TRUE(PrintPicture(printer, picture, false));
    EXPECT_TRUE(printer.PageWidth() < printer.PageHeight() && QFile::remove(file));  // portrait
  }
  EXPECT_EQ(offered, file);
}

}  // namespace
}  // namespace zarvo
