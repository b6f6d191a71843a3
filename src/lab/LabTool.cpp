#include "lab/LabTool.h"

#include "lab/LabDatabase.h"
#include "lab/LabError.h"
#include "lab/LabSettings.h"
#include "lab/LabTransfer.h"
#include "learners/CourseData.h"

#include <QDir>
#include <QFileInfo>

namespace lab {

namespace {

QString usage()
{
    return QStringLiteral(
        "Использование:\n"
        "  tarvel-lab [--course ПАПКА] [--class КЛАСС] init\n"
        "      создать или обновить таблицы учебника в базе данных класса\n"
        "  tarvel-lab [--course ПАПКА] [--class КЛАСС] import DECT.CHH\n"
        "      скопировать учеников и их записи из файла dect.chh в базу данных\n"
        "  tarvel-lab [--course ПАПКА] [--class КЛАСС] export ФАЙЛ\n"
        "      записать учеников из базы данных в файл формата dect.chh\n"
        "База данных берётся из переменной TARVEL_LAB или из файла lab.ini папки курса\n"
        "(по умолчанию текущей папки); пароль — из ~/.pgpass.\n");
}

} // namespace

int runLabTool(const QStringList &arguments, QTextStream &out, QTextStream &err,
               const QProcessEnvironment &env)
{
    QString courseDir = QDir::currentPath();
    QString className;
    bool classGiven = false;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if ((a == u"--course" || a == u"--class") && i + 1 < arguments.size()) {
            (a == u"--course" ? courseDir : className) = arguments[++i];
            classGiven = classGiven || a == u"--class";
        } else if (a == u"--help" || a == u"-h") {
            out << usage();
            return 0;
        } else {
            rest << a;
        }
    }
    const QString command = rest.value(0);
    const bool needsFile = command == u"import" || command == u"export";
    if (!(command == u"init" && rest.size() == 1) && !(needsFile && rest.size() == 2)) {
        err << usage();
        return 2;
    }

    try {
        std::optional<ConnectionSettings> settings = LabSettings::find(courseDir, env);
        if (!settings) {
            err << QStringLiteral("Компьютерный класс не настроен: нет ни переменной TARVEL_LAB, "
                                  "ни файла lab.ini в папке курса %1.\n")
                       .arg(QDir::toNativeSeparators(courseDir));
            return 1;
        }
        if (classGiven)
            settings->className = className;
        LabDatabase db(*settings);
        db.open();
        const QString where = QStringLiteral("сервер «%1», база данных «%2»")
                                  .arg(settings->serverLabel(), settings->database);

        if (command == u"init") {
            const int before = db.schemaVersion();
            const QStringList steps = db.migrate();
            if (steps.isEmpty()) {
                out << QStringLiteral("База данных класса готова (%1): схема версии %2, изменений нет.\n")
                           .arg(where)
                           .arg(before);
            } else {
                out << (before == 0 ? QStringLiteral("Таблицы учебника созданы (%1):\n").arg(where)
                                    : QStringLiteral("Схема обновлена с версии %1 (%2):\n").arg(before).arg(where));
                for (const QString &step : steps)
                    out << QStringLiteral("  ") << step << u'\n';
            }
            return 0;
        }

        db.requireSchema();
        const QString file = rest[1];
        if (command == u"import") {
            if (!QFileInfo(file).isFile()) {
                err << QStringLiteral("Файл %1 не найден.\n").arg(file);
                return 1;
            }
            learners::CourseData data(QFileInfo(file).absoluteFilePath());
            const ImportReport report = importCourseData(db, data, settings->className);
            out << report.summary() << u'\n';
            return 0;
        }
        const QString courseData = QDir(courseDir).filePath(QStringLiteral("dect.chh"));
        if (!QFileInfo(courseData).isFile()) {
            err << QStringLiteral("В папке курса нет файла dect.chh (%1): из него берётся список лекций.\n")
                       .arg(courseData);
            return 1;
        }
        const ExportReport report = exportCourseData(db, courseData, file, settings->className);
        out << report.summary(file) << u'\n';
        return 0;
    } catch (const LabError &e) {
        err << e.message() << u'\n';
        if (!e.detail().isEmpty())
            err << QStringLiteral("Сообщение сервера: ") << e.detail().trimmed() << u'\n';
    } catch (const learners::StoreError &e) {
        err << e.message() << u'\n';
    }
    return 1;
}

} // namespace lab
