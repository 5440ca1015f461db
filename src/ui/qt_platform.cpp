#include "ui/qt_platform.h"

#include <QCoreApplication>
#include <QCursor>
#include <algorithm>

#include "ui/aux_windows.h"
#include "ui/main_window.h"

namespace brindlet::ui {

void QtPlatform::LetEventsRun() { QCoreApplication::processEvents(); }

ScreenPoint QtPlatform::CursorPos() {
  const QPoint pos = QCursor::pos();
  return {pos.x(), pos.y()};
}

ScreenPoint QtPlatform::ScreenToClient(WindowHandle window, ScreenPoint point) {
  if (window != kPicOutputHandle) return point;
  const PictureBox* output = main_->picOutput();
  const QPoint client = output->mapFromGlobal(QPoint(point.x, point.y)) - output->contentsRect().topLeft();
  return {client.x(), client.y()};
}

PictureSurface& QtPlatform::PicBG() { return *main_->PicBG(); }

PictureSurface& QtPlatform::PicOutput() { return *main_->picOutput(); }

void QtPlatform::SizePlayfield(std::int32_t imageWidth, std::int32_t imageHeight) {
  const int width = std::max(0, imageWidth) + 2;
  const int height = std::max(0, imageHeight) + 2;
  main_->picOutput()->setGeometry(0, 0, width, height);
  main_->setFixedSize(width, height);
}

void QtPlatform::HidePicBG() { main_->PicBG()->hide(); }

bool QtPlatform::IsWindowVisible(Window window) {
  switch (window) {
    case Window::Main: return main_->isVisible();
    case Window::Debug: return main_->frmDebug()->isVisible();
    case Window::Controls: return main_->frmControls() != nullptr && main_->frmControls()->isVisible();
  }
  return false;
}

void QtPlatform::ShowWindow(Window window) {
  switch (window) {
    case Window::Main: main_->show(); break;
    case Window::Debug: main_->frmDebug()->show(); break;
    case Window::Controls:
      if (main_->frmControls() != nullptr) main_->frmControls()->show();
      break;
  }
}

void QtPlatform::HideWindow(Window window) {
  switch (window) {
    case Window::Main: main_->hide(); break;
    case Window::Debug: main_->frmDebug()->hide(); break;
    case Window::Controls:
      if (main_->frmControls() != nullptr) main_->frmControls()->hide();
      break;
  }
}

void QtPlatform::CloseWindow(Window window) {
  switch (window) {
    case Window::Main: main_->CloseForDie(); break;
    case Window::Debug: main_->frmDebug()->close(); break;
    case Window::Controls:
      // Only a controls window that was made is closed; none is made for it.
      if (main_->frmControls() != nullptr) main_->frmControls()->close();
      break;
  }
}

void QtPlatform::SetTimerEnabled(Timer timer, bool enabled) {
  QTimer* qtimer = main_->TimerFor(timer);
  if (qtimer == nullptr) return;
  if (!enabled) {
    qtimer->stop();
  } else if (!qtimer->isActive()) {
    qtimer->start();
  }
}

void QtPlatform::EndProgram() { main_->RequestEnd(); }

void QtPlatform::SetDebugStateCaption(std::string_view caption) { main_->frmDebug()->SetStateCaption(caption); }

void QtPlatform::SetDebugPegText(std::string_view text) { main_->frmDebug()->SetPegText(text); }

}  // namespace brindlet::ui
