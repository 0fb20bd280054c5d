// How long the graph takes for its work against the 100 ms sample period: storing and redrawing
// one sample in the graph window (786 x 448), the same store and redraw of a 1920 x 1080 picture,
// and loading a 4000-row data file. Each figure is the mean of one run's repetitions.
//
//   graph_bench [repetitions]      (default 2000)
#include "GraphDataFile.h"
#include "GraphRenderer.h"
#include "SampleRing.h"
#include "TfGraphicDisplay.h"

#include "Clock.h"
#include "Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kSamplePeriodMs = 100.0;

// Guidance values that move, so every trace crosses the plot.
GraphSample Moving(int i) {
    GraphSample s{};
    s.sogTenthsMph = static_cast<std::int16_t>(100 + i % 300);
    s.cogTenthsDeg = static_cast<std::int16_t>(i * 7 % 3600);
    s.offErrCM = static_cast<std::int16_t>(200 * std::sin(i / 10.0));
    s.angErrTenthsDeg = static_cast<std::int16_t>(80 * std::cos(i / 7.0));
    s.waTenthDeg = static_cast<std::int16_t>(i % 160 - 80);
    s.solOut = static_cast<std::int16_t>(i % 41 - 20);
    s.firstRsp = 1;
    s.strMode = 3;
    return s;
}

void Report(const char *what, double ms) {
    std::printf("%-52s %9.3f ms  %6.2f %% of the sample period\n", what, ms, 100.0 * ms / kSamplePeriodMs);
}

double WindowSample(int repetitions) {
    platform::VirtualClock clock;
    platform::ScopedClock useClock(clock);
    TfGraphicDisplay graph;
    graph.SetPortOpenQuery([] { return true; });
    graph.show();
    for (int i = 0; i < 100; ++i) { // a full picture before timing
        clock.Advance(101);
        GraphSample s = Moving(i);
        graph.AddSample(s);
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i) {
        clock.Advance(101);
        GraphSample s = Moving(i);
        graph.AddSample(s);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / repetitions;
}

double PictureSample(int width, int height, int repetitions) {
    const TraceTable traces = InitialTraces();
    const GraphLayout layout = ComputeLayout(width, height);
    const DeviceIdentitySet identities{};
    SampleRing ring;
    GraphRenderer renderer;
    QImage image(width, height, QImage::Format_RGB32);
    const GraphView view{ring, traces, layout, identities};
    for (int i = 0; i < SampleRing::kSize; ++i) {
        GraphSample s = Moving(i);
        ComputePlotFields(s, traces, layout);
        ring.Put(s);
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i) {
        GraphSample s = Moving(i);
        ComputePlotFields(s, traces, layout);
        ring.Put(s);
        renderer.Draw(image, view, ring.Newest());
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / repetitions;
}

double LoadFile(int repetitions) {
    QTemporaryDir dir;
    const QString name = dir.filePath("Pelmora001.txt");
    QFile file(name);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray::fromStdString(GraphDataFile::Header(4) + "\r\n"));
    for (int i = 0; i < SampleRing::kSize; ++i)
        file.write(QByteArray::fromStdString(GraphDataFile::Row(Moving(i)) + "\r\n"));
    file.close();
    platform::SetFileDialogHandler([&](const platform::FileDialogRequest &) { return name; });
    TfGraphicDisplay graph;
    graph.SetPortOpenQuery([] { return false; }); // opens holding, ready to load
    graph.show();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repetitions; ++i)
        graph.bClickLoadData();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6 / repetitions;
    platform::SetFileDialogHandler({});
    if (graph.Ring().Count() != SampleRing::kSize)
        std::printf("load read %d rows, not %d\n", graph.Ring().Count(), SampleRing::kSize);
    return ms;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    std::printf("sample period %.0f ms; means of %d repetitions\n", kSamplePeriodMs, repetitions);
    Report("store and redraw one sample, graph window 786 x 448", WindowSample(repetitions));
    Report("store and draw one sample, picture 786 x 448", PictureSample(786, 448, repetitions));
    Report("store and draw one sample, picture 1920 x 1080", PictureSample(1920, 1080, repetitions));
    Report("load a 4000-row data file (holding)", LoadFile(std::max(1, repetitions / 100)));
    return 0;
}
