// SPDX-License-Identifier: GPL-3.0-or-later
// File > Print and File > Print Preview: the result pane on paper, or in a
// PDF file chosen in the print dialog. The printer and its settings stay
// for the window's life.
#include "app/huelinemain.h"
#include "app/print_picture.h"

namespace hueline::app {

void TMyPicture::Print1Click() {
    if (!printing_) printing_ = std::make_shared<PicturePrinting>(this);
    printing_->print(ws_.resultPane());
}

void TMyPicture::PrintPreview1Click() {
    if (!printing_) printing_ = std::make_shared<PicturePrinting>(this);
    printing_->preview(ws_.resultPane());
}

}  // namespace hueline::app
