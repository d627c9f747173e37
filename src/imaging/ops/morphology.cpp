// SPDX-License-Identifier: GPL-3.0-or-later
// Binary morphology: Erode, Dilate, Thin and Pen-and-ink.
//
// Each pass classifies every input row once into byte masks, one byte per
// pixel, 0xFF where a test holds (white, black, or the red-byte white
// indicator of Thin), keeping the masks of rows y-1, y and y+1 at hand.
// The step then works on masks only, which is a contiguous byte loop the
// compiler vectorises, and produces one output mask per row; a writer
// finally spreads that mask over the pixel's three bytes. Reading masks of
// the unchanged input keeps the visiting order out of the result.
//
// The commands Erode, Dilate and Pen-and-ink threshold the picture first.
// Their fused forms classify rows straight by the B&W threshold, so the
// thresholded picture is never built: the output of a pass on a black and
// white picture is a function of the white mask alone.
#include "imaging/ops/morphology.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/ops/tones.h"

namespace hueline {
namespace {

using Byte = std::uint8_t;

// ---- Classifying rows ----------------------------------------------------

// Whole-pixel tests: white when all three bytes are 255, black when all
// three are 0.
__attribute__((target_clones("avx2", "default"))) void classifyWhole(const Byte* __restrict row, int width,
                                                                     Byte* __restrict white,
                                                                     Byte* __restrict black) {
    for (int x = 0; x < width; ++x) {
        const Byte b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
        white[x] = Byte(b & g & r) == 255 ? 0xFF : 0;
        black[x] = Byte(b | g | r) == 0 ? 0xFF : 0;
    }
}

// Thin's white indicator: the red byte alone is 255.
__attribute__((target_clones("avx2", "default"))) void classifyRed(const Byte* __restrict row, int width,
                                                                   Byte* __restrict white) {
    for (int x = 0; x < width; ++x) white[x] = row[3 * x + 2] == 255 ? 0xFF : 0;
}

// ---- Writing rows --------------------------------------------------------

// out := in with the pixels of the mask made white.
__attribute__((target_clones("avx2", "default"))) void writeWhitened(const Byte* __restrict in,
                                                                     const Byte* __restrict mask, int width,
                                                                     Byte* __restrict out) {
    for (int x = 0; x < width; ++x) {
        out[3 * x] = in[3 * x] | mask[x];
        out[3 * x + 1] = in[3 * x + 1] | mask[x];
        out[3 * x + 2] = in[3 * x + 2] | mask[x];
    }
}

// out := in with the pixels of the mask made black.
__attribute__((target_clones("avx2", "default"))) void writeBlackened(const Byte* __restrict in,
                                                                      const Byte* __restrict mask, int width,
                                                                      Byte* __restrict out) {
    for (int x = 0; x < width; ++x) {
        out[3 * x] = in[3 * x] & Byte(~mask[x]);
        out[3 * x + 1] = in[3 * x + 1] & Byte(~mask[x]);
        out[3 * x + 2] = in[3 * x + 2] & Byte(~mask[x]);
    }
}

// out := white where the mask is set, black elsewhere.
__attribute__((target_clones("avx2", "default"))) void writeBlackWhite(const Byte* __restrict, const Byte* __restrict mask,
                                                                       int width, Byte* __restrict out) {
    for (int x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = mask[x];
}

// ---- Steps on masks --------------------------------------------------------
// Each computes the output mask of the interior pixels 1 .. width-2 of a
// row from the masks of rows y-1 (u), y (m) and y+1 (d).

// Erode: black with a white edge neighbour.
__attribute__((target_clones("avx2", "default"))) void erodeStep(const Byte* __restrict uW, const Byte* __restrict mW,
                                                                 const Byte* __restrict mB, const Byte* __restrict dW,
                                                                 int width, Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x) o[x] = mB[x] & (mW[x - 1] | mW[x + 1] | uW[x] | dW[x]);
}

// Dilate: white with a black edge neighbour.
__attribute__((target_clones("avx2", "default"))) void dilateStep(const Byte* __restrict uB, const Byte* __restrict mW,
                                                                  const Byte* __restrict mB, const Byte* __restrict dB,
                                                                  int width, Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x) o[x] = mW[x] & (mB[x - 1] | mB[x + 1] | uB[x] | dB[x]);
}

// Pen-and-ink: the whole 3x3 block is black.
__attribute__((target_clones("avx2", "default"))) void hollowStep(const Byte* __restrict uB, const Byte* __restrict mB,
                                                                  const Byte* __restrict dB, int width,
                                                                  Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x)
        o[x] = uB[x - 1] & uB[x] & uB[x + 1] & mB[x - 1] & mB[x] & mB[x + 1] & dB[x - 1] & dB[x] & dB[x + 1];
}

// Thin: the four tests on the eight white indicators of the neighbours.
__attribute__((target_clones("avx2", "default"))) void thinStep(const Byte* __restrict u, const Byte* __restrict m,
                                                                const Byte* __restrict d, int width,
                                                                Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x) {
        // Clockwise from upper-left, as 0 or 1.
        const Byte p1 = u[x - 1] & 1, p2 = u[x] & 1, p3 = u[x + 1] & 1, p4 = m[x + 1] & 1;
        const Byte p5 = d[x + 1] & 1, p6 = d[x] & 1, p7 = d[x - 1] & 1, p8 = m[x - 1] & 1;
        const Byte whites = Byte(p1 + p2 + p3 + p4 + p5 + p6 + p7 + p8);
        // A 0 followed by a 1 around the cycle, back to upper-left.
        const Byte steps = Byte((~p1 & p2) + (~p2 & p3) + (~p3 & p4) + (~p4 & p5) + (~p5 & p6) + (~p6 & p7) +
                                (~p7 & p8) + (~p8 & p1));
        const bool remove = whites >= 2 && whites <= 6 && steps == 1 && (p2 & p4 & p6) == 0 && (p8 & p4 & p6) == 0;
        o[x] = remove ? 0xFF : 0;
    }
}

// Fused steps on the white mask of a thresholded picture: the output's
// whole white mask.
__attribute__((target_clones("avx2", "default"))) void erodeFused(const Byte* __restrict u, const Byte* __restrict m,
                                                                  const Byte* __restrict d, int width,
                                                                  Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x) o[x] = m[x] | m[x - 1] | m[x + 1] | u[x] | d[x];
}

__attribute__((target_clones("avx2", "default"))) void dilateFused(const Byte* __restrict u, const Byte* __restrict m,
                                                                   const Byte* __restrict d, int width,
                                                                   Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x) o[x] = m[x] & m[x - 1] & m[x + 1] & u[x] & d[x];
}

__attribute__((target_clones("avx2", "default"))) void hollowFused(const Byte* __restrict u, const Byte* __restrict m,
                                                                   const Byte* __restrict d, int width,
                                                                   Byte* __restrict o) {
    for (int x = 1; x < width - 1; ++x)
        o[x] = m[x] | Byte(~(u[x - 1] | u[x] | u[x + 1] | m[x - 1] | m[x + 1] | d[x - 1] | d[x] | d[x + 1]));
}

// ---- The pass ------------------------------------------------------------

enum class Test { Whole, Red, Threshold };

struct RowMasks {
    std::vector<Byte> white, black;
};

void classify(Test test, const Byte* row, int width, RowMasks& m) {
    switch (test) {
    case Test::Whole: classifyWhole(row, width, m.white.data(), m.black.data()); break;
    case Test::Red: classifyRed(row, width, m.white.data()); break;
    case Test::Threshold:
        thresholdMaskRow(row, width, LuminanceForm::Threshold, kBlackWhiteThreshold, m.white.data());
        break;
    }
}

// One pass over a picture. step(u, m, d, o, width) fills the output mask
// of an interior row's pixels 1 .. width-2; the other entries of o, and the
// whole of o on the first and last rows, keep their values: the row's own
// white mask when thresholdBorder is set, else 0 (no change). Then
// write(in row, o, width, out row) produces the output row.
using Writer = void (*)(const Byte*, const Byte*, int, Byte*);

template <typename Step>
WorkBitmap binaryPass(const WorkBitmap& picture, Test test, bool thresholdBorder, Step step, Writer write) {
    const WorkBitmap in = picture.to24();
    const int w = in.width(), h = in.height();
    if (in.empty()) return in;
    WorkBitmap out = WorkBitmap::uninitialized24(w, h);

    std::array<RowMasks, 3> ring;
    for (RowMasks& m : ring) {
        m.white.assign(std::size_t(w), 0);
        if (test == Test::Whole) m.black.assign(std::size_t(w), 0);
    }
    std::vector<Byte> o(std::size_t(w), 0);

    classify(test, in.row(0), w, ring[0]);
    for (int y = 0; y < h; ++y) {
        if (y + 1 < h) classify(test, in.row(y + 1), w, ring[std::size_t(y + 1) % 3]);
        const RowMasks& m = ring[std::size_t(y) % 3];
        // The border keeps its value: for the fused forms that is the
        // thresholded pixel, for the others "no change".
        if (thresholdBorder) o.assign(m.white.begin(), m.white.end());
        else std::fill(o.begin(), o.end(), Byte(0));
        if (y > 0 && y < h - 1 && w >= 3) {
            const RowMasks& u = ring[std::size_t(y - 1) % 3];
            const RowMasks& d = ring[std::size_t(y + 1) % 3];
            step(u, m, d, o.data(), w);
        }
        write(in.row(y), o.data(), w, out.row(y));
    }
    return out;
}

}  // namespace

WorkBitmap dilatedPicture(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Whole, false,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            dilateStep(u.black.data(), m.white.data(), m.black.data(), d.black.data(), w, o);
        },
        writeBlackened);
}

WorkBitmap erodedPicture(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Whole, false,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            erodeStep(u.white.data(), m.white.data(), m.black.data(), d.white.data(), w, o);
        },
        writeWhitened);
}

WorkBitmap thinnedPicture(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Red, false,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            thinStep(u.white.data(), m.white.data(), d.white.data(), w, o);
        },
        writeWhitened);
}

WorkBitmap penAndInkPicture(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Whole, false,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            hollowStep(u.black.data(), m.black.data(), d.black.data(), w, o);
        },
        writeWhitened);
}

WorkBitmap erodedBlackWhite(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Threshold, true,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            erodeFused(u.white.data(), m.white.data(), d.white.data(), w, o);
        },
        writeBlackWhite);
}

WorkBitmap dilatedBlackWhite(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Threshold, true,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            dilateFused(u.white.data(), m.white.data(), d.white.data(), w, o);
        },
        writeBlackWhite);
}

WorkBitmap penAndInkBlackWhite(const WorkBitmap& picture) {
    return binaryPass(
        picture, Test::Threshold, true,
        [](const RowMasks& u, const RowMasks& m, const RowMasks& d, Byte* o, int w) {
            hollowFused(u.white.data(), m.white.data(), d.white.data(), w, o);
        },
        writeBlackWhite);
}

}  // namespace hueline
