// The teacher's window opening a folder of 1,000 learners' reports, beside
// its floor (scripts/bench prints the ratio): listing the same folder,
// reading every file and Base64-decoding each of its lines.
//
// The reports are real: made from a course data document of 1,000 learners
// by the textbook's own report code (the report's lines, coded and written
// as UTF-16 text the way the report screen saves them).
#include "BenchData.h"

#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "progress/ProgressText.h"
#include "richtext/RVDocument.h"
#include "richtext/RVStyle.h"
#include "teacher/TeacherWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kReports = 1000;
constexpr int kResults = 20; // test results in each report

QString g_reports; // the folder of reports
QString g_dect;    // the course data document they were made from
std::unique_ptr<teacher::TeacherWindow> g_window;

// User and system time of every thread of the process, in milliseconds:
// Google Benchmark's CPU column counts only the thread that runs the loop,
// and the window reads its reports on threads of its own.
double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// What the report screen writes for one learner.
QByteArray reportFile(const learners::DectStore &store, int learner)
{
    richtext::RVDocument doc;
    progress::reportText(store, store.idAt(learner), [&](const QString &line) {
        doc.addText(core::EncodeLine(line), rvs::tsPlainSubheading, rvs::psPlainCentered, 0, 0);
    });
    return doc.toUtf16Text(1);
}

bool prepare(const QString &courseDir, const QString &scratch)
{
    QFile course(courseDir + QStringLiteral("/dect.chh"));
    g_dect = scratch + QStringLiteral("/dect.chh");
    g_reports = scratch + QStringLiteral("/reports");
    if (!course.open(QIODevice::ReadOnly) ||
        !benchdata::writeFile(g_dect, benchdata::courseData(course.readAll(), kReports, kResults)) ||
        !QDir().mkpath(g_reports))
        return false;
    learners::CourseData data(g_dect);
    try {
        data.LoadCourseData();
        const learners::DectStore store(data);
        for (int i = 0; i < kReports; ++i)
            if (!benchdata::writeFile(g_reports + QStringLiteral("/ученик%1.rep").arg(i, 4, 10, QLatin1Char('0')),
                                      reportFile(store, i)))
                return false;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return false;
    }
    teacher::CourseTopics topics;
    if (!topics.load(g_dect))
        return false;
    teacher::TeacherWindow::setMessageHook([](const QString &text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    g_window = std::make_unique<teacher::TeacherWindow>(topics);
    g_window->show();
    QCoreApplication::processEvents();
    return true;
}

void BM_TeacherOpenFolder(benchmark::State &state)
{
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        if (!g_window->openFolder(g_reports))
            state.SkipWithError("the window cannot open the folder");
        // The reports are read off the window's thread: until the last row.
        if (!g_window->waitUntilLoaded())
            state.SkipWithError("the window did not finish reading");
        // What follows the opening before the teacher sees it: the table,
        // the filters, the chart, and the window painted.
        QCoreApplication::processEvents();
    }
    state.counters["process_cpu_ms"] =
        benchmark::Counter(processCpuMs() - cpuBefore, benchmark::Counter::kAvgIterations);
    state.counters["rows"] = g_window->table()->rowCount();
    if (g_window->table()->reports().size() != kReports || g_window->table()->problemCount() != 0)
        state.SkipWithError("the window did not take every report in");
}

void BM_Floor_ReadReports(benchmark::State &state)
{
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        qsizetype bytes = 0;
        const QDir folder(g_reports);
        for (const QString &name : folder.entryList({QStringLiteral("*.rep")}, QDir::Files)) {
            QFile f(folder.filePath(name));
            if (!f.open(QIODevice::ReadOnly)) {
                state.SkipWithError("cannot read a report");
                break;
            }
            QStringDecoder utf16(QStringDecoder::Utf16LE); // drops the byte-order mark
            const QString text = utf16(f.readAll());
            for (QStringView line : QStringView(text).split(u"\r\n"))
                bytes += QByteArray::fromBase64(line.mid(2).toLatin1()).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["process_cpu_ms"] =
        benchmark::Counter(processCpuMs() - cpuBefore, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_TeacherOpenFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_ReadReports)->Unit(benchmark::kMillisecond);

} // namespace

// bench_teacher <course folder> [Google Benchmark options]
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()) {
        std::fprintf(stderr, "usage: bench_teacher <course folder> [benchmark options]\n");
        return 2;
    }
    const QString courseDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir dir;
    if (!dir.isValid() || !prepare(courseDir, dir.path())) {
        std::fprintf(stderr, "cannot prepare the benchmark data\n");
        return 1;
    }
    int bargc = argc - 1;
    argv[1] = argv[0];
    benchmark::Initialize(&bargc, argv + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_window.reset();
    return 0;
}
