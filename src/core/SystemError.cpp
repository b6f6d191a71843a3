#include "core/SystemError.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace files {

namespace {
struct Wording
{
    int error;
    const char *russian;
};

// The failures a file of the course meets in a school: a full or read-only
// disk, missing rights, a share that went away.
constexpr Wording kWordings[] = {
    {ENOSPC, "на диске нет свободного места"},
    {EDQUOT, "превышена дисковая квота пользователя"},
    {EACCES, "нет прав доступа"},
    {EPERM, "операция не разрешена"},
    {EROFS, "диск или папка доступны только для чтения"},
    {ENOENT, "файл или папка не найдены"},
    {ENOTDIR, "часть пути не является папкой"},
    {EISDIR, "это папка, а не файл"},
    {EEXIST, "файл уже существует"},
    {ENAMETOOLONG, "слишком длинное имя файла"},
    {ELOOP, "слишком много символических ссылок в пути"},
    {EMFILE, "открыто слишком много файлов"},
    {ENFILE, "в системе открыто слишком много файлов"},
    {EIO, "ошибка ввода-вывода (диск или сеть)"},
    {EFBIG, "файл слишком велик"},
    {ENOMEM, "не хватает памяти"},
    {EBUSY, "файл или устройство заняты"},
    {ETXTBSY, "файл занят"},
    {EAGAIN, "ресурс временно недоступен"},
    {EINTR, "операция прервана"},
    {ESTALE, "сетевая папка больше недоступна"},
    {ETIMEDOUT, "сетевая папка не отвечает"},
    {ENOTCONN, "нет связи с сетевой папкой"},
    {EHOSTDOWN, "компьютер с сетевой папкой недоступен"},
    {EHOSTUNREACH, "компьютер с сетевой папкой недоступен"},
    {ENOLCK, "блокировки файлов недоступны"},
    {EXDEV, "файлы на разных дисках"},
    {ENOTEMPTY, "папка не пуста"},
    {EINVAL, "недопустимый аргумент"},
    {EBADF, "файл не открыт"},
};

void tellStandardError(const QString &text)
{
    std::fprintf(stderr, "tarvel: system error: %s\n", qPrintable(text));
    std::fflush(stderr);
}
} // namespace

QString systemErrorText(int error)
{
    tellStandardError(QString::fromLocal8Bit(std::strerror(error)));
    for (const Wording &w : kWordings)
        if (w.error == error)
            return QString::fromUtf8(w.russian);
    return QStringLiteral("системная ошибка %1").arg(error);
}

QString systemErrorText(const QString &systemText)
{
    if (!systemText.isEmpty())
        tellStandardError(systemText);
    // Qt's file classes write the system's message, sometimes after words
    // of their own ("Could not open file: …"): the one it names is found.
    for (const Wording &w : kWordings) {
        const QString english = QString::fromLocal8Bit(std::strerror(w.error));
        if (systemText.contains(english, Qt::CaseInsensitive))
            return QString::fromUtf8(w.russian);
    }
    // Qt words four failures itself, and may have them translated.
    static const struct
    {
        int error;
        const char *text;
    } kQtTexts[] = {{EACCES, "Permission denied"},
                    {EMFILE, "Too many open files"},
                    {ENOENT, "No such file or directory"},
                    {ENOSPC, "No space left on device"}};
    for (const auto &q : kQtTexts) {
        if (systemText.contains(QLatin1String(q.text), Qt::CaseInsensitive) ||
            systemText.contains(QCoreApplication::translate("QIODevice", q.text), Qt::CaseInsensitive)) {
            for (const Wording &w : kWordings)
                if (w.error == q.error)
                    return QString::fromUtf8(w.russian);
        }
    }
    if (systemText.isEmpty())
        return QStringLiteral("неизвестная ошибка");
    return QStringLiteral("системная ошибка (подробности в стандартном потоке ошибок)");
}

} // namespace files
