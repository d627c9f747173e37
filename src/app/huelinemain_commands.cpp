// SPDX-License-Identifier: GPL-3.0-or-later
// The black-and-white and colour commands of the tool pages. Each handler
// runs one command of the catalogue, which follows the operation protocol
// (or the slider protocol) in the workspace; the panes and the status
// label follow through the workspace's listener. Each shows the busy
// cursor while it works.
#include <QLabel>
#include <QSlider>

#include "app/busy_cursor.h"
#include "app/fringe1.h"
#include "app/fringe2.h"
#include "app/fringe3.h"
#include "app/huelinemain.h"
#include "imaging/session/commands.h"

namespace hueline::app {

void TMyPicture::Button20Click() {
    const BusyCursor busy;
    commands::gray(ws_);
}

void TMyPicture::Button1Click() {
    const BusyCursor busy;
    commands::blackAndWhite(ws_);
}

void TMyPicture::Button5Click() {
    const BusyCursor busy;
    commands::penAndInk(ws_);  // "Waiting" while it works
}

void TMyPicture::Button8Click() {
    const BusyCursor busy;
    commands::thin(ws_);
}

void TMyPicture::Button2Click() {
    const BusyCursor busy;
    commands::erode(ws_);
}

void TMyPicture::Button4Click() {
    const BusyCursor busy;
    commands::dilate(ws_);
}

// The B&W split: threshold SourceSnapshot at the slider's position.
void TMyPicture::woValue1Click() {
    const BusyCursor busy;
    commands::bwSplit(ws_, TrackBar1->value());
}

void TMyPicture::TrackBar1Change() {
    woValue1Click();
    Label9->setText(QString::number(TrackBar1->value()));
}

void TMyPicture::TrackBar2Change() {
    const BusyCursor busy;
    commands::colorSplit(ws_, TrackBar2->value());
    Label18->setText(QString::number(TrackBar2->value()));
}

// Each opening handler shows its method's dialog and hides the other two,
// in this order. "Fringe 2" is TFormOfFringe3 and "Fringe 3" is
// TFormOfFringe2.
void TMyPicture::Button9Click() {
    FormOfFringe1->bringUp();
    FormOfFringe2->hide();
    FormOfFringe3->hide();
}

void TMyPicture::Button13Click() {
    FormOfFringe3->bringUp();
    FormOfFringe2->hide();
    FormOfFringe1->hide();
}

void TMyPicture::Button12Click() {
    FormOfFringe2->bringUp();
    FormOfFringe1->hide();
    FormOfFringe3->hide();
}

void TMyPicture::Button16Click() {
    const BusyCursor busy;
    commands::inverse(ws_);
}

void TMyPicture::Button18Click() {
    const BusyCursor busy;
    commands::sharpen(ws_);
}

void TMyPicture::Button19Click() {
    const BusyCursor busy;
    commands::median(ws_);
}

}  // namespace hueline::app
