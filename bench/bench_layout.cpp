// Laying out hostile pages in the document view's layout: a page of twenty
// paragraphs at the paragraph bound, a paragraph of many styled items, one
// unbreakable word at the bound. Each is timed from the document in memory
// to the laid-out height, at a reader's text width.
#include "richtext/RVStyle.h"
#include "richtext/RichLayout.h"
#include "richtext/RvfFile.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

richtext::RVDocument longParagraphs(int paragraphs)
{
    richtext::RVDocument doc;
    QString words;
    while (words.size() < kRvfMaxParagraphChars - 10)
        words += QStringLiteral("слово ");
    for (int i = 0; i < paragraphs; ++i)
        doc.addText(words, 0, 0, 0, 0);
    return doc;
}

richtext::RVDocument styledItems(int items)
{
    richtext::RVDocument doc;
    doc.addText(QStringLiteral("Начало "), 0, 0, 0, 0);
    for (int i = 1; i < items; ++i)
        doc.addText(QStringLiteral("x%1 ").arg(i), i % 3, -1, 0, 0);
    return doc;
}

richtext::RVDocument oneWord(int length)
{
    richtext::RVDocument doc;
    doc.addText(QString(length, QLatin1Char('w')), 0, 0, 0, 0);
    return doc;
}

void layOut(benchmark::State &state, const richtext::RVDocument &doc)
{
    const TRVStyle sheet(TRVStyle::Sheet::Reader);
    for (auto _ : state) {
        richtext::RichLayout layout;
        layout.build(doc, sheet, 700);
        benchmark::DoNotOptimize(layout.layOut(700));
    }
}

void BM_LayoutLongParagraphs(benchmark::State &state)
{
    layOut(state, longParagraphs(int(state.range(0))));
}

void BM_LayoutStyledItems(benchmark::State &state)
{
    layOut(state, styledItems(int(state.range(0))));
}

void BM_LayoutOneWord(benchmark::State &state)
{
    layOut(state, oneWord(int(state.range(0))));
}

} // namespace

BENCHMARK(BM_LayoutLongParagraphs)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LayoutStyledItems)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LayoutOneWord)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
