#include "viewer/ViewPicture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QWheelEvent>

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
  SidewaysBar = new QScrollBar(Qt::Horizontal, this);
  SidewaysBar->setSingleStep(10);
  SidewaysBar->hide();
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
                 {&StraightenBtn, "Straighten slant", GlyphKind::Straighten, 32, 80, true},
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
  QAction* straighten = PopupMenu->addAction(QStringLiteral("&Straighten"));
  QAction* view = PopupMenu->addAction(QStringLiteral("&View"));
  QAction* saveAs = PopupMenu->addAction(QStringLiteral("Save &As"));
  QAction* print = PopupMenu->addAction(QStringLiteral("&Print"));
  PopupMenu->addSeparator();
  QAction* zoomIn = PopupMenu->addAction(QStringLiteral("Zoom &In"));
  QAction* zoomOut = PopupMenu->addAction(QStringLiteral("Zoom O&ut"));
  QAction* fit = PopupMenu->addAction(QStringLiteral("&Fit to Width"));
  PopupMenu->addAction(SmoothDisplay().MakeItem(this));
  view->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  // Ctrl+= is Ctrl++ without the shift on most keyboards.
  zoomIn->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  zoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  // The shortcuts work with the menu closed, while this window is active.
  addActions({view, saveAs, print, zoomIn, zoomOut, fit});
  const auto middle = [this] {
    return QPoint((width() - (Panel->isVisible() ? kPanelWidth + 2 : 0)) / 2, height() / 2);
  };
  connect(zoomIn, &QAction::triggered, this, [this, middle] { ZoomBy(1, middle()); });
  connect(zoomOut, &QAction::triggered, this, [this, middle] { ZoomBy(-1, middle()); });
  connect(fit, &QAction::triggered, this, &TViewPic::FitToWidth);
  connect(&SmoothDisplay(), &SmoothDisplaySetting::Changed, this, [this] { update(); });
  AddScrollKeys(this, ScrollBar, SidewaysBar);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] {
    if (StraightenBtn->isChecked())
      EndStraighten();  // the picture stays as it is
    else
      close();
  });

  const auto bind = [this](QToolButton* button, QAction* item, void (TViewPic::*command)()) {
    connect(button, &QToolButton::clicked, this, command);
    connect(item, &QAction::triggered, this, command);
  };
  bind(RotateLeftBtn, rotateLeft, &TViewPic::RotateLeftBtnClick);
  bind(RotateRightBtn, rotateRight, &TViewPic::RotateRightBtnClick);
  bind(MarkLeftBtn, markLeft, &TViewPic::MarkLeftBtnClick);
  bind(MarkLowerBtn, markLower, &TViewPic::MarkLowerBtnClick);
  bind(StraightenBtn, straighten, &TViewPic::StraightenBtnClick);
  bind(ViewBtn, view, &TViewPic::ViewBtnClick);
  bind(SaveAsBtn, saveAs, &TViewPic::SaveAsBtnClick);
  bind(PrintBtn, print, &TViewPic::PrintBtnClick);
  // Every scroll event, the thumb being dragged too.
  connect(ScrollBar, &QScrollBar::actionTriggered, this,
          [this](int) { ScrollBarScroll(ScrollBar->sliderPosition()); });
  connect(SidewaysBar, &QScrollBar::actionTriggered, this, [this](int) {
    DisplayRect.Left = -SidewaysBar->sliderPosition();
    FormResize();
  });
}

void TViewPic::ShowHints(bool on) {
  HintsShown = on;
  for (QToolButton* b : {RotateLeftBtn, RotateRightBtn, MarkLeftBtn, MarkLowerBtn, StraightenBtn,
                         ViewBtn, SaveAsBtn, PrintBtn})
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
  reduced_.Invalidate();
  setWindowTitle(QString::fromStdString(ViewCaption(fileName)));
  show();
  raise();
  Zoom = 0;
  DisplayRect.Left = 0;
  DisplayRect.Top = 0;
  ScrollBar->setValue(0);
  FormResize();
}

void TViewPic::FormResize() {
  const ViewerLayout layout = LayOutViewer(width(), height(), Picture.Width(), Picture.Height(),
                                           DisplayRect.Top, Zoom, DisplayRect.Left);
  paint_ = layout.Paint;
  SidewaysBar->setVisible(layout.Paint && layout.SidewaysBar);
  if (!layout.Paint) {
    update();
    return;
  }
  DisplayRect = {layout.Left, layout.Top, layout.Right, layout.Bottom};
  Panel->setVisible(layout.PanelVisible);
  Panel->setGeometry(width() - kPanelWidth, 0, kPanelWidth, height());
  ScrollBar->setPageStep(std::max(layout.ScrollLargeStep, 1));
  ScrollBar->setRange(0, layout.ScrollMax);
  ScrollBar->setValue(-DisplayRect.Top);
  SidewaysBar->setGeometry(0, layout.AreaHeight, layout.AreaWidth, kViewerBarHeight);
  SidewaysBar->setPageStep(std::max(layout.AreaWidth, 1));
  SidewaysBar->setRange(0, layout.SidewaysMax);
  SidewaysBar->setValue(-DisplayRect.Left);
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
  reduced_.Draw(painter,
                QRect(DisplayRect.Left, DisplayRect.Top, DisplayRect.Right - DisplayRect.Left,
                      DisplayRect.Bottom - DisplayRect.Top),
                Picture);
  painter.fillRect(QRect(0, DisplayRect.Bottom, width(), height() - DisplayRect.Bottom),
                   BorderColour());
  // Zoomed out below the window's width: the rest of the row beside the picture.
  painter.fillRect(QRect(DisplayRect.Right, 0, width() - DisplayRect.Right, height()),
                   BorderColour());
  if (Panel->isVisible())
    painter.fillRect(QRect(width() - kPanelWidth - 2, 0, 2, height()), BorderColour());
}

void TViewPic::ScrollBarScroll(int position) {
  DisplayRect.Top = -position;
  FormResize();
}

void TViewPic::ZoomBy(int direction, QPoint anchor) {
  if (!paint_) return;
  const double shown = static_cast<double>(DisplayRect.Right - DisplayRect.Left) / Picture.Width();
  ZoomTo(NextZoom(Zoom > 0 ? Zoom : shown, direction), anchor);
}

void TViewPic::FitToWidth() {
  ZoomTo(0, QPoint(0, height() / 2));
}

void TViewPic::ZoomTo(double zoom, QPoint anchor) {
  if (!paint_) return;
  // The picture point under the anchor, in widths of the picture as shown.
  const double shown = DisplayRect.Right - DisplayRect.Left;
  const double across = (anchor.x() - DisplayRect.Left) / shown;
  const double down = (anchor.y() - DisplayRect.Top) / shown;
  Zoom = zoom;
  FormResize();  // the new width
  const double now = DisplayRect.Right - DisplayRect.Left;
  DisplayRect.Left = static_cast<std::int32_t>(std::lround(anchor.x() - across * now));
  DisplayRect.Top = std::clamp(static_cast<std::int32_t>(std::lround(anchor.y() - down * now)),
                               -ScrollBar->maximum(), 0);
  FormResize();
}

void TViewPic::wheelEvent(QWheelEvent* event) {
  const QPoint turn = event->angleDelta();
  if (event->modifiers() & Qt::ControlModifier) {
    if (turn.y() != 0) ZoomBy(turn.y() > 0 ? 1 : -1, event->position().toPoint());
  } else if ((event->modifiers() & Qt::ShiftModifier) || turn.x() != 0) {
    // Shift turns the wheel sideways; a tilting wheel or a touchpad does so itself.
    ScrollByWheel(SidewaysBar, turn.x() != 0 ? turn.x() : turn.y(), wheelRest_);
  } else {
    ScrollByWheel(ScrollBar, turn.y(), wheelRest_);
  }
  event->accept();
}

void TViewPic::Rotate(QToolButton* button, bool left) {
  button->setChecked(true);
  button->repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  DisplayRect.Top = 0;
  ScrollBar->setValue(0);
  // Each source row becomes one column of the turned picture: after the first step, which lays
  // the window out for the new shape, a step redraws only the band of columns it wrote.
  int shown = 0;  // source rows drawn so far
  const auto band = [this, left, &shown](int end) {
    const int first = left ? shown : Picture.Width() - end;
    const int last = left ? end : Picture.Width() - shown;
    shown = end;
    reduced_.InvalidateColumns(first, last);
    return ColumnsOnScreen(first, last);
  };
  const auto progress = [this, &band, &shown](int row) {
    if (shown > 0) {
      repaint(band(row + 1));
      return;
    }
    shown = row + 1;
    reduced_.Invalidate();
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
  if (shown > 0)
    band(Picture.Width());  // the rows after the last step
  else
    reduced_.Invalidate();
  FormResize();
}

QRect TViewPic::ColumnsOnScreen(int first, int end) const {
  if (!paint_) return rect();
  // A pixel more on either side for the rounding of either way of stretching.
  const std::int64_t columns = std::max(Picture.Width(), 1);
  const std::int64_t across = DisplayRect.Right - DisplayRect.Left;
  const int left = DisplayRect.Left + static_cast<int>(first * across / columns) - 1;
  const int right = DisplayRect.Left + static_cast<int>((end * across + columns - 1) / columns) + 1;
  const int areaWidth = Panel->isVisible() ? width() - kPanelWidth - 2 : width();
  const int areaHeight = SidewaysBar->isVisible() ? SidewaysBar->y() : height();
  return QRect(left, DisplayRect.Top, right - left, DisplayRect.Bottom - DisplayRect.Top) &
         QRect(0, 0, areaWidth, areaHeight);
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

void TViewPic::StraightenBtnClick() {
  // Choosing it again starts over from the top point.
  StraightenBtn->setChecked(true);
  setCursor(Qt::ArrowCursor);
  straightenTop_.reset();
  ReportNote("Click on the top of the left edge of the picture.");
}

void TViewPic::StraightenClick(int px, int py) {
  if (!straightenTop_) {
    straightenTop_ = QPoint(px, py);
    ReportNote("Now click on the bottom of the left edge of the picture.");
    return;
  }
  // Two points on one row give no slant: wait for another bottom point.
  if (!ShearRows(Picture, straightenTop_->x(), straightenTop_->y(), px, py)) {
    ReportNote(
        "Both points lie on the same row: click on the bottom of the left edge on "
        "another row.");
    return;
  }
  EndStraighten();
  reduced_.Invalidate();
  FormResize();
}

void TViewPic::EndStraighten() {
  StraightenBtn->setChecked(false);
  straightenTop_.reset();
  setCursor(Qt::CrossCursor);
}

void TViewPic::FormMouseDown(int x, int y) {
  const int w = Picture.Width();
  const int shown = DisplayRect.Right - DisplayRect.Left;
  const int px = PictureColumn(x - DisplayRect.Left, shown, w);
  const int py = PictureRow(y, DisplayRect.Top, shown, w);
  if (MarkLeftBtn->isChecked()) {
    MarkLeftBtn->setChecked(false);
    setCursor(Qt::CrossCursor);
    ShiftLeftBorder(Picture, px);
    reduced_.Invalidate();
    FormResize();
    return;
  }
  if (MarkLowerBtn->isChecked()) {
    MarkLowerBtn->setChecked(false);
    setCursor(Qt::CrossCursor);
    CropLowerBorder(Picture, py);
    reduced_.Invalidate();
    FormResize();
    return;
  }
  // After the marks: an armed mark takes the click first and Straighten waits for the next.
  if (StraightenBtn->isChecked()) {
    StraightenClick(px, py);
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
  const int shown = DisplayRect.Right - DisplayRect.Left;
  Detail->ShowDetail();
  Detail->DrawDetail(PictureColumn(x - DisplayRect.Left, shown, w),
                     PictureRow(y, DisplayRect.Top, shown, w), &Picture);
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
