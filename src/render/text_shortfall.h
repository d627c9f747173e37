// SPDX-License-Identifier: GPL-3.0-or-later
// What a metafile's text lost on its way to the installed fonts: signs no
// installed font has, and glyph numbers of a face that is not installed.
// One is kept for every band of a picture, so that a run drawn by two
// bands counts once; its warnings name the file.
#pragma once

#include <QFont>
#include <QRawFont>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "imaging/metafile/surface.h"

namespace hueline {

class TextShortfall {
public:
    // Counts the signs of a run set in a symbol font that no installed
    // font has, once per run. They are drawn as the font's replacement
    // glyph, one for each sign.
    void countMissingSigns(const meta::TextRun& run, const QFont& font);

    // Keeps a run of characters, which a run of glyph numbers at the same
    // place in the same face and of the same length may stand for.
    void keepCharacters(const meta::TextRun& run);
    // The characters the file carries for a run of glyph numbers of a face
    // that is not installed, which family draws instead, or nullptr;
    // without them the run is noted for a warning, once per face.
    const std::u16string* charactersFor(const meta::TextRun& run, const QString& family);
    // Whether a run of glyph numbers was drawn as glyphs before its
    // characters turned up: the picture is then drawn again.
    bool lateCharacters() const { return late_; }
    // Before the picture is drawn again: the losses are counted anew, the
    // characters kept.
    void startAgain();

    // One line for each kind of loss, each naming the file: "NAME: 3 signs
    // of Wingdings could not be drawn". Empty when nothing was lost.
    std::string warnings(const std::string& name) const;

private:
    // A run's face (as faceKey makes it), place in whole pixels and length.
    using Key = std::tuple<std::string, long, long, std::size_t>;
    static Key keyOf(const meta::TextRun& run);
    // Whether any installed font has the character, which Qt would then
    // draw from it.
    bool installedFontHas(char32_t c);

    std::set<std::tuple<Key, std::u16string>> counted_;
    std::map<std::string, long> missing_;        // by face as the file names it
    std::map<Key, std::u16string> characters_;
    std::set<Key> drawnAsGlyphs_;
    std::map<std::string, std::string> glyphFaces_;  // face -> the family that drew its numbers
    bool late_ = false;
    // Fonts asked which characters they have, kept for the picture only.
    std::map<QString, QRawFont> raws_;
    std::vector<QRawFont> installed_;
    std::unordered_map<char32_t, bool> known_;
};

}  // namespace hueline
