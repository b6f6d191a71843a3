#include "teacher/CommandLine.h"

#include "lab/LabError.h"
#include "teacher/ClassExport.h"
#include "teacher/ClassTable.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>

namespace teacher {

namespace {

void say(QIODevice &err, const QString &text)
{
    err.write((QStringLiteral("tarvel-teacher: ") + text + u'\n').toUtf8());
}

// A damaged file with the line where it broke, for whoever looks into it.
void sayDamaged(QIODevice &err, const Report &report)
{
    QString text = report.path + QStringLiteral(": ") + report.error;
    if (report.errorLine > 0)
        text += QStringLiteral(" (строка %1 файла)").arg(report.errorLine);
    say(err, text);
}

} // namespace

int printReports(const QStringList &files, QIODevice &out, QIODevice &err)
{
    if (files.isEmpty()) {
        say(err, QStringLiteral("не указан ни один файл отчёта"));
        return 2;
    }
    int status = 0;
    bool first = true;
    for (const QString &path : files) {
        const Report report = readReport(path);
        if (!report.isSound()) {
            sayDamaged(err, report);
            status = 1;
            continue;
        }
        QString text;
        if (files.size() > 1)
            text += (first ? QString() : QStringLiteral("\n")) + QStringLiteral("==> ") + path +
                    QStringLiteral(" <==\n");
        first = false;
        for (QString line : report.lines) {
            // The time stamps carry their own line feed; one break per line is enough.
            if (line.endsWith(u'\n'))
                line.chop(1);
            text += line + u'\n';
        }
        out.write(text.toUtf8());
    }
    return status;
}

int printClassCsv(const QString &dir, const CourseTopics &topics, QIODevice &out, QIODevice &err)
{
    QVector<Report> reports;
    QString error;
    if (!ClassTable::readFolder(dir, &reports, &error)) {
        say(err, error);
        return 2;
    }
    ClassTable table;
    table.setTopics(topics);
    table.setReports(reports);
    out.write(classCsv(table));
    int status = 0;
    for (const Report &r : std::as_const(reports)) {
        if (!r.isSound()) {
            sayDamaged(err, r);
            status = 1;
        }
    }
    if (reports.isEmpty())
        say(err, QStringLiteral("в папке нет файлов отчётов (*.rep): ") + dir);
    return status;
}

std::optional<lab::ConnectionSettings> labSource(const QString &value, const QString &courseDir,
                                                 const QProcessEnvironment &env)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return lab::LabSettings::find(courseDir, env);
    const QFileInfo info(v);
    std::optional<lab::ConnectionSettings> found;
    if (info.isDir()) {
        QProcessEnvironment noConnection = env;
        noConnection.remove(QString::fromLatin1(lab::LabSettings::kEnvVariable));
        found = lab::LabSettings::find(v, noConnection);
        if (!found)
            throw lab::LabError(lab::LabError::Kind::Settings,
                                QStringLiteral("В папке %1 нет файла lab.ini.")
                                    .arg(QDir::toNativeSeparators(v)));
        return found;
    }
    if (info.isFile())
        found = lab::LabSettings::readFile(v);
    else
        found = lab::LabSettings::parseConnectionString(v);
    const QString className = env.value(QString::fromLatin1(lab::LabSettings::kClassVariable)).trimmed();
    if (!className.isEmpty())
        found->className = className;
    return found;
}

} // namespace teacher
