// Qt's file dialog and printer behind the seams: the default extension, the overwrite question,
// the print dialog's choices kept for the run, and a document printed into a file.
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

// Types over a name field. Its completer offers the folder's files; Escape puts its list away.
void TypeName(QLineEdit* edit, const QString& name) {
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, name);
  if (QWidget* list = QApplication::activePopupWidget()) QTest::keyClick(list, Qt::Key_Escape);
}

// Types a name into the file dialog's name field and presses Return, as the user does. Queued:
// what Return raises (the overwrite question) is a modal loop of its own.
void TypeAndEnter(QWidget* dialog, const QString& name) {
  EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  TypeName(edit, name);
  QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
}

TEST(QtFileDialogs, SaveAddsTheFiltersExtensionAndAsksBeforeReplacing) {
  test::TempDir dir;
  QtFileDialogs dialogs;
  WhileModal([](QWidget* modal) {
    TypeAndEnter(modal, QStringLiteral("chart"));
    return false;
  });
  EXPECT_EQ(dialogs.SaveFile(dir.Path(), ""), (SaveChoice{dir.File("chart.bmp")}));
  // The PNG filter, chosen with the arrow key in the file type box.
  WhileModal([](QWidget* modal) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
    auto* types = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    EXPECT_NE(types, nullptr);
    if (types) QTest::keyClick(types, Qt::Key_Down);
    TypeAndEnter(modal, QStringLiteral("chart"));
    return false;
  });
  EXPECT_EQ(dialogs.SaveFile(dir.Path(), ""),
            (SaveChoice{dir.File("chart.png"), PictureFormat::Png}));

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
    if (questions == 0) {
      TypeAndEnter(modal, QStringLiteral("old.bmp"));
      return true;
    }
    QTest::keyClick(modal, Qt::Key_Escape);
    return false;
  });
  EXPECT_FALSE(dialogs.SaveFile(dir.Path(), "").has_value());
  EXPECT_EQ(questions, 1);
}

QPushButton* OkOf(QWidget* dialog) {
  auto* buttons = dialog->findChild<QDialogButtonBox*>();
  return buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
}

// What the user chose in the print dialog is what it offers the next time in the run: here the
// orientation and the file of the PDF printer, chosen with the mouse and the keyboard.
TEST(QtPrintTarget, OffersTheLastChoicesAgain) {
  test::TempDir dir;
  QtPrintTarget printer;
  const QString file = QString::fromStdString(dir.File("chart.pdf"));
  bool typed = false;
  WhileModal([&](QWidget* modal) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
    if (modal->inherits("QPrintPropertiesDialog")) {
      auto* landscape = modal->findChild<QRadioButton*>(QStringLiteral("landscape"));
      EXPECT_NE(landscape, nullptr);
      // On its round mark: a wide radio button does not take clicks right of its text.
      if (landscape) test::MouseClick(landscape, {6, landscape->height() / 2});
      test::MouseClick(OkOf(modal));
      return true;
    }
    auto* name = modal->findChild<QLineEdit*>(QStringLiteral("filename"));
    auto* properties = modal->findChild<QPushButton*>(QStringLiteral("properties"));
    EXPECT_TRUE(name && properties && OkOf(modal));
    if (!name || !properties || !OkOf(modal)) {
      QMetaObject::invokeMethod(modal, "reject");
      return false;
    }
    if (!typed) {
      typed = true;
      TypeName(name, file);
      // Queued: the properties dialog is a modal loop of its own.
      QTimer::singleShot(0, properties, [properties] { test::MouseClick(properties); });
      return true;
    }
    test::MouseClick(OkOf(modal));
    return false;
  });
  const Bitmap picture(1810, 2250, 0x808080);
  ASSERT_TRUE(PrintPicture(printer, picture, false));
  EXPECT_GT(printer.PageWidth(), printer.PageHeight());
  EXPECT_TRUE(QFile::exists(file));
  QFile::remove(file);

  QString offered;
  WhileModal([&](QWidget* modal) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(modal));
    if (auto* name = modal->findChild<QLineEdit*>(QStringLiteral("filename")))
      offered = name->text();
    // Another file would first ask about it in a box of its own: give up instead.
    if (offered == file)
      test::MouseClick(OkOf(modal));
    else
      QMetaObject::invokeMethod(modal, "reject");
    return false;
  });
  EXPECT_TRUE(PrintPicture(printer, picture, false));
  EXPECT_EQ(offered, file);
  EXPECT_GT(printer.PageWidth(), printer.PageHeight());
  EXPECT_TRUE(QFile::exists(file));

  // Printed into a file named by the program, without a dialog: one page, with its footer.
  const QString page = QString::fromStdString(dir.File("page.pdf"));
  printer.PrintToFile(page);
  ASSERT_TRUE(PrintPicture(printer, picture, true));
  QFile pdf(page);
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  const QByteArray bytes = pdf.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
}

}  // namespace
}  // namespace zarvo
