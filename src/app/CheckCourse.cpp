// tarvel-check-course: reads a course folder the way the textbook does and
// names every problem with its file and line, so that a teacher who edited a
// course finds a broken page before a learner does.
//
//   tarvel-check-course [course folder]     (default: the current folder)
//
// Exit status 0 when nothing is wrong, 1 when a problem was found, 2 for a
// folder that is not there.

#include "app/CourseCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() > 1 || (args.size() == 1 && args[0].startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: tarvel-check-course [course folder]\n");
        return 2;
    }
    const QString folder = args.isEmpty() ? QDir::currentPath() : args[0];
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "tarvel-check-course: %s is not a folder\n", qUtf8Printable(folder));
        return 2;
    }
    const QStringList problems = checkCourse(folder);
    for (const QString &problem : problems)
        std::printf("%s\n", qUtf8Printable(problem));
    if (problems.isEmpty())
        std::printf("%s: no problems found\n", qUtf8Printable(QDir::toNativeSeparators(folder)));
    return problems.isEmpty() ? 0 : 1;
}
