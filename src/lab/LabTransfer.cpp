#include "lab/LabTransfer.h"

#include "lab/LabDatabase.h"
#include "lab/LabError.h"
#include "learners/CourseData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdio>

namespace lab {

namespace {

// Imported records are named by what they hold, inside this namespace.
const QUuid kImportNamespace(QStringLiteral("{6d0f3c1e-2b7a-4c55-9a43-7e1f0c9b8d21}"));

// A key per record: identical records count up, so that two equal ones in
// a file stay two.
class Keys
{
public:
    QString next(const QStringList &parts)
    {
        const QByteArray joined = parts.join(QChar(0x1f)).toUtf8();
        const int n = m_seen[joined]++;
        return QUuid::createUuidV5(kImportNamespace, joined + '\x1f' + QByteArray::number(n))
            .toString(QUuid::WithoutBraces);
    }

private:
    QHash<QByteArray, int> m_seen;
};

QDateTime parseStamp(const QString &stamp)
{
    return QLocale::c().toDateTime(stamp.trimmed(), QStringLiteral("ddd MMM dd HH:mm:ss yyyy"));
}

} // namespace

QString ImportReport::summary() const
{
    QString text = QStringLiteral("Скопировано в базу данных класса: учеников %1, результатов тестов %2, "
                                  "закладок %3, открытых лекций %4.")
                       .arg(learners)
                       .arg(results)
                       .arg(bookmarks)
                       .arg(openedPages);
    if (learnersKnown > 0)
        text += QStringLiteral("\nУже были в базе: учеников %1 (добавлено только новое).").arg(learnersKnown);
    for (const QString &s : skipped)
        text += QStringLiteral("\nПропущено: ") + s;
    return text;
}

QString ExportReport::summary(const QString &file) const
{
    return QStringLiteral("Записано в %1: учеников %2, результатов тестов %3, закладок %4.")
        .arg(file)
        .arg(learners)
        .arg(results)
        .arg(bookmarks);
}

ImportReport importCourseData(LabDatabase &db, learners::CourseData &data, const QString &className)
{
    data.LoadCourseData();
    ImportReport report;
    db.transaction([&] {
        report = ImportReport();
        Keys learnerKeys;
        const int count = data.learnerCount();
        for (int i = 0; i < count; ++i) {
            learners::CourseData::Learner f;
            QVector<learners::TestRecord> tests;
            QVector<learners::Bookmark> marks;
            learners::Place place;
            learners::Preferences prefs;
            QVector<int> opened;
            try {
                f = data.learnerFields(i);
                tests = data.testRecords(i);
                marks = data.bookmarks(i);
                place = data.place(i);
                prefs = data.preferences(i);
                opened = data.openedPages(i);
            } catch (const learners::StoreError &e) {
                report.skipped << QStringLiteral("ученик №%1 (%2): %3").arg(i + 1).arg(f.name, e.message());
                continue;
            }
            const QString key = learnerKeys.next({className, f.name, f.sourname, f.group, f.mail, f.date});
            QVariant id = db.scalar(
                QStringLiteral("INSERT INTO learner (request_id, class, name, sourname, grp, mail, registered, "
                               "place_page, place_increment, place_section, font_family, font_size, "
                               "font_color, bold, italic, zoom, narrow_column) VALUES (?::uuid, ?, ?, ?, ?, "
                               "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (request_id) DO NOTHING "
                               "RETURNING id"),
                {key, className, f.name, f.sourname, f.group, f.mail, f.date, place.page,
                 place.increment, place.section, prefs.fontFamily, prefs.fontSize, prefs.fontColor,
                 prefs.bold, prefs.italic, prefs.zoom, prefs.narrowColumn});
            if (id.isValid()) {
                ++report.learners;
            } else {
                ++report.learnersKnown;
                id = db.scalar(QStringLiteral("SELECT id FROM learner WHERE request_id = ?::uuid"), {key});
            }
            Keys recordKeys;
            for (const learners::TestRecord &t : tests) {
                const QString rkey = recordKeys.next({key, QStringLiteral("test"), t.number, t.date, t.right});
                if (db.scalar(QStringLiteral("INSERT INTO test_result (request_id, learner_id, topic, taken, "
                                             "percent) VALUES (?::uuid, ?, ?, ?, ?) ON CONFLICT (request_id) "
                                             "DO NOTHING RETURNING id"),
                              {rkey, id, t.number, t.date, t.right})
                        .isValid())
                    ++report.results;
            }
            for (const learners::Bookmark &b : marks) {
                const QString bkey = recordKeys.next({key, QStringLiteral("bookmark"), b.title,
                                                      QString::number(b.page), QString::number(b.increment),
                                                      b.section});
                if (db.scalar(QStringLiteral("INSERT INTO bookmark (request_id, learner_id, title, page, "
                                             "increment, section) VALUES (?::uuid, ?, ?, ?, ?, ?) "
                                             "ON CONFLICT (request_id) DO NOTHING RETURNING id"),
                              {bkey, id, b.title, b.page, b.increment, b.section})
                        .isValid())
                    ++report.bookmarks;
            }
            for (int page : opened) {
                if (db.scalar(QStringLiteral("INSERT INTO opened_page (learner_id, page) VALUES (?, ?) "
                                             "ON CONFLICT DO NOTHING RETURNING page"),
                              {id, page})
                        .isValid())
                    ++report.openedPages;
            }
        }
    });
    return report;
}

// One function on purpose (about 110 lines): one snapshot read, one file
// written beside the target and moved into place, in that order; the steps
// share the snapshot and the temporary folder.
ExportReport exportCourseData(LabDatabase &db, const QString &courseTemplate, const QString &target,
                              const QString &className)
{
    // Read everything first, in one snapshot.
    struct Record
    {
        qint64 id;
        learners::CourseData::Learner fields;
        learners::Place place;
        learners::Preferences prefs;
        QVector<learners::TestRecord> tests;
        QVector<learners::Bookmark> marks;
        QVector<int> opened;
    };
    QVector<Record> records;
    db.transaction([&] {
        records.clear();
        db.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
        QSqlQuery q = db.exec(QStringLiteral("SELECT id, name, sourname, grp, mail, registered, place_page, "
                                             "place_increment, place_section, font_family, font_size, "
                                             "font_color, bold, italic, zoom, narrow_column FROM learner "
                                             "WHERE class = ? ORDER BY id"),
                              {className});
        QHash<qint64, int> at;
        while (q.next()) {
            Record r;
            r.id = q.value(0).toLongLong();
            r.fields = {q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                        q.value(4).toString(), q.value(5).toString()};
            r.place = {q.value(6).toInt(), q.value(7).toInt(), q.value(8).toString()};
            r.prefs.fontFamily = q.value(9).toString();
            r.prefs.fontSize = q.value(10).toInt();
            r.prefs.fontColor = q.value(11).toString();
            r.prefs.bold = q.value(12).toBool();
            r.prefs.italic = q.value(13).toBool();
            r.prefs.zoom = q.value(14).toInt();
            r.prefs.narrowColumn = q.value(15).toBool();
            at.insert(r.id, int(records.size()));
            records.append(r);
        }
        QSqlQuery t = db.exec(QStringLiteral("SELECT r.learner_id, r.topic, r.taken, r.percent FROM test_result r "
                                             "JOIN learner l ON l.id = r.learner_id WHERE l.class = ? "
                                             "ORDER BY r.id"),
                              {className});
        while (t.next())
            records[at.value(t.value(0).toLongLong())].tests.append(
                {t.value(1).toString(), t.value(2).toString(), t.value(3).toString()});
        QSqlQuery b = db.exec(QStringLiteral("SELECT b.learner_id, b.title, b.page, b.increment, b.section "
                                             "FROM bookmark b JOIN learner l ON l.id = b.learner_id "
                                             "WHERE l.class = ? ORDER BY b.id"),
                              {className});
        while (b.next())
            records[at.value(b.value(0).toLongLong())].marks.append(
                {b.value(1).toString(), b.value(2).toInt(), b.value(3).toInt(), b.value(4).toString()});
        QSqlQuery o = db.exec(QStringLiteral("SELECT o.learner_id, o.page FROM opened_page o JOIN learner l "
                                             "ON l.id = o.learner_id WHERE l.class = ? ORDER BY o.page"),
                              {className});
        while (o.next())
            records[at.value(o.value(0).toLongLong())].opened.append(o.value(1).toInt());
    });

    // Built in a folder beside the target, through the document's own
    // writer, then moved into place in one step.
    const QFileInfo targetInfo(target);
    QTemporaryDir work(targetInfo.absolutePath() + QStringLiteral("/.tarvel-export-XXXXXX"));
    if (!work.isValid())
        throw LabError(LabError::Kind::Query,
                       QStringLiteral("Не удалось создать временную папку рядом с %1.").arg(target));
    const QString building = work.filePath(QStringLiteral("dect.chh"));
    if (!QFile::copy(courseTemplate, building))
        throw LabError(LabError::Kind::Query,
                       QStringLiteral("Не удалось прочитать %1: из него берётся список лекций курса.")
                           .arg(courseTemplate));
    QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    ExportReport report;
    learners::CourseData data(building);
    data.LoadCourseData();
    while (data.learnerCount() > 0)
        data.deleteLearner(data.learnerCount() - 1);
    // The document stamps records with its clock: it is set to each stored
    // time, so the file gets the times the database keeps.
    struct ClockReset
    {
        ~ClockReset() { learners::CourseData::setClock({}); }
    } reset;
    for (const Record &r : records) {
        const QDateTime registered = parseStamp(r.fields.date);
        learners::CourseData::setClock([registered] {
            return registered.isValid() ? registered : QDateTime::currentDateTime();
        });
        data.registerLearner(r.fields.name, r.fields.sourname, r.fields.group, r.fields.mail);
        const int position = data.learnerCount() - 1;
        for (const learners::TestRecord &t : r.tests) {
            const QDateTime taken = parseStamp(t.date);
            learners::CourseData::setClock(
                [taken] { return taken.isValid() ? taken : QDateTime::currentDateTime(); });
            data.addTestResult(position, t.number, t.right.toInt());
            ++report.results;
        }
        for (const learners::Bookmark &b : r.marks) {
            data.addBookmark(position, b.page, b.increment, b.section);
            ++report.bookmarks;
        }
        if (r.place.page >= 0)
            data.setPlace(position, r.place);
        if (!(r.prefs == learners::Preferences()))
            data.setPreferences(position, r.prefs);
        for (int page : r.opened)
            data.markOpened(position, page);
        ++report.learners;
    }
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(target).constData()) != 0)
        throw LabError(LabError::Kind::Query, QStringLiteral("Не удалось записать %1.").arg(target));
    return report;
}

} // namespace lab
