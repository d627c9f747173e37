// SPDX-License-Identifier: GPL-3.0-or-later
// The preview beside the file list of the open and save dialogs: the
// selected picture fitted into a small frame, or a word when the selection
// is no picture the program reads, or one that takes too long to read.
#pragma once

#include <QLabel>

#include <chrono>

class QFileDialog;

namespace hueline::app {

class PicturePreview : public QLabel {
    Q_OBJECT
public:
    // The longest a preview may keep the dialog waiting.
    static constexpr std::chrono::milliseconds kDefaultBudget{500};

    // Adds itself to the (Qt-drawn) dialog's layout, right of the list.
    explicit PicturePreview(QFileDialog* dialog, std::chrono::milliseconds budget = kDefaultBudget);

    void showFile(const QString& path);

    static constexpr int kWidth = 160;
    static constexpr int kHeight = 166;

private:
    void showNothing();

    std::chrono::milliseconds budget_;
};

}  // namespace hueline::app
