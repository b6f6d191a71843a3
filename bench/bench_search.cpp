// The reader's search index, beside its floors (scripts/bench prints the
// ratios): building it over the shipped course and over 10 and 100 copies of
// it vs only reading and parsing the same document files; a query vs a plain
// case-folded substring scan of the same text.
#include "reader/PageCatalogue.h"
#include "reader/SearchIndex.h"
#include "richtext/RvfFile.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

// The pages the reader searches: the lectures, the introduction, the help
// page and the glossary.
std::vector<int> g_pages;
const char16_t kQuery[] = u"памяти компьютера";

void addCourse(reader::SearchIndex &index, int copies)
{
    for (int copy = 0; copy < copies; ++copy)
        for (int page : g_pages)
            index.addFile(page + 1000 * copy, QStringLiteral("Страница"), pages::pageEntry(page).document);
}

void BM_SearchIndexBuild(benchmark::State &state)
{
    for (auto _ : state) {
        reader::SearchIndex index;
        addCourse(index, int(state.range(0)));
        // The first search is part of building: the index sorts and stems
        // its words only when a search needs them.
        benchmark::DoNotOptimize(index.find(QStringLiteral("бит")).size());
    }
}

void BM_Floor_ReadDocuments(benchmark::State &state)
{
    for (auto _ : state)
        for (int copy = 0; copy < state.range(0); ++copy)
            for (int page : g_pages) {
                richtext::RVDocument doc;
                benchmark::DoNotOptimize(loadRvf(pages::pageEntry(page).document, doc));
            }
}

void BM_SearchQuery(benchmark::State &state)
{
    reader::SearchIndex index;
    addCourse(index, int(state.range(0)));
    const QString query = QString::fromUtf16(kQuery);
    int hits = 0;
    for (auto _ : state)
        hits = int(index.find(query).size());
    state.counters["hits"] = hits;
}

void BM_Floor_SubstringScan(benchmark::State &state)
{
    // The text of every paragraph, folded once, scanned for the query's words.
    QStringList texts;
    for (int copy = 0; copy < state.range(0); ++copy)
        for (int page : g_pages) {
            richtext::RVDocument doc;
            loadRvf(pages::pageEntry(page).document, doc);
            QString text;
            for (const richtext::RVItem &item : doc.items) {
                if (item.start == richtext::RVItem::Start::NewParagraph && !text.isEmpty()) {
                    texts.append(reader::SearchIndex::fold(text));
                    text.clear();
                }
                text += item.text;
            }
            texts.append(reader::SearchIndex::fold(text));
        }
    const QStringList words = reader::SearchIndex::queryWords(QString::fromUtf16(kQuery));
    for (auto _ : state) {
        int hits = 0;
        for (const QString &t : texts) {
            bool all = true;
            for (const QString &w : words)
                all = all && t.contains(reader::SearchIndex::stem(w));
            hits += all ? 1 : 0;
        }
        benchmark::DoNotOptimize(hits);
    }
}

// Copies of the course: 1x, 10x, 100x.
void courseCopies(benchmark::internal::Benchmark *b) { b->Arg(1)->Arg(10)->Arg(100); }

BENCHMARK(BM_SearchIndexBuild)->Apply(courseCopies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_ReadDocuments)->Apply(courseCopies)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchQuery)->Apply(courseCopies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor_SubstringScan)->Apply(courseCopies)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: bench_search <course folder> [benchmark options]\n");
        return 2;
    }
    for (int page = pages::kFirstLecture; page <= pages::kLastLecture; ++page)
        g_pages.push_back(page);
    g_pages.insert(g_pages.end(), {pages::kIntroduction, pages::kHelp, pages::kDictionary});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
