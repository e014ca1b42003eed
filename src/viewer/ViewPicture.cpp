#include "viewer/ViewPicture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include "platform/Glyphs.h"
#include "platform/Help.h"
#include "platform/Lifecycle.h"
#include "platform/Messages.h"
#include "platform/PlatformError.h"
#include "platform/QtHelpViewer.h"
#include "platform/QtPictureReader.h"
#include "platform/QtPictures.h"
#include "settings/QtWindowGeometry.h"
#include "viewer/DetailView.h"
#include "viewer/PictureOps.h"

namespace zarvo {

TViewPic* ViewPic = nullptr;

TViewPic::TViewPic() : QWidget(nullptr, Qt::Window) {
  ViewPic = this;
  NoteLifecycle("create ViewPic");
  setWindowTitle(QStringLiteral("View"));
  setCursor(Qt::CrossCursor);
  InstallHelpKey(this, kHelpViewer);
  BuildControls();
  RestoreGeometry(this, Settings.ViewPicWindow);
  ShowHints(!IsOn(Settings.DisableHints));
}

TViewPic::~TViewPic() {
  NoteLifecycle("destroy ViewPic");
  StoreGeometry(this, Settings.ViewPicWindow);
  if (Detail) Detail->Forget(&Picture);
  if (ViewPic == this) ViewPic = nullptr;
}

void TViewPic::BuildControls() {
  Panel = MakeToolPanel(this);
  ScrollBar = new QScrollBar(Qt::Vertical, Panel);
  ScrollBar->setGeometry(8, 8, 16, 97);
  ScrollBar->setSingleStep(10);
  ScrollBar->setRange(0, 0);
  const struct {
    QToolButton** Button;
    const char* Hint;
    GlyphKind Kind;
    int Left, Top;
    bool Toggle;
  } buttons[] = {{&RotateLeftBtn, "Rotate left", GlyphKind::RotateLeft, 32, 8, true},
                 {&RotateRightBtn, "Rotate right", GlyphKind::RotateRight, 56, 8, true},
                 {&MarkLeftBtn, "Mark left border", GlyphKind::MarkLeft, 32, 32, true},
                 {&MarkLowerBtn, "Mark lower border", GlyphKind::MarkLower, 56, 32, true},
                 {&ViewBtn, "View", GlyphKind::View, 32, 56, false},
                 {&SaveAsBtn, "Save as", GlyphKind::SaveAs, 56, 56, false},
                 {&PrintBtn, "Print", GlyphKind::Print, 56, 80, false}};
  for (const auto& b : buttons) {
    *b.Button = MakeToolButton(Panel, b.Kind, b.Hint, QRect(b.Left, b.Top, 24, 24));
    (*b.Button)->setCheckable(b.Toggle);
  }

  PopupMenu = new QMenu(this);
  QAction* rotateLeft = PopupMenu->addAction(QStringLiteral("Rotate &Left"));
  QAction* rotateRight = PopupMenu->addAction(QStringLiteral("Rotate &Right"));
  QAction* markLeft = PopupMenu->addAction(QStringLiteral("&Mark Left"));
  QAction* markLower = PopupMenu->addAction(QStringLiteral("Mark L&ower"));
  QAction* view = PopupMenu->addAction(QStringLiteral("&View"));
  QAction* saveAs = PopupMenu->addAction(QStringLiteral("Save &As"));
  QAction* print = PopupMenu->addAction(QStringLiteral("&Print"));

  const auto bind = [this](QToolButton* button, QAction* item, void (TViewPic::*command)()) {
    connect(button, &QToolButton::clicked, this, command);
    connect(item, &QAction::triggered, this, command);
  };
  bind(RotateLeftBtn, rotateLeft, &TViewPic::RotateLeftBtnClick);
  bind(RotateRightBtn, rotateRight, &TViewPic::RotateRightBtnClick);
  bind(MarkLeftBtn, markLeft, &TViewPic::MarkLeftBtnClick);
  bind(MarkLowerBtn, markLower, &TViewPic::MarkLowerBtnClick);
  bind(ViewBtn, view, &TViewPic::ViewBtnClick);
  bind(SaveAsBtn, saveAs, &TViewPic::SaveAsBtnClick);
  bind(PrintBtn, print, &TViewPic::PrintBtnClick);
  // Every scroll event, the thumb being dragged too.
  connect(ScrollBar, &QScrollBar::actionTriggered, this,
          [this](int) { ScrollBarScroll(ScrollBar->sliderPosition()); });
}

void TViewPic::ShowHints(bool on) {
  HintsShown = on;
  for (QToolButton* b :
       {RotateLeftBtn, RotateRightBtn, MarkLeftBtn, MarkLowerBtn, ViewBtn, SaveAsBtn, PrintBtn})
    b->setToolTip(on ? b->property("hint").toString() : QString());
  ScrollBar->setToolTip(on ? QStringLiteral("Scroll up/down") : QString());
}

QColor TViewPic::BorderColour() const {
  return palette().color(QPalette::Mid);
}

void TViewPic::LoadPicture(const std::string& fileName) {
  // The picture is replaced only once the whole file has been read.
  Bitmap loaded = ReadPictureFile(fileName);
  Picture = std::move(loaded);
  setWindowTitle(QString::fromStdString(ViewCaption(fileName)));
  show();
  raise();
  DisplayRect.Top = 0;
  ScrollBar->setValue(0);
  FormResize();
}

void TViewPic::FormResize() {
  const ViewerLayout layout =
      LayOutViewer(width(), height(), Picture.Width(), Picture.Height(), DisplayRect.Top);
  paint_ = layout.Paint;
  if (!layout.Paint) {
    update();
    return;
  }
  DisplayRect = {0, layout.Top, layout.Right, layout.Bottom};
  Panel->setVisible(layout.PanelVisible);
  Panel->setGeometry(width() - kPanelWidth, 0, kPanelWidth, height());
  ScrollBar->setPageStep(std::max(layout.ScrollLargeStep, 1));
  ScrollBar->setRange(0, layout.ScrollMax);
  update();
}

void TViewPic::resizeEvent(QResizeEvent*) {
  FormResize();
}

void TViewPic::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!paint_) {
    painter.fillRect(rect(), BorderColour());
    return;
  }
  const QImage image = BitmapImage(Picture);
  // Stretched as it is, without smoothing: a reduced picture drops whole rows and columns.
  painter.drawImage(
      QRect(0, DisplayRect.Top, DisplayRect.Right, DisplayRect.Bottom - DisplayRect.Top), image);
  painter.fillRect(QRect(0, DisplayRect.Bottom, width(), height() - DisplayRect.Bottom),
                   BorderColour());
  if (Panel->isVisible())
    painter.fillRect(QRect(width() - kPanelWidth - 2, 0, 2, height()), BorderColour());
}

void TViewPic::ScrollBarScroll(int position) {
  DisplayRect.Top = -position;
  FormResize();
}

void TViewPic::Rotate(QToolButton* button, bool left) {
  button->setChecked(true);
  button->repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  DisplayRect.Top = 0;
  ScrollBar->setValue(0);
  const auto progress = [this](int) {
    FormResize();
    repaint();
  };
  const std::uint32_t blank = BorderColour().rgb() & 0xFFFFFF;
  if (left)
    RotateLeft(Picture, progress, blank);
  else
    RotateRight(Picture, progress, blank);
  QApplication::restoreOverrideCursor();
  button->setChecked(false);
  FormResize();
}

void TViewPic::RotateLeftBtnClick() {
  Rotate(RotateLeftBtn, true);
}

void TViewPic::RotateRightBtnClick() {
  Rotate(RotateRightBtn, false);
}

void TViewPic::MarkLeftBtnClick() {
  // Choosing the command again leaves it armed, also when that click raised the button.
  MarkLeftBtn->setChecked(true);
  setCursor(Qt::ArrowCursor);
}

void TViewPic::MarkLowerBtnClick() {
  MarkLowerBtn->setChecked(true);
  setCursor(Qt::ArrowCursor);
}

void TViewPic::FormMouseDown(int x, int y) {
  const int w = Picture.Width();
  const int px = PictureColumn(x, DisplayRect.Right, w);
  const int py = PictureRow(y, DisplayRect.Top, DisplayRect.Right, w);
  if (MarkLeftBtn->isChecked()) {
    MarkLeftBtn->setChecked(false);
    setCursor(Qt::CrossCursor);
    ShiftLeftBorder(Picture, px);
    FormResize();
    return;
  }
  if (MarkLowerBtn->isChecked()) {
    MarkLowerBtn->setChecked(false);
    setCursor(Qt::CrossCursor);
    CropLowerBorder(Picture, py);
    FormResize();
    return;
  }
  if (Detail) {
    Detail->ShowDetail();
    Detail->DrawDetail(px, py, &Picture);
  }
}

void TViewPic::FormMouseMove(int x, int y) {
  if (x < 0 || y < 0 || !Detail) return;
  const int w = Picture.Width();
  Detail->ShowDetail();
  Detail->DrawDetail(PictureColumn(x, DisplayRect.Right, w),
                     PictureRow(y, DisplayRect.Top, DisplayRect.Right, w), &Picture);
}

void TViewPic::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FormMouseDown(event->pos().x(), event->pos().y());
}

void TViewPic::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) FormMouseMove(event->pos().x(), event->pos().y());
}

void TViewPic::contextMenuEvent(QContextMenuEvent* event) {
  PopupMenu->popup(event->globalPos());
}

void TViewPic::ViewBtnClick() {
  ViewCommand(OpenMemory, true, [this](const std::string& file) { LoadPicture(file); });
}

void TViewPic::SaveAsBtnClick() {
  SaveCommand(SaveMemory, Picture, [this] { return Picture.Height(); });
}

void TViewPic::PrintBtnClick() {
  PrintCommand(Picture, false);
}

void OpenInViewer(const std::string& fileName) {
  if (!ViewPic) return;
  try {
    ViewPic->LoadPicture(fileName);
    ViewPic->activateWindow();
  } catch (const PlatformError& e) {
    ShowExceptionReport(e.what());
  }
}

}  // namespace zarvo
