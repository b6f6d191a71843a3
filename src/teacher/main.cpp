// The teacher's program: reads the learners' report files. With --text or
// --csv it runs without a window, for scripts.

#include "lab/LabError.h"
#include "teacher/CommandLine.h"
#include "teacher/CourseTopics.h"
#include "teacher/TeacherWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstring>
#include <memory>

namespace {

bool wantsConsole(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--text", "--csv", "--help", "-h", "--version", "-v"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

// The lecture titles: from the course named, or from the first course found.
teacher::CourseTopics loadTopics(const QString &courseDir, QFile &err)
{
    teacher::CourseTopics topics;
    if (courseDir.isEmpty()) {
        topics.loadFirstFound(teacher::CourseTopics::candidatePaths());
        return topics;
    }
    const QString dect = QDir(courseDir).filePath(QStringLiteral("dect.chh"));
    if (!topics.load(dect))
        err.write(("tarvel-teacher: не удалось прочитать курс " + dect + '\n').toUtf8());
    return topics;
}

} // namespace

int main(int argc, char **argv)
{
    const bool console = wantsConsole(argc, argv);
    std::unique_ptr<QCoreApplication> app(console ? new QCoreApplication(argc, argv)
                                                  : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("tarvel-teacher"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARVEL_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("tarvel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Тарвел — отчёты учеников: читает файлы отчётов (*.rep), которые сохраняет учебник.\n"
        "Без ключей открывает окно; ПАПКА или ФАЙЛЫ открываются в нём сразу.\n"
        "В компьютерном классе окно показывает результаты прямо из базы класса\n"
        "(ключ --lab или переменная TARVEL_LAB, как у учебника на местах учеников)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption text(
        QStringLiteral("text"),
        QStringLiteral("Вывести расшифрованные отчёты ФАЙЛ... текстом UTF-8."));
    const QCommandLineOption csv(
        QStringLiteral("csv"),
        QStringLiteral("Вывести таблицу класса из отчётов папки в CSV (UTF-8, «;»)."),
        QStringLiteral("ПАПКА"));
    const QCommandLineOption course(
        QStringLiteral("course"),
        QStringLiteral("Папка курса (с dect.chh), откуда взять названия лекций."),
        QStringLiteral("ПАПКА"));
    const QCommandLineOption labOption(
        QStringLiteral("lab"),
        QStringLiteral("Показывать класс из базы компьютерного класса: файл lab.ini, папка "
                       "курса с ним или строка подключения PostgreSQL; «-» — то же, что у "
                       "учебника (TARVEL_LAB или lab.ini папки курса)."),
        QStringLiteral("ИСТОЧНИК"));
    parser.addOption(labOption);
    parser.addOption(text);
    parser.addOption(csv);
    parser.addOption(course);
    parser.addPositionalArgument(QStringLiteral("ФАЙЛ"),
                                 QStringLiteral("Файлы отчётов или папка с ними."),
                                 QStringLiteral("[ФАЙЛ...]"));

    QFile out, err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);
    if (!parser.parse(QCoreApplication::arguments())) {
        err.write(("tarvel-teacher: " + parser.errorText() + '\n').toUtf8());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const teacher::CourseTopics topics =
        loadTopics(parser.isSet(course) ? parser.value(course) : QString(), err);

    if (parser.isSet(text) && parser.isSet(csv)) {
        err.write(QStringLiteral("tarvel-teacher: ключи --text и --csv не используются вместе\n")
                      .toUtf8());
        return 2;
    }
    if (parser.isSet(text))
        return teacher::printReports(parser.positionalArguments(), out, err);
    if (parser.isSet(csv)) {
        if (!parser.positionalArguments().isEmpty()) {
            err.write(QStringLiteral("tarvel-teacher: --csv принимает одну папку\n").toUtf8());
            return 2;
        }
        return teacher::printClassCsv(parser.value(csv), topics, out, err);
    }

    // Qt's own dialogs and buttons in Russian, where the translations are installed.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtRussian);
    QApplication::setApplicationDisplayName(QStringLiteral("Тарвел — отчёты учеников"));
    QApplication::setDesktopFileName(QStringLiteral("org.tarvel.Tarvel.Teacher"));

    teacher::TeacherWindow window(topics);
    const QStringList paths = parser.positionalArguments();
    window.show();
    if (!paths.isEmpty()) {
        window.openPaths(paths);
    } else if (parser.isSet(labOption) || qEnvironmentVariableIsSet(lab::LabSettings::kEnvVariable)) {
        // Like a seat: the connection the environment names, else the
        // course folder's lab.ini.
        const QString value = parser.isSet(labOption) && parser.value(labOption) != u"-"
                                  ? parser.value(labOption)
                                  : QString();
        const QString courseDir = parser.isSet(course) ? parser.value(course) : QDir::currentPath();
        try {
            if (const auto settings = teacher::labSource(value, courseDir))
                window.openDatabase(*settings);
            else
                QMessageBox::warning(&window, QStringLiteral("Тарвел — отчёты учеников"),
                                     QStringLiteral("Не найдена база компьютерного класса: нет ни "
                                                    "переменной TARVEL_LAB, ни файла lab.ini в "
                                                    "папке курса %1.")
                                         .arg(QDir::toNativeSeparators(courseDir)));
        } catch (const lab::LabError &e) {
            QMessageBox::warning(&window, QStringLiteral("Тарвел — отчёты учеников"), e.message());
        }
    }
    return app->exec();
}
