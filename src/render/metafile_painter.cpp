// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/metafile_painter.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRawFont>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <map>

#include "imaging/codecs/bmp_codec.h"
#include "imaging/picture/errors.h"
#include "imaging/metafile/dib_sample.h"
#include "imaging/metafile/face_table.h"
#include "imaging/metafile/player.h"
#include "imaging/metafile/symbol_fonts.h"

namespace hueline {

namespace {

QColor qcolor(ColorValue c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

QPainterPath toQPath(const meta::Path& path, meta::FillRule rule) {
    QPainterPath q;
    q.setFillRule(rule == meta::FillRule::Winding ? Qt::WindingFill : Qt::OddEvenFill);
    std::size_t at = 0;
    for (meta::Verb v : path.verbs) {
        switch (v) {
        case meta::Verb::Move: q.moveTo(path.points[at].x, path.points[at].y), ++at; break;
        case meta::Verb::Line: q.lineTo(path.points[at].x, path.points[at].y), ++at; break;
        case meta::Verb::Cubic:
            q.cubicTo(path.points[at].x, path.points[at].y, path.points[at + 1].x, path.points[at + 1].y,
                      path.points[at + 2].x, path.points[at + 2].y);
            at += 3;
            break;
        case meta::Verb::Close: q.closeSubpath(); break;
        }
    }
    return q;
}

// The area inside a path at whole pixels. Axis-aligned rectangles, the
// common case, stay exact rectangles.
QRegion regionOf(const meta::Path& path, meta::FillRule rule) {
    std::vector<QRegion> parts;
    std::size_t at = 0, i = 0;
    const auto& v = path.verbs;
    while (i < v.size()) {
        // One figure: a move, lines or curves, maybe a close.
        const std::size_t figureStart = at;
        std::size_t j = i + 1, count = 1;
        bool curved = false;
        while (j < v.size() && v[j] != meta::Verb::Move) {
            if (v[j] == meta::Verb::Line) ++count;
            else if (v[j] == meta::Verb::Cubic) count += 3, curved = true;
            ++j;
        }
        const auto* p = path.points.data() + figureStart;
        QRegion figure;
        const bool rect = !curved && count == 4 &&
                          ((p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x) ||
                           (p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y));
        if (rect) {
            const int l = int(std::lround(std::min(p[0].x, p[2].x))), r = int(std::lround(std::max(p[0].x, p[2].x)));
            const int t = int(std::lround(std::min(p[0].y, p[2].y))), b = int(std::lround(std::max(p[0].y, p[2].y)));
            figure = QRegion(l, t, r - l, b - t);
        } else {
            meta::Path one;
            one.verbs.assign(v.begin() + std::ptrdiff_t(i), v.begin() + std::ptrdiff_t(j));
            one.points.assign(path.points.begin() + std::ptrdiff_t(figureStart),
                              path.points.begin() + std::ptrdiff_t(figureStart + count));
            const QPolygonF poly = toQPath(one, rule).toFillPolygon();
            figure = QRegion(poly.toPolygon(), rule == meta::FillRule::Winding ? Qt::WindingFill : Qt::OddEvenFill);
        }
        parts.push_back(std::move(figure));
        at = figureStart + count;
        i = j;
    }
    // Combined pairwise, so that many rectangles cost n log n, not n squared.
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve(parts.size() / 2 + 1);
        for (std::size_t k = 0; k + 1 < parts.size(); k += 2)
            next.push_back(rule == meta::FillRule::Winding ? parts[k].united(parts[k + 1]) : parts[k].xored(parts[k + 1]));
        if (parts.size() % 2) next.push_back(std::move(parts.back()));
        parts = std::move(next);
    }
    return parts.empty() ? QRegion() : parts.front();
}

QPainter::CompositionMode blitComposition(meta::BlitMode m) {
    switch (m) {
    case meta::BlitMode::SrcPaint: return QPainter::RasterOp_SourceOrDestination;
    case meta::BlitMode::SrcAnd: return QPainter::RasterOp_SourceAndDestination;
    case meta::BlitMode::SrcInvert: return QPainter::RasterOp_SourceXorDestination;
    case meta::BlitMode::SrcErase: return QPainter::RasterOp_SourceAndNotDestination;
    case meta::BlitMode::NotSrcCopy: return QPainter::RasterOp_NotSource;
    case meta::BlitMode::NotSrcErase: return QPainter::RasterOp_NotSourceAndNotDestination;
    case meta::BlitMode::MergePaint: return QPainter::RasterOp_NotSourceOrDestination;
    case meta::BlitMode::AlphaBlend:
    case meta::BlitMode::Transparent: return QPainter::CompositionMode_SourceOver;
    case meta::BlitMode::SrcCopy: break;
    }
    return QPainter::CompositionMode_Source;
}

// A bitmap decoded for drawing the part from of it onto dest. A source of
// more pixels than it is drawn at (and than a small cap) is picked down
// first, straight from its bits; from is then the part in the smaller
// image.
QImage decodeForDrawing(const meta::Dib& dib, QRectF& from, const meta::DestQuad& dest, bool smooth, bool alpha) {
    const QRectF whole(0, 0, dib.width, std::abs(dib.height));
    const QRect part = from.intersected(whole).toAlignedRect().intersected(whole.toRect());
    if (part.isEmpty()) return {};
    if (double(part.width()) * part.height() <= meta::kMaxDecodedBitmapPixels) return dibToImage(dib, alpha);
    // Pixels across and down as drawn, twice that for smooth stretching,
    // but no more than the cap's worth when drawn larger than that.
    const double across = std::hypot(dest.topRight.x - dest.topLeft.x, dest.topRight.y - dest.topLeft.y);
    const double down = std::hypot(dest.bottomLeft.x - dest.topLeft.x, dest.bottomLeft.y - dest.topLeft.y);
    double sx = std::min(1.0, (smooth ? 2 : 1) * across / from.width());
    double sy = std::min(1.0, (smooth ? 2 : 1) * down / from.height());
    const double over = double(part.width()) * sx * part.height() * sy / (4 * meta::kMaxDecodedBitmapPixels);
    if (over > 1) sx /= std::sqrt(over), sy /= std::sqrt(over);
    const int w = std::clamp(int(std::ceil(part.width() * sx)), 1, part.width());
    const int h = std::clamp(int(std::ceil(part.height() * sy)), 1, part.height());
    meta::Dib small;
    if (!meta::sampleDib(dib, {part.x(), part.y(), part.width(), part.height()}, w, h, small))
        // Bits that hold every pixel bound what decoding them whole costs.
        return double(dib.bytes.size()) * 8 >= double(part.width()) * part.height() ? dibToImage(dib, alpha) : QImage();
    const double kx = double(w) / part.width(), ky = double(h) / part.height();
    from = QRectF((from.x() - part.x()) * kx, (from.y() - part.y()) * ky, from.width() * kx, from.height() * ky);
    return dibToImage(small, alpha);
}

// Glyphs of a font placed one after another along the baseline.
QGlyphRun glyphRun(const QRawFont& font, QList<quint32> glyphs, const std::vector<double>& advances, double x,
                   double baseline) {
    QList<QPointF> at;
    for (std::size_t i = 0, n = std::min<std::size_t>(glyphs.size(), advances.size()); i < n; ++i)
        at.push_back(QPointF(x, baseline)), x += advances[i];
    glyphs.resize(at.size());
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(at);
    return run;
}

bool haveGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

QImage dibToImage(const meta::Dib& dib, bool withAlpha) {
    WorkBitmap bmp;
    try {
        bmp = decodeDib(dib.bytes, "bitmap");
    } catch (const UserError&) {
        return {};
    }
    if (bmp.empty()) return {};
    const int w = bmp.width(), h = bmp.height();
    if (withAlpha && bmp.format() == PixelFormat::Bits32) {
        QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
        if (img.isNull()) return {};
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = bmp.constRow(y);
            QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int a = in[4 * x + 3];
                // Premultiplied values above their alpha would not be valid colours.
                out[x] = qRgba(std::min<int>(in[4 * x + 2], a), std::min<int>(in[4 * x + 1], a),
                               std::min<int>(in[4 * x], a), a);
            }
        }
        return img;
    }
    const WorkBitmap rgb = bmp.to24();
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull()) return {};
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = rgb.constRow(y);
        QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
    }
    return img;
}

PainterSurface::PainterSurface(QPainter& painter, int width, int height, TextShortfall* shortfall)
    : p_(painter), width_(width), height_(height), shortfall_(shortfall) {
    p_.setRenderHint(QPainter::Antialiasing, false);
    p_.setRenderHint(QPainter::TextAntialiasing, true);
    p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

bool PainterSurface::applyMix(meta::Mix mix) {
    using M = meta::Mix;
    using Q = QPainter;
    switch (mix) {
    case M::Nop: return false;
    case M::NotOr: p_.setCompositionMode(Q::RasterOp_NotSourceAndNotDestination); break;
    case M::NotPenAnd: p_.setCompositionMode(Q::RasterOp_NotSourceAndDestination); break;
    case M::NotCopy: p_.setCompositionMode(Q::RasterOp_NotSource); break;
    case M::PenAndNot: p_.setCompositionMode(Q::RasterOp_SourceAndNotDestination); break;
    case M::Invert: p_.setCompositionMode(Q::RasterOp_NotDestination); break;
    case M::Xor: p_.setCompositionMode(Q::RasterOp_SourceXorDestination); break;
    case M::NotAnd: p_.setCompositionMode(Q::RasterOp_NotSourceOrNotDestination); break;
    case M::And: p_.setCompositionMode(Q::RasterOp_SourceAndDestination); break;
    case M::NotXor: p_.setCompositionMode(Q::RasterOp_NotSourceXorDestination); break;
    case M::NotPenOr: p_.setCompositionMode(Q::RasterOp_NotSourceOrDestination); break;
    case M::PenOrNot: p_.setCompositionMode(Q::RasterOp_SourceOrNotDestination); break;
    case M::Or: p_.setCompositionMode(Q::RasterOp_SourceOrDestination); break;
    default: p_.setCompositionMode(Q::CompositionMode_SourceOver); break;  // copy, black, white
    }
    return true;
}

const QImage* PainterSurface::pattern(const meta::Brush& brush) {
    if (!brush.pattern) return nullptr;
    const auto it = patterns_.find(brush.pattern.get());
    if (it != patterns_.end()) return it->second.isNull() ? nullptr : &it->second;
    // The brush keeps its bitmap alive while its decoded image is cached.
    keepPatterns_.push_back(brush.pattern);
    // A huge pattern is tiled at no more than the cap's size.
    const meta::Dib& dib = *brush.pattern;
    QRectF whole(0, 0, dib.width, std::abs(dib.height));
    const double scale = std::sqrt(meta::kMaxDecodedBitmapPixels / (whole.width() * whole.height()));
    const meta::DestQuad drawn{{0, 0}, {whole.width() * scale, 0}, {0, whole.height() * scale}};
    const QImage& img = patterns_[brush.pattern.get()] = decodeForDrawing(dib, whole, drawn, false, false);
    return img.isNull() ? nullptr : &img;
}

void PainterSurface::fillPath(const meta::Path& path, meta::FillRule rule, const meta::Brush& brush, meta::Mix mix,
                              const meta::Background& bg) {
    if (path.empty() || brush.style == meta::BrushStyle::Null || !applyMix(mix)) return;
    QColor color = qcolor(brush.color);
    if (mix == meta::Mix::Black) color = Qt::black;
    if (mix == meta::Mix::White) color = Qt::white;
    QBrush qb(color);
    if (mix == meta::Mix::Black || mix == meta::Mix::White || mix == meta::Mix::Invert) {
        // Colour-free mixes: the brush only marks the area.
    } else if (brush.style == meta::BrushStyle::Hatched) {
        static constexpr Qt::BrushStyle kHatch[6] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        qb.setStyle(kHatch[std::clamp(brush.hatch, 0, 5)]);
    } else if (brush.style == meta::BrushStyle::Pattern) {
        if (const QImage* img = pattern(brush)) qb = QBrush(*img);
    }
    const QPainterPath qp = toQPath(path, rule);
    if (brush.style == meta::BrushStyle::Hatched && bg.opaque && mix == meta::Mix::Copy)
        p_.fillPath(qp, qcolor(bg.color));
    p_.fillPath(qp, qb);
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void PainterSurface::strokePath(const meta::Path& path, const meta::Pen& pen, meta::Mix mix,
                                const meta::Background& bg) {
    if (path.empty() || pen.style == meta::PenStyle::Null || !applyMix(mix)) return;
    QColor color = qcolor(pen.color);
    if (mix == meta::Mix::Black) color = Qt::black;
    if (mix == meta::Mix::White) color = Qt::white;
    QPen qp(color);
    // Lines wider than twice the picture look the same as lines that wide;
    // the painter refuses widths past some 32 thousand pixels.
    const double widest = std::min(30000.0, 2.0 * std::max(width_, height_) + 16);
    qp.setWidthF(pen.width <= 1.0 ? 0.0 : std::min(pen.width, widest));
    switch (pen.style) {
    case meta::PenStyle::Dash: qp.setStyle(Qt::DashLine); break;
    case meta::PenStyle::Dot: qp.setStyle(Qt::DotLine); break;
    case meta::PenStyle::DashDot: qp.setStyle(Qt::DashDotLine); break;
    case meta::PenStyle::DashDotDot: qp.setStyle(Qt::DashDotDotLine); break;
    default: qp.setStyle(Qt::SolidLine); break;
    }
    qp.setCapStyle(pen.cap == meta::LineCap::Flat     ? Qt::FlatCap
                   : pen.cap == meta::LineCap::Square ? Qt::SquareCap
                                                      : Qt::RoundCap);
    qp.setJoinStyle(pen.join == meta::LineJoin::Miter   ? Qt::MiterJoin
                    : pen.join == meta::LineJoin::Bevel ? Qt::BevelJoin
                                                        : Qt::RoundJoin);
    qp.setMiterLimit(pen.miterLimit);
    p_.setBackgroundMode(bg.opaque && qp.style() != Qt::SolidLine ? Qt::OpaqueMode : Qt::TransparentMode);
    p_.setBackground(qcolor(bg.color));
    p_.strokePath(toQPath(path, meta::FillRule::Alternate), qp);
    p_.setBackgroundMode(Qt::TransparentMode);
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QString PainterSurface::familyFor(const std::string& face, int pitchAndFamily) {
    static std::map<std::pair<std::string, int>, QString> cache;
    const auto key = std::make_pair(face, pitchAndFamily);
    if (const auto it = cache.find(key); it != cache.end()) return it->second;

    const std::string name = meta::faceKey(face);
    const auto q = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
    QString family;
    if (meta::symbolFaceOf(name) != meta::SymbolFace::None) family = q(meta::kSignFamily);
    else if (const std::string_view known = meta::tableFamilyOf(name); !known.empty()) family = q(known);
    else if (const QString own = q(meta::trimmedFaceName(face)); !own.isEmpty() && QFontDatabase::hasFamily(own))
        family = own;  // the author's own font is installed
    else family = q(meta::familyOfKind(pitchAndFamily));
    if (!QFontDatabase::hasFamily(family)) family = q(meta::kLastResortFamily);
    cache.emplace(key, family);
    return family;
}

bool PainterSurface::substituted(const meta::Font& f) {
    const std::string_view own = meta::trimmedFaceName(f.face);
    const QString name = QString::fromUtf8(own.data(), qsizetype(own.size()));
    return familyFor(f.face, f.pitchAndFamily).compare(name, Qt::CaseInsensitive) != 0;
}

// The installed font a metafile's font is drawn with, at its size.
QFont PainterSurface::fontFor(const meta::Font& f) {
    QFont font(familyFor(f.face, f.pitchAndFamily));
    font.setWeight(QFont::Weight(std::clamp(f.weight == 0 ? 400 : f.weight, 100, 900)));
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    font.setStyleStrategy(QFont::PreferOutline);
    double px = f.height;
    if (f.cellHeight) {
        // The height given includes the internal leading: find the size
        // whose ascent plus descent is that height.
        font.setPixelSize(1000);
        const QFontMetricsF m(font);
        if (m.height() > 0) px = px * 1000 / (m.ascent() + m.descent());
    }
    font.setPixelSize(std::max(1, int(std::lround(px))));
    if (f.width > 0) {
        const QFontMetricsF m(font);
        if (m.averageCharWidth() > 0)
            font.setStretch(std::clamp(int(std::lround(100 * f.width / m.averageCharWidth())), 1, 4000));
    }
    return font;
}

namespace {

// A run of text ready to draw: its font, the characters or glyph numbers,
// where each character goes and where the run starts.
struct LaidOutText {
    QFont font;
    QString text;
    QRawFont raw;  // for glyph numbers only
    QList<quint32> glyphs;
    std::vector<double> advances;  // empty: the font's own
    double advance = 0;            // along the baseline, in pixels
    double x0 = 0, baseline = 0, ascent = 0, descent = 0;
};

// Extra space after every character: the characters placed one by one, a
// character outside the basic plane as one advance and a zero for its
// second half.
std::vector<double> spacedAdvances(const QString& text, const QFontMetricsF& m, double extra) {
    std::vector<double> advances;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        advances.push_back(m.horizontalAdvance(text.mid(i, pair ? 2 : 1)) + extra);
        if (pair) advances.push_back(0), ++i;
    }
    return advances;
}

// The advances of the run's characters, or none where the font places them.
// Glyph numbers are drawn from the font as it is installed: the same glyphs
// where it is the face the metafile was made with.
void layOutAdvances(const meta::TextRun& run, const QFontMetricsF& m, LaidOutText& t) {
    t.advances = run.advances;
    if (run.glyphIndices && t.advances.size() < std::size_t(t.glyphs.size())) {
        t.advances.clear();
        for (const QPointF& a : t.raw.advancesForGlyphIndexes(t.glyphs)) t.advances.push_back(a.x() + run.charExtra);
    }
    if (t.advances.empty() && run.charExtra != 0) t.advances = spacedAdvances(t.text, m, run.charExtra);
}

// Where the run starts against its reference point, by its alignment. The
// width of text the font places is only measured when something needs it.
void placeRun(const meta::TextRun& run, const QFontMetricsF& m, LaidOutText& t) {
    const bool measured = (run.align & 6) != meta::kAlignLeft || run.background.opaque || run.advanceUsed;
    if (!t.advances.empty()) {
        for (double a : t.advances) t.advance += a;
    } else if (measured) {
        t.advance = m.horizontalAdvance(t.text);
    }
    if ((run.align & 6) == meta::kAlignCenter) t.x0 = -t.advance / 2;
    else if ((run.align & 6) == meta::kAlignRight) t.x0 = -t.advance;
    t.ascent = m.ascent(), t.descent = m.descent();
    t.baseline = t.ascent;
    if ((run.align & 24) == meta::kAlignBaseline) t.baseline = 0;
    else if ((run.align & 24) == meta::kAlignBottom) t.baseline = -t.descent;
}

LaidOutText layOut(const meta::TextRun& run) {
    LaidOutText t;
    t.font = PainterSurface::fontFor(run.font);
    const QFontMetricsF m(t.font);
    t.text = QString::fromUtf16(run.text.data(), qsizetype(run.text.size()));
    if (run.glyphIndices) t.raw = QRawFont::fromFont(t.font);
    for (char16_t g : run.text) t.glyphs.push_back(g);
    layOutAdvances(run, m, t);
    placeRun(run, m, t);
    return t;
}

}  // namespace

double PainterSurface::drawText(const meta::TextRun& run) {
    if (run.text.empty() || !haveGuiApplication()) return 0;
    if (shortfall_ && run.glyphIndices && substituted(run.font)) {
        // Glyph numbers of a font that is not installed: the characters
        // the file carries for them, where it does.
        const QString family = familyFor(run.font.face, run.font.pitchAndFamily);
        if (const std::u16string* characters = shortfall_->charactersFor(run, family)) {
            meta::TextRun asText = run;
            asText.text = *characters, asText.glyphIndices = false;
            return drawText(asText);
        }
    }
    const LaidOutText t = layOut(run);
    if (shortfall_) shortfall_->keepCharacters(run), shortfall_->countMissingSigns(run, t.font);
    p_.save();
    p_.translate(run.origin.x, run.origin.y);
    if (run.angle != 0 && std::isfinite(run.angle)) p_.rotate(-run.angle);
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (run.background.opaque)
        p_.fillRect(QRectF(t.x0, t.baseline - t.ascent, std::fabs(t.advance), t.ascent + t.descent),
                    qcolor(run.background.color));
    p_.setFont(t.font);
    p_.setPen(qcolor(run.color));
    if (run.glyphIndices) p_.drawGlyphRun(QPointF(0, 0), glyphRun(t.raw, t.glyphs, t.advances, t.x0, t.baseline));
    else if (!t.advances.empty()) drawCharacters(run.text, t.advances, t.x0, t.baseline);
    else p_.drawText(QPointF(t.x0, t.baseline), t.text);
    p_.restore();
    return t.advance;
}

void PainterSurface::drawCharacters(const std::u16string& text, const std::vector<double>& advances, double x,
                                    double baseline) {
    for (std::size_t i = 0; i < text.size() && i < advances.size(); ++i) {
        // A character outside the basic plane is drawn from both its halves.
        const bool pair = QChar::isHighSurrogate(text[i]) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1]);
        p_.drawText(QPointF(x, baseline), QString::fromUtf16(text.data() + i, pair ? 2 : 1));
        x += advances[i];
        if (pair && ++i < advances.size()) x += advances[i];
    }
}

void PainterSurface::drawBitmap(const meta::Dib& dib, const meta::SourceRect& src, const meta::DestQuad& dest,
                                const meta::Blit& how) {
    if (src.width <= 0 || src.height <= 0) return;
    const bool alpha = how.mode == meta::BlitMode::AlphaBlend && how.sourceAlpha;
    QRectF from(src.x, src.y, src.width, src.height);
    QImage img = decodeForDrawing(dib, from, dest, how.smooth, alpha);
    if (img.isNull()) return;
    if (how.mode == meta::BlitMode::Transparent) {
        // The key colour becomes see-through.
        img = img.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = qRgb(redOf(how.key), greenOf(how.key), blueOf(how.key));
        for (int y = 0; y < img.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if ((row[x] | 0xFF000000u) == key) row[x] = 0;
        }
    }
    const double sw = src.width, sh = src.height;
    const QTransform place((dest.topRight.x - dest.topLeft.x) / sw, (dest.topRight.y - dest.topLeft.y) / sw,
                           (dest.bottomLeft.x - dest.topLeft.x) / sh, (dest.bottomLeft.y - dest.topLeft.y) / sh,
                           dest.topLeft.x, dest.topLeft.y);
    if (!place.isInvertible()) return;
    p_.save();
    p_.setTransform(place, true);
    p_.setCompositionMode(blitComposition(how.mode));
    p_.setRenderHint(QPainter::SmoothPixmapTransform, how.smooth);
    if (how.mode == meta::BlitMode::AlphaBlend) p_.setOpacity(how.alpha / 255.0);
    p_.drawImage(QRectF(0, 0, sw, sh), img, from);
    p_.restore();
}

void PainterSurface::gradientRect(meta::Point a, meta::Point b, ColorValue from, ColorValue to, bool vertical) {
    const QRectF r = QRectF(QPointF(a.x, a.y), QPointF(b.x, b.y)).normalized();
    if (r.isEmpty()) return;
    QLinearGradient g(QPointF(a.x, a.y), vertical ? QPointF(a.x, b.y) : QPointF(b.x, a.y));
    g.setColorAt(0, qcolor(from));
    g.setColorAt(1, qcolor(to));
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p_.fillRect(r, QBrush(g));
}

void PainterSurface::gradientTriangle(const meta::GradientVertex& a, const meta::GradientVertex& b,
                                      const meta::GradientVertex& c) {
    // Shaded along the line from a to the middle of b and c, an
    // approximation of three-corner shading that keeps each corner's colour
    // close to its own.
    QPolygonF tri;
    tri << QPointF(a.at.x, a.at.y) << QPointF(b.at.x, b.at.y) << QPointF(c.at.x, c.at.y);
    const ColorValue mid = makeColor((redOf(b.color) + redOf(c.color)) / 2, (greenOf(b.color) + greenOf(c.color)) / 2,
                                     (blueOf(b.color) + blueOf(c.color)) / 2);
    QLinearGradient g(QPointF(a.at.x, a.at.y), QPointF((b.at.x + c.at.x) / 2, (b.at.y + c.at.y) / 2));
    g.setColorAt(0, qcolor(a.color));
    g.setColorAt(1, qcolor(mid));
    QPainterPath path;
    path.addPolygon(tri);
    p_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p_.fillPath(path, QBrush(g));
}

void PainterSurface::applyClip() {
    if (clip_.active) p_.setClipRegion(clip_.region);
    else p_.setClipping(false);
}

void PainterSurface::clip(meta::ClipOp op, const meta::Path& path, meta::FillRule rule) {
    const QRegion r = regionOf(path, rule);
    // Everything that can be drawn on, with room for strokes past the edge.
    const QRegion all(-16, -16, width_ + 32, height_ + 32);
    const QRegion current = clip_.active ? clip_.region : all;
    switch (op) {
    case meta::ClipOp::Replace: clip_.region = r; break;
    case meta::ClipOp::Intersect: clip_.region = current.intersected(r); break;
    case meta::ClipOp::Exclude: clip_.region = current.subtracted(r); break;
    case meta::ClipOp::Unite:
        if (!clip_.active) return;  // already everything
        clip_.region = current.united(r);
        break;
    case meta::ClipOp::Xor: clip_.region = current.xored(r); break;
    }
    clip_.active = true;
    applyClip();
}

void PainterSurface::resetClip() {
    clip_ = ClipState{};
    applyClip();
}

void PainterSurface::offsetClip(double dx, double dy) {
    if (!clip_.active || !std::isfinite(dx) || !std::isfinite(dy)) return;
    clip_.region.translate(int(std::lround(std::clamp(dx, -1e7, 1e7))), int(std::lround(std::clamp(dy, -1e7, 1e7))));
    applyClip();
}

void PainterSurface::save() { saved_.push_back(clip_); }

void PainterSurface::restore() {
    if (saved_.empty()) return;
    clip_ = saved_.back();
    saved_.pop_back();
    applyClip();
}

namespace {

// Rows of a band of a picture width pixels wide: at most 16 megapixels
// (64 MB of drawing buffer).
int defaultBandRows(int width) { return int(std::clamp((16LL << 20) / std::max(width, 1), 1LL, 1LL << 30)); }

// Copies the first rows of a drawing buffer into picture from row y0 on.
void copyBand(const QImage& buffer, int rows, WorkBitmap& picture, int y0) {
    const int w = picture.width();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* in = buffer.constScanLine(y);
        std::uint8_t* out = picture.row(y0 + y);
        for (int x = 0; x < w; ++x) {
            out[3 * x] = in[4 * x];
            out[3 * x + 1] = in[4 * x + 1];
            out[3 * x + 2] = in[4 * x + 2];
        }
    }
}

}  // namespace

namespace {

// Draws the metafile into picture, band after band, all bands charged to
// budget.
void drawBands(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind, WorkBitmap& picture,
               int bandRows, meta::PlayBudget& budget, TextShortfall& text) {
    const int w = picture.width(), h = picture.height();
    const int band = std::clamp(bandRows, 1, h);
    QImage buffer(w, band, QImage::Format_RGB32);
    if (buffer.isNull()) throw FileError(name, "there is not enough memory to draw it");
    const int passes = (h + band - 1) / band;
    for (int y0 = 0; y0 < h; y0 += band) {
        const int rows = std::min(band, h - y0);
        buffer.fill(Qt::white);
        {
            QPainter painter(&buffer);
            painter.translate(0, -y0);
            PainterSurface surface(painter, w, h, &text);
            playMetafile(bytes, name, kind, surface, budget, {y0, y0 + rows, y0 / band, passes});
        }
        copyBand(buffer, rows, picture, y0);
    }
}

}  // namespace

WorkBitmap renderMetafile(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                          std::chrono::milliseconds timeLimit, std::string* warnings) {
    const MetafileSize size = metafileNaturalSize(bytes, name, kind);
    return renderMetafileInBands(bytes, name, kind, timeLimit, defaultBandRows(size.width), warnings);
}

WorkBitmap renderMetafileInBands(std::span<const std::uint8_t> bytes, const std::string& name, PictureKind kind,
                                 std::chrono::milliseconds timeLimit, int bandRows, std::string* warnings) {
    const MetafileSize size = metafileNaturalSize(bytes, name, kind);
    WorkBitmap picture(size.width, size.height);
    if (picture.empty()) return picture;
    // Every band plays the whole metafile, clipped to its rows, and all of
    // them share one budget of time and work.
    TextShortfall text;
    meta::PlayBudget budget(name, timeLimit);
    drawBands(bytes, name, kind, picture, bandRows, budget, text);
    if (text.lateCharacters()) {
        // Glyph numbers came before the characters the file carries for
        // them: drawn again, from the characters (a play of its own time).
        text.startAgain();
        meta::PlayBudget again(name, timeLimit);
        drawBands(bytes, name, kind, picture, bandRows, again, text);
    }
    if (warnings) *warnings = text.warnings(name);
    return picture;
}

}  // namespace hueline
