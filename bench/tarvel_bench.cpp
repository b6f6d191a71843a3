// In-process benchmarks, each beside its floor (scripts/bench prints the
// ratios): OpenPage of the largest lecture (and of that lecture 10 and 100
// times as long) vs a bare QTextDocument layout of the same text; dect.chh of
// 10,000 learners x 20 results and of 100 / 10,000 / 100,000 learners x 2
// results (load; one bookmark added and saved) vs pugixml parsing it and a
// durable pugixml save; LoadBanks of 1,000 / 10,000 / 100,000 questions with
// five answers each vs QByteArray::fromBase64 over the same lines.
#include "BenchData.h"

#include "ui/Dialogs.h"
#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "learners/LearnerStore.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RichView.h"
#include "richtext/RvfFile.h"
#include "testing/Banks.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

QString g_scratch;     // generated inputs
QString g_shipped;     // the shipped course
QString g_course;      // a working copy of the shipped course (current directory)
int g_largestPage = 1; // the lecture with the largest document

QString scratch(const QString &name) { return g_scratch + QLatin1Char('/') + name; }
QString scratch(const char *name) { return scratch(QLatin1String(name)); }

// ---- OpenPage

// While alive, the largest lecture of the working copy is `times` its
// length; the shipped text is put back afterwards.
class LongerLecture
{
public:
    explicit LongerLecture(int times)
        : m_path(g_course + QStringLiteral("/lections/lection%1.rvf").arg(g_largestPage))
    {
        richtext::RVDocument doc;
        if (!loadRvf(m_path, doc))
            return;
        m_items = doc.items.size() * times;
        if (times == 1) {
            m_ok = true;
            return;
        }
        QFile f(m_path);
        if (!f.open(QIODevice::ReadOnly))
            return;
        m_shipped = f.readAll();
        f.close();
        const QByteArray longer = benchdata::repeatedDocument(m_shipped, times);
        // The reader must take the longer text as a document of its own.
        m_ok = !longer.isEmpty() && benchdata::writeFile(m_path, longer) && loadRvf(m_path, doc) &&
               doc.items.size() == m_items;
    }
    ~LongerLecture()
    {
        if (!m_shipped.isEmpty())
            benchdata::writeFile(m_path, m_shipped);
    }
    bool ok() const { return m_ok; }
    qsizetype items() const { return m_items; }

private:
    QString m_path;
    QByteArray m_shipped;
    qsizetype m_items = 0;
    bool m_ok = false;
};

// The reader keeps its controls to itself; the page view is found by name.
const TRichView *pageView() { return frmMain->findChild<TRichView *>(QStringLiteral("RichView1")); }

void BM_OpenPage(benchmark::State &state)
{
    const LongerLecture lecture(int(state.range(0)));
    if (!lecture.ok()) {
        state.SkipWithError("cannot make the longer lecture");
        return;
    }
    for (auto _ : state) {
        frmMain->OpenPage(g_largestPage);
        // The dropped lecture scene goes with the page it belonged to.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (pageView()->document().items.size() != lecture.items())
        state.SkipWithError("the reader did not show the whole lecture");
}

void BM_Floor_QTextDocumentLayout(benchmark::State &state)
{
    const LongerLecture lecture(int(state.range(0)));
    if (!lecture.ok()) {
        state.SkipWithError("cannot make the longer lecture");
        return;
    }
    frmMain->OpenPage(g_largestPage);
    const TRichView *view = pageView();
    QString text;
    for (const richtext::RVItem &item : view->document().items) {
        if (item.start != richtext::RVItem::Start::Continue && !text.isEmpty())
            text += QLatin1Char('\n');
        text += item.text;
    }
    const QFont font = view->font();
    const int width = view->viewport()->width();
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

// The course data document of that many learners and results each, made on
// first use; empty when it cannot be written.
QString dectFile(benchmark::State &state)
{
    const int learners = int(state.range(0)), results = int(state.range(1));
    const QString path = scratch(QStringLiteral("dect-%1-%2.chh").arg(learners).arg(results));
    if (!QFileInfo::exists(path)) {
        QFile course(g_shipped + QStringLiteral("/dect.chh"));
        if (!course.open(QIODevice::ReadOnly) ||
            !benchdata::writeFile(path, benchdata::courseData(course.readAll(), learners, results))) {
            state.SkipWithError("cannot write the course data document");
            return {};
        }
    }
    const qint64 bytes = QFileInfo(path).size();
    if (bytes > learners::CourseData::kMaxFileBytes) {
        state.SkipWithError("the course data document is over the program's bound");
        return {};
    }
    state.counters["file_mib"] = double(bytes) / (1 << 20);
    return path;
}

void BM_CourseDataLoad(benchmark::State &state)
{
    const QString path = dectFile(state);
    if (path.isEmpty())
        return;
    for (auto _ : state) {
        learners::CourseData data(path);
        data.LoadCourseData();
        benchmark::DoNotOptimize(data.learnerCount());
    }
}

void BM_Floor_PugixmlLoad(benchmark::State &state)
{
    const QString file = dectFile(state);
    if (file.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(file);
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(path.constData(), kParse, pugi::encoding_utf8))
            state.SkipWithError("pugixml cannot parse the file");
        benchmark::DoNotOptimize(doc.document_element());
    }
}

void BM_CourseDataAddBookmark(benchmark::State &state)
{
    const QString source = dectFile(state);
    if (source.isEmpty())
        return;
    const QString path = scratch(QStringLiteral("save.chh"));
    QFile::remove(path);
    QFile::copy(source, path);
    learners::CourseData data(path);
    data.LoadCourseData();
    const int learner = int(state.range(0)) / 2;
    // The learner has one bookmark; the one added goes again, unmeasured, so
    // that every iteration saves a document of the same size.
    for (auto _ : state) {
        data.addBookmark(learner, 3);
        state.PauseTiming();
        data.deleteBookmark(learner, 1);
        state.ResumeTiming();
    }
    if (data.bookmarks(learner).size() != 1)
        state.SkipWithError("the bookmark was not added and removed");
}

// pugixml's output straight into a file descriptor.
class FdWriter : public pugi::xml_writer
{
public:
    explicit FdWriter(int fd) : m_fd(fd) {}
    void write(const void *data, size_t size) override
    {
        auto *p = static_cast<const char *>(data);
        while (m_ok && size > 0) {
            const ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_ok = false;
                break;
            }
            p += n;
            size -= size_t(n);
        }
    }
    bool ok() const { return m_ok; }

private:
    int m_fd;
    bool m_ok = true;
};

// The least an atomic, durable save must do: write a temporary file beside
// the target, fsync it, rename it over the target, fsync the folder (so the
// rename itself survives a power loss).
bool durableSave(const pugi::xml_document &doc, const QString &target)
{
    const QByteArray path = QFile::encodeName(target);
    const QByteArray temp = path + ".tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    FdWriter writer(fd);
    doc.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    bool ok = writer.ok() && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.constData(), path.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    const int dir = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void BM_Floor_PugixmlSave(benchmark::State &state)
{
    const QString source = dectFile(state);
    if (source.isEmpty())
        return;
    pugi::xml_document doc;
    doc.load_file(QFile::encodeName(source).constData(), kParse, pugi::encoding_utf8);
    const QString path = scratch("floor.chh");
    for (auto _ : state) {
        if (!durableSave(doc, path))
            state.SkipWithError("cannot save the file");
    }
}

// ---- banks

// The two bank files of that many questions (five answers each), made on
// first use; false when they cannot be written.
bool bankFiles(int questions, QString *questionFile, QString *answerFile)
{
    *questionFile = scratch(QStringLiteral("questions-%1.qzt").arg(questions));
    *answerFile = scratch(QStringLiteral("ansvers-%1.qzt").arg(questions));
    if (QFileInfo::exists(*questionFile) && QFileInfo::exists(*answerFile))
        return true;
    return benchdata::writeFile(*questionFile, benchdata::questionBank(questions)) &&
           benchdata::writeFile(*answerFile, benchdata::answerBank(questions));
}

void BM_LoadBanks(benchmark::State &state)
{
    const int count = int(state.range(0));
    QString questionFile, answerFile;
    if (!bankFiles(count, &questionFile, &answerFile)) {
        state.SkipWithError("cannot write the banks");
        return;
    }
    for (auto _ : state) {
        testing::StringGrid questions(3), answers(4);
        try {
            testing::LoadBanks(questions, answers, questionFile, answerFile);
        } catch (const std::exception &e) {
            state.SkipWithError(e.what());
            break;
        }
        if (questions.RowCount != count + 1 || answers.RowCount != 5 * count + 1)
            state.SkipWithError("the banks did not load whole");
    }
}

void BM_Floor_FromBase64(benchmark::State &state)
{
    QString questionFile, answerFile;
    if (!bankFiles(int(state.range(0)), &questionFile, &answerFile)) {
        state.SkipWithError("cannot write the banks");
        return;
    }
    for (auto _ : state) {
        qsizetype bytes = 0;
        for (const QString &name : {questionFile, answerFile}) {
            QFile f(name);
            f.open(QIODevice::ReadOnly);
            const QByteArray all = f.readAll();
            for (const QByteArray &line : all.split('\n'))
                bytes += QByteArray::fromBase64(line.mid(2).trimmed()).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

// Sizes: 1x, 10x, 50x the largest lecture's length. The reader refuses a
// page of more than richtext::kRvfMaxPageChars characters (4 million),
// which 100x the largest lecture now passes.
void lectureLengths(benchmark::internal::Benchmark *b)
{
    b->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
}
// Learners x results: the main table's document, then the scaling rows
// (two results each, so that 100,000 learners stay under the program's
// 64 MiB bound).
void courseDataSizes(benchmark::internal::Benchmark *b)
{
    b->Args({10000, 20})->Args({100, 2})->Args({10000, 2})->Args({100000, 2});
    b->Unit(benchmark::kMillisecond);
}
void bankSizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_OpenPage)->Apply(lectureLengths);
BENCHMARK(BM_Floor_QTextDocumentLayout)->Apply(lectureLengths);
BENCHMARK(BM_CourseDataLoad)->Apply(courseDataSizes);
BENCHMARK(BM_Floor_PugixmlLoad)->Apply(courseDataSizes);
BENCHMARK(BM_CourseDataAddBookmark)->Apply(courseDataSizes);
BENCHMARK(BM_Floor_PugixmlSave)->Apply(courseDataSizes);
BENCHMARK(BM_LoadBanks)->Apply(bankSizes);
BENCHMARK(BM_Floor_FromBase64)->Apply(bankSizes);

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
    g_shipped = courseDir;
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
    ui::setMessageHook([](const QString &text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    createWindowSet();
    frmMain->XML().LoadCourseData();
    // A learner reads the pages, as in the program: the shipped course has
    // none, so the working copy gets one.
    learners::LearnerStore &store = frmMain->state().learnerStore();
    store.open();
    const QVector<learners::LearnerEntry> learners = store.learners();
    frmMain->state().setCurrentUser(learners.isEmpty()
                                        ? store.registerLearner({QStringLiteral("Ученик"), {}, {}, {}, {}})
                                        : learners.front().id);
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
