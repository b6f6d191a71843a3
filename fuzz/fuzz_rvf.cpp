// The .rvf reader, then the layout. A document it accepts is written back and
// must read again to the same items; it is then laid out (offscreen, with
// the reader's sheet) at two widths and hit-tested, its pictures resolved
// against a small course folder: a few real pictures, links out of it, a
// FIFO.
#include "FuzzSupport.h"

#include "richtext/RichLayout.h"
#include "richtext/RvfFile.h"

#include <QGuiApplication>
#include <QImage>

#include <sys/stat.h>

namespace {

// The course folder: lections/ holds the document, pictures/ its pictures.
const QString &course()
{
    static const QString dir = [] {
        const QString root = fuzz::scratchDir() + QStringLiteral("/course");
        QDir().mkpath(root + QStringLiteral("/lections"));
        QDir().mkpath(root + QStringLiteral("/pictures"));
        QImage small(7, 5, QImage::Format_ARGB32);
        small.fill(Qt::red);
        small.save(root + QStringLiteral("/pictures/a.png"));
        small.save(root + QStringLiteral("/lections/pic.png"));
        QImage wide(300, 20, QImage::Format_RGB32);
        wide.fill(Qt::blue);
        wide.save(root + QStringLiteral("/pictures/wide.png"));
        fuzz::writeScratch(QStringLiteral("outside.png"), QByteArray("not a picture"));
        QFile::link(fuzz::scratchDir() + QStringLiteral("/outside.png"), root + QStringLiteral("/pictures/link.png"));
        ::mkfifo(QFile::encodeName(root + QStringLiteral("/pictures/fifo.png")).constData(), 0600);
        QDir::setCurrent(root);
        return root;
    }();
    return dir;
}

void layOut(const richtext::RVDocument &doc)
{
    static TRVStyle sheet(TRVStyle::Sheet::Reader);
    richtext::RichLayout layout;
    layout.build(doc, sheet, 400);
    const int height = layout.layOut(400);
    layout.layOut(97);
    if (layout.itemPos.size() != size_t(doc.items.size()) || height < 0)
        fuzz::fail("the layout lost items");
    for (size_t i = 1; i < layout.itemPos.size(); ++i)
        if (layout.itemPos[i] < layout.itemPos[i - 1])
            fuzz::fail("items laid out out of order");
    for (int id = 0; id < layout.linkCount(); ++id)
        layout.linkRect(id);
    for (const QPointF p : {QPointF(0, 0), QPointF(50, 10), QPointF(390, qreal(height) / 2), QPointF(-5, 1e6)}) {
        layout.positionAt(p);
        layout.linkAt(p);
    }
    for (qsizetype i = 0; i < doc.items.size(); i += 1 + doc.items.size() / 8)
        layout.itemOrigin(int(i));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    course();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const QString base = course() + QStringLiteral("/lections");
    richtext::RVDocument doc;
    QString error;
    if (!parseRvf(input, base, doc, &error)) {
        if (error.isEmpty())
            fuzz::fail("a refused document without a reason");
        return 0;
    }
    richtext::RVDocument again;
    if (!parseRvf(serializeRvf(doc, base), base, again, &error))
        fuzz::fail("a written document does not read back");
    if (again.items.size() != doc.items.size() || again.checkpoints.size() != doc.checkpoints.size())
        fuzz::fail("a written document reads back with other items");
    for (qsizetype i = 0; i < doc.items.size(); ++i) {
        const richtext::RVItem &a = doc.items[i];
        const richtext::RVItem &b = again.items[i];
        if (a.kind != b.kind || a.text != b.text || a.styleNo != b.styleNo || a.start != b.start)
            fuzz::fail("a written item reads back changed");
    }
    layOut(doc);
    return 0;
}
