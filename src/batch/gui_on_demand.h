// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's painting for hueline-batch, started only when a picture needs it.
#pragma once

#include <QGuiApplication>

#include <memory>
#include <mutex>
#include <string>

#include "imaging/picture/work_bitmap.h"

namespace hueline::batch {

// Metafiles draw text and shapes through Qt's painting, which wants an
// application object. It is made only when such a file comes, on the offscreen platform unless one is asked for, and is
// owned by main() so that it goes before Qt's own globals do. A folder run
// makes it on the main thread before a picture that needs it is started.
class GuiOnDemand {
public:
    void ensureFor(const std::string& input);

    // Opens a picture. Those that go through Qt's painting (its fonts and
    // the painter's font cache above all) are opened one at a time, from
    // whatever thread; the others side by side.
    WorkBitmap load(const std::string& path, std::string* damage);

private:
    static bool needsQt(const std::string& path);

    std::mutex qtPainting_;
    int argc_ = 1;
    char name_[14] = "hueline-batch";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

}  // namespace hueline::batch
