// SPDX-License-Identifier: GPL-3.0-or-later
// Metafiles drawn with QPainter: the drawing surface the record players
// play onto, and the picture of a metafile at its natural size.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/metafile/player.h"
#include "imaging/metafile/surface.h"
#include "imaging/picture/picture_kind.h"
#include "imaging/picture/work_bitmap.h"
#include "render/text_shortfall.h"

namespace hueline {

// Draws onto an active painter whose device is a QImage; points arrive in
// picture pixels and go through the painter's own transform (a band of a
// tall picture is drawn with the painter moved up). width and height are
// the whole picture's size. Drawing is not antialiased, like the device
// contexts metafiles were recorded on. Text needs a QGuiApplication; without
// one it is left out.
class PainterSurface : public meta::MetafileSurface {
public:
    // shortfall, when given, hears of the text the installed fonts cannot
    // draw as the author saw it.
    PainterSurface(QPainter& painter, int width, int height, TextShortfall* shortfall = nullptr);

    void fillPath(const meta::Path& path, meta::FillRule rule, const meta::Brush& brush, meta::Mix mix,
                  const meta::Background& bg) override;
    void strokePath(const meta::Path& path, const meta::Pen& pen, meta::Mix mix, const meta::Background& bg) override;
    double drawText(const meta::TextRun& run) override;
    void drawBitmap(const meta::Dib& dib, const meta::SourceRect& src, const meta::DestQuad& dest,
                    const meta::Blit& how) override;
    void gradientRect(meta::Point topLeft, meta::Point bottomRight, ColorValue from, ColorValue to,
                      bool vertical) override;
    void gradientTriangle(const meta::GradientVertex& a, const meta::GradientVertex& b,
                          const meta::GradientVertex& c) override;
    void clip(meta::ClipOp op, const meta::Path& path, meta::FillRule rule) override;
    void resetClip() override;
    void offsetClip(double dx, double dy) override;
    void save() override;
    void restore() override;

    // The installed family a metafile's face name is drawn with.
    static QString familyFor(const std::string& face, int pitchAndFamily);
    static QFont fontFor(const meta::Font& font);
    // Whether the face is drawn with a family other than itself.
    static bool substituted(const meta::Font& font);

private:
    struct ClipState {
        bool active = false;
        QRegion region;
    };
    bool applyMix(meta::Mix mix);
    void applyClip();
    const QImage* pattern(const meta::Brush& brush);
    // Draws text character by character at the given advances.
    void drawCharacters(const std::u16string& text, const std::vector<double>& advances, double x, double baseline);

    QPainter& p_;
    int width_, height_;
    TextShortfall* shortfall_;
    ClipState clip_;
    std::vector<ClipState> saved_;
    std::unordered_map<const meta::Dib*, QImage> patterns_;
    std::vector<std::shared_ptr<const meta::Dib>> keepPatterns_;
};

// A Dib (as a metafile carries it) as a QImage; a null image when the
// bitmap cannot be decoded. withAlpha keeps a 32-bit bitmap's fourth byte
// as premultiplied alpha.
QImage dibToImage(const meta::Dib& dib, bool withAlpha);

// The picture of a WMF or EMF file: 24-bit, white, of the metafile's
// natural size, with the metafile played at (0, 0). Tall pictures are drawn
// in bands so that the drawing buffer stays small; all bands together get
// timeLimit. Throws FileError as playMetafile does, Cancelled when the
// caller's progress scope says stop. warnings, when given, receives what
// the installed fonts could not draw (TextShortfall), or nothing.
WorkBitmap renderMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                          std::chrono::milliseconds timeLimit = kMaxMetafilePlayTime, std::string* warnings = nullptr);
// The same drawn in bands of bandRows rows (at least one): each band plays
// the whole file, leaving out what cannot reach its rows.
WorkBitmap renderMetafileInBands(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                 std::chrono::milliseconds timeLimit, int bandRows, std::string* warnings = nullptr);

}  // namespace hueline
