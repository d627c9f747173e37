// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/codecs/pdf_writer.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "imaging/codecs/file_io.h"
#include "imaging/codecs/vector_text.h"
#include "imaging/picture/errors.h"

namespace hueline {

namespace {

// Text deflated as it comes, so a big drawing never holds its content
// stream uncompressed.
class Deflater {
public:
    Deflater() {
        if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::bad_alloc();
    }
    ~Deflater() { deflateEnd(&z_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void add(const std::string& text, bool last) {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z_.avail_in = uInt(text.size());
        std::array<std::uint8_t, 1 << 16> chunk;
        int status = Z_OK;
        do {
            z_.next_out = chunk.data();
            z_.avail_out = uInt(chunk.size());
            status = deflate(&z_, last ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) throw std::runtime_error("the PDF content could not be compressed");
            out_.insert(out_.end(), chunk.data(), chunk.data() + (chunk.size() - z_.avail_out));
        } while (z_.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    const std::vector<std::uint8_t>& bytes() const { return out_; }

private:
    z_stream z_{};
    std::vector<std::uint8_t> out_;
};

// The page's content: the picture's coordinates in tenths (the first line
// turns PDF's upward y round), every shape filled by the non-zero rule.
class PdfContent final : public OutlineSink {
public:
    explicit PdfContent(int height) {
        text_ = "0.1 0 0 -0.1 0 ";
        appendNumber(text_, height);
        text_ += " cm\n";
    }

    void moveTo(OutlinePoint p) override {
        point(p);
        text_ += "m\n";
    }
    void lineTo(OutlinePoint p) override {
        point(p);
        text_ += "l\n";
    }
    void curveTo(OutlinePoint c1, OutlinePoint c2, OutlinePoint end) override {
        point(c1);
        point(c2);
        point(end);
        text_ += "c\n";
    }
    void closeCurve() override { text_ += "h\n"; }
    void endShape() override {
        text_ += "f\n";
        if (text_.size() >= kChunk) flush(false);
    }
    std::vector<std::uint8_t> finish() {
        flush(true);
        return deflater_.bytes();
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;

    void point(OutlinePoint p) {
        const TenthsPoint t = inTenths(p);
        appendNumber(text_, t.x);
        text_ += ' ';
        appendNumber(text_, t.y);
        text_ += ' ';
    }
    void flush(bool last) {
        deflater_.add(text_, last);
        text_.clear();
    }

    std::string text_;
    Deflater deflater_;
};

void appendText(std::vector<std::uint8_t>& file, const std::string& text) { file.insert(file.end(), text.begin(), text.end()); }

}  // namespace

std::vector<std::uint8_t> encodePdf(const TracedOutlines& outlines) {
    PdfContent content(outlines.height());
    outlines.draw(content);
    const std::vector<std::uint8_t> stream = content.finish();

    std::vector<std::uint8_t> file;
    std::array<std::size_t, 4> offsets{};
    appendText(file, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    offsets[0] = file.size();
    appendText(file, "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    offsets[1] = file.size();
    appendText(file, "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n");
    offsets[2] = file.size();
    appendText(file, "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(outlines.width()) + " " +
                         std::to_string(outlines.height()) + "] /Resources << >> /Contents 4 0 R >>\nendobj\n");
    offsets[3] = file.size();
    appendText(file, "4 0 obj\n<< /Length " + std::to_string(stream.size()) + " /Filter /FlateDecode >>\nstream\n");
    file.insert(file.end(), stream.begin(), stream.end());
    appendText(file, "\nendstream\nendobj\n");

    const std::size_t xref = file.size();
    appendText(file, "xref\n0 5\n0000000000 65535 f \n");
    for (const std::size_t offset : offsets) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        appendText(file, entry);
    }
    appendText(file, "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
    return file;
}

std::vector<std::uint8_t> encodePdf(const WorkBitmap& picture) {
    if (picture.empty()) throw UserError("the picture is empty, so there is nothing to save");
    return encodePdf(TracedOutlines(picture));
}

void writePdfFile(const WorkBitmap& picture, const std::string& path) { writeFileAtomically(path, encodePdf(picture)); }

}  // namespace hueline
