// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/gui_on_demand.h"

#include <QtGlobal>

#include "imaging/picture/picture_kind.h"
#include "render/picture_loader.h"

namespace hueline::batch {

void GuiOnDemand::ensureFor(const std::string& input) {
    if (app_ || !needsQt(input)) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
}

WorkBitmap GuiOnDemand::load(const std::string& path, std::string* damage) {
    if (!needsQt(path)) return LoadPictureFile(path, damage);
    const std::lock_guard lock(qtPainting_);
    return LoadPictureFile(path, damage);
}

bool GuiOnDemand::needsQt(const std::string& path) {
    const PictureKind kind = kindFromName(path);
    return kind == PictureKind::Wmf || kind == PictureKind::Emf;
}

}  // namespace hueline::batch
