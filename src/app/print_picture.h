// SPDX-License-Identifier: GPL-3.0-or-later
// Printing the result pane (File > Print, File > Print Preview).
//
// The picture is fitted within the page's margins and centred. Before the
// dialog shows, the page is turned to landscape for a picture wider than
// tall and to portrait otherwise; what the user then picks in the dialog
// stands. A black-and-white picture prints as the traced curves the SVG
// and PDF files hold, sharp at any size; any other picture prints as an
// image, brought down to the page's resolution when it has more pixels
// than the page can show.
#pragma once

#include <memory>

#include "imaging/picture/work_bitmap.h"

class QPrinter;
class QWidget;

namespace hueline::app {

// Turns the page to landscape for a picture wider than tall, to portrait
// otherwise.
void orientForPicture(QPrinter& printer, const WorkBitmap& picture);

// Paints the picture on the printer's first page. Throws UserError when
// the printer (or the file it prints to) cannot be opened.
void paintOnPage(QPrinter& printer, const WorkBitmap& picture);

// The printer of one window, kept from one print to the next so that the
// choices made in its dialog stay.
class PicturePrinting {
public:
    explicit PicturePrinting(QWidget* window);
    ~PicturePrinting();
    PicturePrinting(const PicturePrinting&) = delete;
    PicturePrinting& operator=(const PicturePrinting&) = delete;

    // Show the print dialog, or the preview with its own print button, for
    // the picture. Both throw UserError for an empty picture.
    void print(const WorkBitmap& picture);
    void preview(const WorkBitmap& picture);

    QPrinter& printer() { return *printer_; }

private:
    void prepare(const WorkBitmap& picture);

    QWidget* window_;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace hueline::app
