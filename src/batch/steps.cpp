// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/steps.h"

#include <array>
#include <string_view>
#include <variant>

#include "imaging/session/coefficients.h"
#include "imaging/session/commands.h"

namespace hueline::batch {
namespace {

using Plain = void (*)(Workspace&);
using Slider = void (*)(Workspace&, int);
using Fringe = void (*)(Workspace&, const Kernel&);

struct FringeCommand {
    Fringe run;
    Kernel defaults;
};

// Every step under the name the command line uses for it, with what it
// does, in the order the usage text lists them: the one-click commands
// and the workspace's own handlers (Plain), the two split sliders
// (Slider, "name=N") and the fringe dialogs (FringeCommand, with their
// default coefficients or nine given ones).
struct StepEntry {
    std::string_view name;
    std::string_view what;
    std::variant<Plain, Slider, FringeCommand> command;
};

const std::array<StepEntry, 20> kSteps = {{
    {"gray", "gray picture (the status word stays)", Plain{commands::gray}},
    {"bw", "black and white at the fixed threshold", Plain{commands::blackAndWhite}},
    {"bwsplit", "B&W split slider at position N (0 to 255)", Slider{commands::bwSplit}},
    {"pen", "pen-and-ink outlines", Plain{commands::penAndInk}},
    {"erode", "erode the black-and-white picture", Plain{commands::erode}},
    {"dilate", "dilate the black-and-white picture", Plain{commands::dilate}},
    {"thin", "thin the black lines", Plain{commands::thin}},
    {"inverse", "negative", Plain{commands::inverse}},
    {"sharpen", "sharpen", Plain{commands::sharpen}},
    {"median", "median of each 3x3 neighbourhood", Plain{commands::median}},
    {"fringe1", "Fringe 1 with its default coefficients", FringeCommand{commands::fringe1, kFringe1Defaults}},
    {"fringe2", "Fringe 2 with its default coefficients", FringeCommand{commands::fringe2, kFringe2Defaults}},
    {"fringe3", "Fringe 3 with its default coefficients", FringeCommand{commands::fringe3, kFringe3Defaults}},
    {"colorsplit", "Color Split slider at position N (0 to 255)", Slider{commands::colorSplit}},
    {"undo", "take back the last command", Plain{[](Workspace& ws) { ws.undo(); }}},
    {"renew", "both panes back to the loaded picture", Plain{[](Workspace& ws) { ws.renew(); }}},
    {"give", "copy the result to the source pane", Plain{[](Workspace& ws) { ws.give(); }}},
    {"get", "copy the source pane to the result", Plain{[](Workspace& ws) { ws.get(); }}},
    {"zoomout", "both panes at 0.8 times their size", Plain{[](Workspace& ws) { commands::zoom(ws, commands::kZoomOut); }}},
    {"zoomin", "both panes at 1.25 times their size", Plain{[](Workspace& ws) { commands::zoom(ws, commands::kZoomIn); }}},
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

    for (const StepEntry& s : kSteps) {
        if (s.name != name) continue;
        if (const Plain* run = std::get_if<Plain>(&s.command)) {
            if (hasValue) throw UsageError(std::string(name) + " takes no value: '" + text + "'");
            return {text, *run};
        }
        if (const Slider* slider = std::get_if<Slider>(&s.command)) {
            if (!hasValue)
                throw UsageError(std::string(name) + " needs a slider position: " + std::string(name) + "=N (0 to 255)");
            const int position = parsePosition(name, value);
            const Slider run = *slider;
            return {text, [run, position](Workspace& ws) { run(ws, position); }};
        }
        const FringeCommand& fringe = std::get<FringeCommand>(s.command);
        const Kernel k = hasValue ? parseCoefficients(name, value, text) : fringe.defaults;
        const Fringe run = fringe.run;
        return {text, [run, k](Workspace& ws) { run(ws, k); }};
    }
    throw UsageError("unknown step '" + text + "'");
}

const std::vector<StepHelp>& stepHelp() {
    static const std::vector<StepHelp> help = [] {
        std::vector<StepHelp> lines;
        for (std::size_t i = 0; i < kSteps.size(); ++i) {
            const StepEntry& s = kSteps[i];
            const bool slider = std::holds_alternative<Slider>(s.command);
            lines.push_back({std::string(s.name) + (slider ? "=N" : ""), std::string(s.what)});
            // After the last fringe step, the form that gives coefficients.
            const bool fringe = std::holds_alternative<FringeCommand>(s.command);
            if (fringe && (i + 1 == kSteps.size() || !std::holds_alternative<FringeCommand>(kSteps[i + 1].command)))
                lines.push_back({"fringeK=C1,...,C9", "Fringe K (1, 2 or 3) with nine coefficients, Edit1 to Edit9"});
        }
        return lines;
    }();
    return help;
}

}  // namespace hueline::batch
