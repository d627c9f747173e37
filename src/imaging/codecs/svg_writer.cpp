// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/svg_writer.h"

#include "imaging/codecs/file_io.h"
#include "imaging/codecs/vector_text.h"
#include "imaging/picture/errors.h"

namespace hueline {

namespace {

// One <path> element a shape. Its data start each curve at an absolute
// point and go on by relative steps between the rounded points, so no
// rounding error adds up along a curve; a command letter is written only
// when it changes, and a minus sign stands for the space before it.
class SvgPathText final : public OutlineSink {
public:
    explicit SvgPathText(std::string& text) : text_(text) {}

    void beginShape() override { text_ += "<path d=\""; }
    void endShape() override { text_ += "\"/>\n"; }
    void moveTo(OutlinePoint p) override {
        command('M');
        at_ = inTenths(p);
        number(at_.x);
        number(at_.y);
    }
    void lineTo(OutlinePoint p) override {
        command('l');
        step(p);
    }
    void curveTo(OutlinePoint c1, OutlinePoint c2, OutlinePoint end) override {
        command('c');
        const TenthsPoint from = at_;
        const TenthsPoint a = inTenths(c1), b = inTenths(c2);
        number(a.x - from.x);
        number(a.y - from.y);
        number(b.x - from.x);
        number(b.y - from.y);
        step(end);
    }
    void closeCurve() override { command('z'); }

private:
    void command(char letter) {
        if (letter != last_ || letter == 'M' || letter == 'z') {
            text_ += letter;
            first_ = true;
        }
        last_ = letter;
    }
    void number(long long value) {
        if (!first_ && value >= 0) text_ += ' ';
        first_ = false;
        appendNumber(text_, value);
    }
    void step(OutlinePoint p) {
        const TenthsPoint to = inTenths(p);
        number(to.x - at_.x);
        number(to.y - at_.y);
        at_ = to;
    }

    std::string& text_;
    TenthsPoint at_;
    char last_ = 0;
    bool first_ = true;
};

}  // namespace

std::vector<std::uint8_t> encodeSvg(const TracedOutlines& outlines) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    const std::string w = std::to_string(outlines.width()), h = std::to_string(outlines.height());
    text += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "px\" height=\"" + h +
            "px\" viewBox=\"0 0 " + w + " " + h + "\">\n";
    text += "<g transform=\"scale(0.1)\" fill=\"#000000\" stroke=\"none\">\n";
    SvgPathText paths(text);
    outlines.draw(paths);
    text += "</g>\n</svg>\n";
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::uint8_t> encodeSvg(const WorkBitmap& picture) {
    if (picture.empty()) throw UserError("the picture is empty, so there is nothing to save");
    return encodeSvg(TracedOutlines(picture));
}

void writeSvgFile(const WorkBitmap& picture, const std::string& path) {
    writeFileAtomically(path, encodeSvg(picture));
}

}  // namespace hueline
