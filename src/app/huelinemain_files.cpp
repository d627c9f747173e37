// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a picture into both panes and saving the result pane.
//
// Open: the chosen file is read once; both panes show it and the working
// pictures restart from it. Cancelling changes nothing, and a file that
// cannot be read changes nothing either: its error goes to the error
// report (an icon has a message box of its own). A read that takes long
// shows a progress dialog whose Cancel also changes nothing. A damaged
// JPEG opens as far as it decodes, and a message then says so; so does a
// metafile whose signs or letters the installed fonts cannot draw.
//
// Save: the format follows the selected filter entry, never the typed
// name, and its extension is forced onto the name. SVG and PDF hold the
// result's dark pixels traced into curves.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/busy_cursor.h"
#include "app/huelinemain.h"
#include "app/messages.h"
#include "app/open_progress.h"
#include "app/picture_preview.h"
#include "app/save_name.h"
#include "app/save_question.h"
#include "imaging/codecs/icon_reader.h"
#include "imaging/codecs/picture_writer.h"
#include "imaging/picture/errors.h"
#include "imaging/picture/picture_kind.h"
#include "imaging/picture/progress.h"
#include "render/picture_loader.h"

namespace hueline::app {

namespace {

// The dialogs match names whatever their case, so "*.jpg" lists photo.JPG
// too.
const QStringList& openFilters() {
    static const QStringList filters = {
        QStringLiteral("*.jpg"),
        QStringLiteral("*.bmp"),
        QStringLiteral("*.png"),
        QStringLiteral("HEIF photos (*.heic *.heif)"),
        QStringLiteral("AVIF photos (*.avif)"),
        QStringLiteral("WebP pictures (*.webp)"),
        QStringLiteral("TIFF pictures (*.tif *.tiff)"),
        QStringLiteral("All pictures (*.jpg *.jpeg *.bmp *.png *.heic *.heif *.avif *.webp *.tif *.tiff *.ico *.wmf *.emf)"),
    };
    return filters;
}

// One entry for each kind Save writes, in the same order.
const QStringList& saveFilters() {
    static const QStringList filters = {QStringLiteral("*.jpg"), QStringLiteral("*.bmp"), QStringLiteral("*.png"),
                                        QStringLiteral("*.svg"), QStringLiteral("*.pdf")};
    return filters;
}

// Runs a file dialog with the filters, starting at the entry chosen last
// time (1-based) and in the folder given (if any); on confirmation gives
// the name and keeps the entry.
QString runFileDialog(QFileDialog* dialog, const QStringList& filters, int& entry, const QString& folder) {
    if (!folder.isEmpty()) dialog->setDirectory(folder);
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.value(entry - 1, filters.first()));
    if (!dialog->findChild<PicturePreview*>()) new PicturePreview(dialog);
    if (dialog->exec() != QDialog::Accepted) return QString();
    const qsizetype chosen = filters.indexOf(dialog->selectedNameFilter());
    if (chosen >= 0) entry = int(chosen) + 1;
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

}  // namespace

void TMyPicture::SpeedButton1Click() {
    if (!mayDropUnsavedWork()) return;
    const QString name = runFileDialog(OpenPictureDialog1, openFilters(), openFilterEntry_, lastFolder_);
    if (name.isEmpty()) return;
    OpenPicture(name);
}

void TMyPicture::OpenPicture(const QString& fileName) {
    WorkBitmap loaded;
    std::string damage;
    try {
        const OpenProgress progress(this, fileName);
        loaded = LoadPictureFile(fileName.toStdString(), &damage);
    } catch (const Cancelled&) {
        return;
    } catch (const IconError& e) {
        const QString why = QString::fromStdString(e.reason().empty() ? std::string(e.what()) : e.reason());
        showMessage(MessageKind::Information, QStringLiteral("Exit"),
                    QStringLiteral("Input picture") + fileName + QStringLiteral("Error.") + why);
        return;
    }
    ws_.openPicture(loaded);
    unsaved_ = false;
    lastFolder_ = QFileInfo(fileName).absolutePath();
    scrollPanesHome();
    // A metafile's warnings are of text its fonts could not draw, not of damage.
    const PictureKind kind = kindFromName(fileName.toStdString());
    const bool metafile = kind == PictureKind::Wmf || kind == PictureKind::Emf;
    const QString title = metafile ? QStringLiteral("Picture opened with warnings") : QStringLiteral("Damaged picture");
    if (!damage.empty()) showMessage(MessageKind::Information, title, QString::fromStdString(damage));
}

void TMyPicture::SpeedButton2Click() { saveAs(); }

bool TMyPicture::saveAs() {
    const QString name = runFileDialog(SavePictureDialog1, saveFilters(), saveFilterEntry_, lastFolder_);
    if (name.isEmpty()) return false;
    if (!mayWriteForcedName(name, saveFilters().value(saveFilterEntry_ - 1))) return false;
    savePicture(name, saveFilterEntry_);
    return true;
}

bool TMyPicture::mayDropUnsavedWork() {
    if (!unsaved_) return true;
    switch (askAboutUnsavedWork()) {
        case UnsavedAnswer::Discard: return true;
        case UnsavedAnswer::Cancel: return false;
        case UnsavedAnswer::Save: break;
    }
    // A save that fails reports its error, and the work stays.
    try {
        return saveAs();
    } catch (const std::exception& e) {
        showMessage(MessageKind::Error, QString::fromLatin1(kErrorCaption), withFullStop(QString::fromUtf8(e.what())));
        return false;
    }
}

QString TMyPicture::savePicture(const QString& chosenName, int filterEntry) {
    const WorkBitmap& picture = ws_.resultPane();
    if (picture.empty()) throw UserError("The result pane holds no picture, so nothing was saved");
    // Entry 1, and any entry the dialog does not have, is JPEG.
    const bool known = filterEntry >= 1 && std::size_t(filterEntry) <= kSavedKinds.size();
    const PictureKind kind = known ? kSavedKinds[std::size_t(filterEntry) - 1] : PictureKind::Jpeg;
    const std::string name = withForcedExtension(chosenName.toStdString(), savedExtension(kind));
    const BusyCursor busy;
    writePictureFile(picture, name, kind);
    unsaved_ = false;
    lastFolder_ = QFileInfo(QString::fromStdString(name)).absolutePath();
    return QString::fromStdString(name);
}

// A picture file dropped on the window opens as Open would open it.
void TMyPicture::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TMyPicture::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    if (!mayDropUnsavedWork()) return;
    OpenPicture(urls.first().toLocalFile());
}

}  // namespace hueline::app
