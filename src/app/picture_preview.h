// SPDX-License-Identifier: GPL-3.0-or-later
// The preview beside the file list of the open and save dialogs: the
// selected picture fitted into a small frame, or a word when the selection
// is no picture the program reads.
#pragma once

#include <QLabel>

class QFileDialog;

namespace hueline::app {

class PicturePreview : public QLabel {
    Q_OBJECT
public:
    // Adds itself to the (Qt-drawn) dialog's layout, right of the list.
    explicit PicturePreview(QFileDialog* dialog);

    void showFile(const QString& path);

    static constexpr int kWidth = 160;
    static constexpr int kHeight = 166;
};

}  // namespace hueline::app
