// In-process benchmarks, each beside its floor (scripts/bench prints the
// ratios): OpenPage of the largest lecture vs a bare QTextDocument layout of
// the same text; dect.chh of 10,000 learners (load; one bookmark added and
// saved) vs pugixml parsing and saving it; LoadBanks of 100,000 questions and
// 500,000 answers vs QByteArray::fromBase64 over the same lines.
#include "BenchData.h"

#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "testing/Banks.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <memory>

namespace {

constexpr int kLearners = 10000;
constexpr int kResults = 20;
constexpr int kQuestions = 100000; // and five answers each

QString g_scratch;     // generated inputs
QString g_course;      // a working copy of the shipped course (current directory)
int g_largestPage = 1; // the lecture with the largest document

QString scratch(const char *name) { return g_scratch + QLatin1Char('/') + QLatin1String(name); }

// ---- OpenPage

void BM_OpenPage(benchmark::State &state)
{
    for (auto _ : state) {
        frmMain->OpenPage(g_largestPage);
        // The dropped lecture scene goes with the page it belonged to.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void BM_Floor_QTextDocumentLayout(benchmark::State &state)
{
    frmMain->OpenPage(g_largestPage);
    // The reader keeps its controls to itself; the page view is found by name.
    const TRichView *pageView = frmMain->findChild<TRichView *>(QStringLiteral("RichView1"));
    QString text;
    for (const RVItem &item : pageView->document().items) {
        if (item.start != RVItem::Start::Continue && !text.isEmpty())
            text += QLatin1Char('\n');
        text += item.text;
    }
    const QFont font = pageView->font();
    const int width = pageView->viewport()->width();
    for (auto _ : state) {
        QTextDocument doc;
        doc.setDefaultFont(font);
        doc.setPlainText(text);
        doc.setTextWidth(width);
        benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    state.counters["chars"] = double(text.size());
}

// ---- dect.chh

constexpr unsigned kParse = pugi::parse_default | pugi::parse_comments | pugi::parse_pi;

void BM_CourseDataLoad(benchmark::State &state)
{
    for (auto _ : state) {
        learners::CourseData data(scratch("dect.chh"));
        data.LoadCourseData();
        benchmark::DoNotOptimize(data.learnerCount());
    }
}

void BM_Floor_PugixmlLoad(benchmark::State &state)
{
    const QByteArray path = QFile::encodeName(scratch("dect.chh"));
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(path.constData(), kParse, pugi::encoding_utf8))
            state.SkipWithError("pugixml cannot parse the file");
        benchmark::DoNotOptimize(doc.document_element());
    }
}

void BM_CourseDataAddBookmark(benchmark::State &state)
{
    QFile::remove(scratch("save.chh"));
    QFile::copy(scratch("dect.chh"), scratch("save.chh"));
    learners::CourseData data(scratch("save.chh"));
    data.LoadCourseData();
    for (auto _ : state)
        data.addBookmark(kLearners / 2, 3);
}

void BM_Floor_PugixmlSave(benchmark::State &state)
{
    pugi::xml_document doc;
    doc.load_file(QFile::encodeName(scratch("dect.chh")).constData(), kParse, pugi::encoding_utf8);
    const QByteArray path = QFile::encodeName(scratch("floor.chh"));
    for (auto _ : state) {
        if (!doc.save_file(path.constData(), "", pugi::format_raw, pugi::encoding_utf8))
            state.SkipWithError("pugixml cannot save the file");
    }
}

// ---- banks

void BM_LoadBanks(benchmark::State &state)
{
    for (auto _ : state) {
        testing::StringGrid questions(3), answers(4);
        try {
            testing::LoadBanks(questions, answers, scratch("questions.qzt"), scratch("ansvers.qzt"));
        } catch (const std::exception &e) {
            state.SkipWithError(e.what());
            break;
        }
        if (questions.RowCount != kQuestions + 1 || answers.RowCount != 5 * kQuestions + 1)
            state.SkipWithError("the banks did not load whole");
    }
}

void BM_Floor_FromBase64(benchmark::State &state)
{
    for (auto _ : state) {
        qsizetype bytes = 0;
        for (const char *name : {"questions.qzt", "ansvers.qzt"}) {
            QFile f(scratch(name));
            f.open(QIODevice::ReadOnly);
            const QByteArray all = f.readAll();
            for (const QByteArray &line : all.split('\n'))
                bytes += QByteArray::fromBase64(line.mid(2).trimmed()).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

BENCHMARK(BM_OpenPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_QTextDocumentLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CourseDataLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_PugixmlLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CourseDataAddBookmark)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_PugixmlSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBanks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_FromBase64)->Unit(benchmark::kMillisecond);

bool copyTree(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QFileInfo &entry :
         QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + entry.fileName();
        if (entry.isDir() ? !copyTree(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

bool prepare(const QString &courseDir)
{
    QFile course(courseDir + QStringLiteral("/dect.chh"));
    if (!course.open(QIODevice::ReadOnly))
        return false;
    if (!benchdata::writeFile(scratch("dect.chh"),
                              benchdata::courseData(course.readAll(), kLearners, kResults)) ||
        !benchdata::writeFile(scratch("questions.qzt"), benchdata::questionBank(kQuestions)) ||
        !benchdata::writeFile(scratch("ansvers.qzt"), benchdata::answerBank(kQuestions)))
        return false;

    qint64 largest = -1;
    for (int page = 1; page <= 8; ++page) {
        const qint64 size =
            QFileInfo(courseDir + QStringLiteral("/lections/lection%1.rvf").arg(page)).size();
        if (size > largest) {
            largest = size;
            g_largestPage = page;
        }
    }
    if (!copyTree(courseDir, g_course) || !QDir::setCurrent(g_course))
        return false;
    dialogs::setMessageHook([](const QString &text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    createWindowSet();
    frmMain->XML().LoadCourseData();
    frmMain->state().CurrentUser = 0;
    frmMain->show();
    frmMain->FormActivate();
    frmMain->resize(1024, 700);
    frmMain->reloadToolbar();
    return true;
}

} // namespace

// tarvel_bench <course folder> [Google Benchmark options]
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()) {
        std::fprintf(stderr, "usage: tarvel_bench <course folder> [benchmark options]\n");
        return 2;
    }
    const QString courseDir = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir dir;
    g_scratch = dir.path() + QStringLiteral("/data");
    g_course = dir.path() + QStringLiteral("/course");
    if (!QDir().mkpath(g_scratch) || !prepare(courseDir)) {
        std::fprintf(stderr, "cannot prepare the benchmark data\n");
        return 1;
    }
    int bargc = argc - 1;
    argv[1] = argv[0];
    benchmark::Initialize(&bargc, argv + 1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    destroyWindowSet();
    return 0;
}
