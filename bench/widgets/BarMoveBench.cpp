// What one move of the gradient bar costs the dialog's thread: a new position and the repaint
// it brings, painted at once. The programming job waits for none of it, but on a slow machine
// the dialog's thread shares the CPUs with the job and the programmer.
// Run: QT_QPA_PLATFORM=offscreen build/release/bench/widgets/tarnwick_bench_bar
// (or under xvfb-run to include the copy to an X server).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include "widgets/GradientProgressBar.h"

namespace {

void BM_BarMove(benchmark::State& state) {
    QWidget window;
    window.resize(480, 360);
    auto* bar = new tarnwick::GradientProgressBar(&window);
    bar->setGeometry(20, 300, 440, 22);
    bar->SetRange(0, 100);
    bar->SetShowPercent(state.range(0) != 0);
    window.show();
    QApplication::processEvents();
    int pos = 0;
    for (auto _ : state) {
        bar->SetPos(1 + pos++ % 99);
        bar->repaint();
    }
}
BENCHMARK(BM_BarMove)->ArgName("caption")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
