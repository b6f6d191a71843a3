// The computer lab's class database against its floors, on a PostgreSQL
// server of its own (tests/lab/pgserver): saves with 1, 10 and 30 seats at
// once (each a thread with its own connection), and the sign-in list at 30,
// 3,000 and 30,000 learners; each beside the same SQL statements run bare.
// The same figures for dect.chh on local disk come beside them.
//
//   bench_lab PGSERVER_SCRIPT [benchmark options]

#include "lab/LabDatabase.h"
#include "lab/LabSettings.h"
#include "lab/LabStore.h"
#include "learners/CourseData.h"
#include "learners/DectStore.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

lab::ConnectionSettings g_settings;
QTemporaryDir *g_dir = nullptr;

const int kListSizes[] = {30, 3000, 30000};

QString listClass(int n)
{
    return QStringLiteral("list%1").arg(n);
}

// The seat's save: one bookmark, one transaction.
void BM_LabSave(benchmark::State &state)
{
    lab::LabStore store(g_settings);
    store.open();
    const learners::LearnerId me =
        store.registerLearner({QStringLiteral("Место"), QString::number(state.thread_index()), {}, {}, {}});
    store.claimLearner(me);
    for (auto _ : state)
        store.addBookmark(me, 3, 40, QStringLiteral("Раздел"));
    state.counters["saves_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LabSave)->Threads(1)->Threads(10)->Threads(30)->UseRealTime();

// The same statements the store sends for it, bare.
void BM_Floor_LabSaveBare(benchmark::State &state)
{
    lab::LabDatabase db(g_settings);
    db.open();
    const QVariant id = db.scalar(QStringLiteral("INSERT INTO learner (name) VALUES ('пол') RETURNING id"));
    for (auto _ : state) {
        db.exec(QStringLiteral("BEGIN"));
        db.exec(QStringLiteral("SELECT 1 FROM learner WHERE id = ? AND class = ? FOR UPDATE"), {id, QString()});
        db.exec(QStringLiteral("INSERT INTO bookmark (request_id, learner_id, title, page, increment, section) "
                               "VALUES (gen_random_uuid(), ?, 'Лекция 3', 3, 40, 'Раздел') "
                               "ON CONFLICT (request_id) DO NOTHING"),
                {id});
        db.exec(QStringLiteral("COMMIT"));
    }
    state.counters["saves_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Floor_LabSaveBare)->Threads(1)->Threads(10)->Threads(30)->UseRealTime();

void BM_LabSignInList(benchmark::State &state)
{
    lab::ConnectionSettings s = g_settings;
    s.className = listClass(int(state.range(0)));
    lab::LabStore store(s);
    store.open();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.learners());
}
BENCHMARK(BM_LabSignInList)->Arg(30)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_Floor_LabListBare(benchmark::State &state)
{
    lab::LabDatabase db(g_settings);
    db.open();
    for (auto _ : state) {
        QSqlQuery q = db.exec(QStringLiteral("SELECT id, name, sourname, grp FROM learner WHERE class = ? ORDER BY id"),
                              {listClass(int(state.range(0)))});
        qint64 n = 0;
        // Every column the list shows, as the store reads it.
        while (q.next())
            n += q.value(0).toLongLong() + q.value(1).toString().size() +
                 q.value(2).toString().size() + q.value(3).toString().size();
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_Floor_LabListBare)->Arg(30)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

// dect.chh on local disk: a file of n learners, written as the program writes them.
QString dectFile(int n)
{
    const QString path = g_dir->filePath(QStringLiteral("dect%1.chh").arg(n));
    if (QFile::exists(path))
        return path;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data><first/><course><lectures>"
                     "<lecture id=\"0\"><description>Содержание</description></lecture></lectures></course><users>";
    for (int i = 0; i < n; ++i)
        xml += "<registred_user><name>Ученик" + QByteArray::number(i) +
               "</name><study_info><lectures/><tests/><bookmarks/></study_info>"
               "<date>Tue Mar 08 14:05:09 2005\n</date><sourname>Фамилия</sourname><group>9А</group><mail/>"
               "</registred_user>";
    xml += "</users></data>";
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(xml);
    return path;
}

void BM_DectSave(benchmark::State &state)
{
    learners::CourseData data(dectFile(30));
    learners::DectStore store(data);
    store.open();
    const learners::LearnerId me = store.learners().first().id;
    // A learner keeps at most LearnerStore::kMaxBookmarks in dect.chh: the
    // bookmark added goes again, unmeasured, so every save writes the same file.
    for (auto _ : state) {
        store.addBookmark(me, 3, 40, QStringLiteral("Раздел"));
        state.PauseTiming();
        store.deleteBookmark(me, 0);
        state.ResumeTiming();
    }
    state.counters["saves_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DectSave)->UseRealTime();

void BM_DectSignInList(benchmark::State &state)
{
    learners::CourseData data(dectFile(int(state.range(0))));
    learners::DectStore store(data);
    store.open();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.learners());
}
BENCHMARK(BM_DectSignInList)->Arg(30)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_lab PGSERVER_SCRIPT [benchmark options]\n");
        return 2;
    }
    const QString script = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    g_dir = &dir;
    const QString stateDir = dir.filePath(QStringLiteral("pg"));
    if (QProcess::execute(script, {QStringLiteral("start"), stateDir}) != 0)
        return 1;
    int rc = 1;
    try {
        QFile conninfo(stateDir + QStringLiteral("/conninfo"));
        conninfo.open(QIODevice::ReadOnly);
        g_settings = lab::LabSettings::parseConnectionString(QString::fromUtf8(conninfo.readAll()));
        {
            lab::LabDatabase admin(g_settings);
            admin.open();
            admin.exec(QStringLiteral("CREATE DATABASE bench"));
        }
        g_settings.database = QStringLiteral("bench");
        lab::LabDatabase admin(g_settings);
        admin.open();
        admin.migrate();
        for (int n : kListSizes)
            admin.exec(QStringLiteral("INSERT INTO learner (class, name, sourname, grp, registered) "
                                      "SELECT ?, 'Ученик' || i, 'Фамилия', '9А', 'Tue Mar 08 14:05:09 2005\n' "
                                      "FROM generate_series(1, ?) i"),
                       {listClass(n), n});
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        rc = 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_lab: %s\n", e.what());
    }
    QProcess::execute(script, {QStringLiteral("stop"), stateDir});
    return rc;
}
