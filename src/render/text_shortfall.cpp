// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/text_shortfall.h"

#include <QFontDatabase>
#include <QRawFont>

#include <algorithm>
#include <cmath>

#include "imaging/metafile/symbol_fonts.h"

namespace hueline {

namespace {

std::string faceOf(const meta::TextRun& run) { return std::string(meta::trimmedFaceName(run.font.face)); }

long whole(double v) { return std::isfinite(v) ? long(std::lround(std::clamp(v, -1e9, 1e9))) : 0; }

}  // namespace

TextShortfall::Key TextShortfall::keyOf(const meta::TextRun& run) {
    return {meta::faceKey(run.font.face), whole(run.origin.x), whole(run.origin.y), run.text.size()};
}

void TextShortfall::countMissingSigns(const meta::TextRun& run, const QFont& font) {
    if (meta::symbolFaceOf(run.font.face) == meta::SymbolFace::None || run.glyphIndices) return;
    // Whether a font has a character does not depend on its size: one raw
    // font a family will do.
    auto at = raws_.find(font.family());
    if (at == raws_.end()) at = raws_.emplace(font.family(), QRawFont::fromFont(font)).first;
    const QRawFont& raw = at->second;
    long missing = 0;
    const QString text = QString::fromUtf16(run.text.data(), qsizetype(run.text.size()));
    for (char32_t c : text.toUcs4())
        missing += c > 0x20 && !raw.supportsCharacter(c) && !installedFontHas(c);
    if (missing > 0 && counted_.emplace(keyOf(run), run.text).second) missing_[faceOf(run)] += missing;
}

bool TextShortfall::installedFontHas(char32_t c) {
    if (const auto it = known_.find(c); it != known_.end()) return it->second;
    if (installed_.empty())
        for (const QString& family : QFontDatabase::families()) installed_.push_back(QRawFont::fromFont(QFont(family)));
    const bool has = std::any_of(installed_.begin(), installed_.end(), [c](const QRawFont& f) { return f.supportsCharacter(c); });
    known_.emplace(c, has);
    return has;
}

void TextShortfall::keepCharacters(const meta::TextRun& run) {
    if (run.glyphIndices || run.text.empty()) return;
    const Key key = keyOf(run);
    if (drawnAsGlyphs_.count(key)) late_ = true;
    characters_.emplace(key, run.text);
}

const std::u16string* TextShortfall::charactersFor(const meta::TextRun& run, const QString& family) {
    const Key key = keyOf(run);
    if (const auto it = characters_.find(key); it != characters_.end()) return &it->second;
    drawnAsGlyphs_.insert(key);
    glyphFaces_.emplace(faceOf(run), family.toStdString());
    return nullptr;
}

void TextShortfall::startAgain() {
    counted_.clear(), missing_.clear(), drawnAsGlyphs_.clear(), glyphFaces_.clear();
    late_ = false;
}

std::string TextShortfall::warnings(const std::string& name) const {
    std::string out;
    for (const auto& [face, n] : missing_)
        out += name + ": " + std::to_string(n) + (n == 1 ? " sign of " : " signs of ") + face + " could not be drawn\n";
    for (const auto& [face, family] : glyphFaces_)
        out += name + ": text in " + face + ", stored as that font's glyph numbers, was drawn with the glyphs of " +
               family + "; letters beyond basic Latin may be wrong\n";
    if (!out.empty()) out.pop_back();
    return out;
}

}  // namespace hueline
