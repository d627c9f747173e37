// SPDX-License-Identifier: GPL-3.0-or-later
// One whole slider event in the window, offscreen: from the change of the
// B&W split slider to the repainted result pane, on a 12-megapixel photo
// and on the design-size picture. The memcpy of the same picture is
// measured in the same run as the yardstick.
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>

#include <cstring>
#include <vector>

#include "../bench_common.h"
#include "app/huelinemain.h"
#include "app/picture_pane.h"
#include "imaging/session/commands.h"

namespace hueline::bench {
namespace {

void Baseline_Copy(benchmark::State& state) { baselineCopy(state); }
HUELINE_BENCH_BOTH(Baseline_Copy);

// The window shown, a photo in both panes, the slider moved back and forth
// by one step; each event thresholds SourceSnapshot and repaints the
// visible part of the result pane.
void Window_SliderEvent(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    app::TMyPicture window;
    window.workspace().openPicture(photoLike(w, h));
    window.show();
    QApplication::processEvents();
    QSlider* slider = window.TrackBar1;
    int position = 125;
    for (auto _ : state) {
        position = position == 125 ? 126 : 125;
        slider->setValue(position);
        window.Image1->repaint();
    }
    reportPixels(state, w, h);
}
HUELINE_BENCH_BOTH(Window_SliderEvent);

// Scrolling the result pane of a 12-megapixel picture by one step: only
// the exposed strip is drawn.
void Window_ScrollResultPane(benchmark::State& state) {
    const int w = widthFor(state), h = heightFor(state);
    app::TMyPicture window;
    window.workspace().openPicture(photoLike(w, h));
    window.show();
    QApplication::processEvents();
    QScrollBar* bar = window.ScrollBox1->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        step = (step + 20) % (bar->maximum() + 1);
        bar->setValue(step);
        window.ScrollBox1->viewport()->repaint();
    }
}
BENCHMARK(Window_ScrollResultPane)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hueline::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
