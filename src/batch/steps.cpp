// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/steps.h"

#include <array>
#include <string_view>

#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::batch {
namespace {

using Plain = void (*)(Workspace&);
using Slider = void (*)(Workspace&, int);
using Fringe = void (*)(Workspace&, const Kernel&);

struct PlainStep {
    std::string_view name;
    Plain run;
};

// The one-click commands and the workspace's own handlers, each under the
// name the command line uses for it.
const std::array<PlainStep, 15> kPlainSteps = {{
    {"gray", commands::gray},
    {"bw", commands::blackAndWhite},
    {"pen", commands::penAndInk},
    {"erode", commands::erode},
    {"dilate", commands::dilate},
    {"thin", commands::thin},
    {"inverse", commands::inverse},
    {"sharpen", commands::sharpen},
    {"median", commands::median},
    {"undo", [](Workspace& ws) { ws.undo(); }},
    {"renew", [](Workspace& ws) { ws.renew(); }},
    {"give", [](Workspace& ws) { ws.give(); }},
    {"get", [](Workspace& ws) { ws.get(); }},
    {"zoomout", [](Workspace& ws) { commands::zoom(ws, commands::kZoomOut); }},
    {"zoomin", [](Workspace& ws) { commands::zoom(ws, commands::kZoomIn); }},
}};

struct SliderStep {
    std::string_view name;
    Slider run;
};
const std::array<SliderStep, 2> kSliderSteps = {{
    {"bwsplit", commands::bwSplit},
    {"colorsplit", commands::colorSplit},
}};

struct FringeStep {
    std::string_view name;
    Fringe run;
    Kernel defaults;
};
const std::array<FringeStep, 3> kFringeSteps = {{
    {"fringe1", commands::fringe1, kFringe1Defaults},
    {"fringe2", commands::fringe2, kFringe2Defaults},
    {"fringe3", commands::fringe3, kFringe3Defaults},
}};

// A slider position: decimal digits only, 0 to 255, as the slider moves.
int parsePosition(std::string_view step, std::string_view text) {
    int value = 0;
    bool ok = !text.empty() && text.size() <= 3;
    // At most three digits are ever added up, so the value cannot overflow.
    for (std::size_t i = 0; ok && i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') ok = false;
        else value = value * 10 + (c - '0');
    }
    if (!ok || value > 255)
        throw UsageError(std::string(step) + ": the position must be a whole number from 0 to 255, not '" +
                         std::string(text) + "'");
    return value;
}

// Nine coefficients separated by commas, in Edit1 .. Edit9 order; each
// converted as the dialog converts its box's text.
Kernel parseCoefficients(std::string_view step, std::string_view text, const std::string& whole) {
    std::array<std::string, 9> texts;
    std::size_t n = 0, start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view field = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (n < texts.size()) texts[n] = std::string(field);
        ++n;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (n != texts.size())
        throw UsageError(std::string(step) + ": nine coefficients are needed (Edit1 to Edit9, separated by commas), not " +
                         std::to_string(n));
    try {
        return parseKernel(texts);
    } catch (const UsageError&) {
        throw;
    } catch (const UserError& e) {
        throw UsageError(whole + ": " + e.what());
    }
}

}  // namespace

Step parseStep(const std::string& text) {
    const std::size_t eq = text.find('=');
    const std::string_view name = std::string_view(text).substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string_view value = hasValue ? std::string_view(text).substr(eq + 1) : std::string_view();

    for (const PlainStep& s : kPlainSteps) {
        if (s.name != name) continue;
        if (hasValue) throw UsageError(std::string(name) + " takes no value: '" + text + "'");
        return {text, s.run};
    }
    for (const SliderStep& s : kSliderSteps) {
        if (s.name != name) continue;
        if (!hasValue) throw UsageError(std::string(name) + " needs a slider position: " + std::string(name) + "=N (0 to 255)");
        const int position = parsePosition(name, value);
        const Slider run = s.run;
        return {text, [run, position](Workspace& ws) { run(ws, position); }};
    }
    for (const FringeStep& s : kFringeSteps) {
        if (s.name != name) continue;
        const Kernel k = hasValue ? parseCoefficients(name, value, text) : s.defaults;
        const Fringe run = s.run;
        return {text, [run, k](Workspace& ws) { run(ws, k); }};
    }
    throw UsageError("unknown step '" + text + "'");
}

const std::vector<StepHelp>& stepHelp() {
    static const std::vector<StepHelp> help = {
        {"gray", "gray picture (the status word stays)"},
        {"bw", "black and white at the fixed threshold"},
        {"bwsplit=N", "B&W split slider at position N (0 to 255)"},
        {"pen", "pen-and-ink outlines"},
        {"erode", "erode the black-and-white picture"},
        {"dilate", "dilate the black-and-white picture"},
        {"thin", "thin the black lines"},
        {"inverse", "negative"},
        {"sharpen", "sharpen"},
        {"median", "median of each 3x3 neighbourhood"},
        {"fringe1", "Fringe 1 with its default coefficients"},
        {"fringe2", "Fringe 2 with its default coefficients"},
        {"fringe3", "Fringe 3 with its default coefficients"},
        {"fringeK=C1,...,C9", "Fringe K (1, 2 or 3) with nine coefficients, Edit1 to Edit9"},
        {"colorsplit=N", "Color Split slider at position N (0 to 255)"},
        {"undo", "take back the last command"},
        {"renew", "both panes back to the loaded picture"},
        {"give", "copy the result to the source pane"},
        {"get", "copy the source pane to the result"},
        {"zoomout", "both panes at 0.8 times their size"},
        {"zoomin", "both panes at 1.25 times their size"},
    };
    return help;
}

}  // namespace hueline::batch
