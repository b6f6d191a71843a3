#include "progress/ProgressText.h"

#include "learners/LearnerStore.h"

#include <QHash>

#include <cmath>
#include <limits>

namespace progress {

NotANumberError::NotANumberError(const QString &text)
    : std::runtime_error(QStringLiteral("«%1» не является числом").arg(text).toStdString())
{
}

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Copies a run of ASCII digits; returns how many there were.
qsizetype takeDigits(const QString &s, qsizetype &i, QString &out)
{
    const qsizetype from = i;
    while (i < s.size() && isDigit(s[i]))
        out += s[i++];
    return i - from;
}

} // namespace

bool parseSingle(const QString &text, float *value, const QLocale &locale)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    const QString s = text.mid(begin, end - begin);
    const QString separator = locale.decimalPoint();

    // Rebuilt in the C form for the conversion itself.
    QString c;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        c += s[i++];
    qsizetype digits = takeDigits(s, i, c);
    // The separator of the settings in use, or either of the usual two: a
    // result stored under other regional settings reads the same.
    const QStringView rest = QStringView(s).sliced(i);
    qsizetype separatorSize = 0;
    if (!separator.isEmpty() && rest.startsWith(separator))
        separatorSize = separator.size();
    else if (rest.startsWith(u'.') || rest.startsWith(u','))
        separatorSize = 1;
    if (separatorSize > 0) {
        i += separatorSize;
        c += u'.';
        digits += takeDigits(s, i, c);
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        c += u'e';
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            c += s[i++];
        if (takeDigits(s, i, c) == 0)
            return false;
    }
    if (i != s.size())
        return false;

    bool ok = false;
    const double d = c.toDouble(&ok);
    // A value past single precision's range would not survive being held in it.
    if (!ok || !std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return false;
    if (value)
        *value = static_cast<float>(d);
    return true;
}

QString formatGeneral(double value, const QLocale &locale)
{
    if (value == 0)
        value = 0; // no "-0"
    // The C library's %g with 15 digits picks the same form: fixed unless
    // the exponent is below -4 or at least 15.
    const QString s = QString::number(value, 'g', 15);
    const qsizetype e = s.indexOf(u'e');
    QString mantissa = e < 0 ? s : s.left(e);
    mantissa.replace(u'.', locale.decimalPoint());
    if (e < 0)
        return mantissa;
    const int exponent = s.mid(e + 1).toInt();
    return mantissa + u'E' + QString::number(exponent);
}

QString percentText(const QString &stored, const QLocale &locale)
{
    float v = 0;
    if (!parseSingle(stored, &v, locale))
        throw NotANumberError(stored);
    return formatGeneral(double(v), locale);
}

QString russianDate(const QString &stored)
{
    static const QStringList days{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const QStringList months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const QStringList genitive{"января", "февраля", "марта", "апреля", "мая", "июня",
                                      "июля", "августа", "сентября", "октября", "ноября", "декабря"};
    const QString text = stored.trimmed();
    // Day name, month name, day, hh:mm:ss, year: what the test run stores.
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 5 || !days.contains(parts[0]))
        return text;
    const int month = int(months.indexOf(parts[1]));
    bool dayOk = false, yearOk = false;
    const int day = parts[2].toInt(&dayOk);
    const int year = parts[4].toInt(&yearOk);
    const QStringList clock = parts[3].split(u':');
    if (month < 0 || !dayOk || !yearOk || day < 1 || day > 31 || clock.size() != 3)
        return text;
    for (const QString &part : clock) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || part.size() != 2 || n < 0 || n > 59)
            return text;
    }
    if (clock[0].toInt() > 23)
        return text;
    return QStringLiteral("%1 %2 %3 г., %4").arg(day).arg(genitive[month]).arg(year).arg(parts[3]);
}

QString testTitle(const QString &number, const QStringList &titles)
{
    const QString n = number.trimmed();
    if (n == u"0")
        return QStringLiteral("Общий тест");
    bool ok = false;
    const int position = n.toInt(&ok);
    const QString title = ok && position > 0 && position < titles.size() ? titles[position].trimmed()
                                                                         : QString();
    if (title.isEmpty())
        return QStringLiteral("Лекция ") + n;
    return QStringLiteral("Лекция %1. %2").arg(n, title);
}

QString reportSeparator()
{
    return QString(22, u'~');
}

QString reportTitle()
{
    return QStringLiteral("расшифрованный файл отчета");
}

QString fieldLabel(const char *field)
{
    static const QHash<QByteArray, QString> labels = {
        {"name", QStringLiteral("Имя: ")},
        {"sourname", QStringLiteral("Фамилия: ")},
        {"group", QStringLiteral("Группа: ")},
        {"mail", QStringLiteral("Почтовый ящик: ")},
        {"date", QStringLiteral("Дата регистрации: ")},
    };
    return labels.value(field);
}

void reportText(const learners::LearnerStore &store, learners::LearnerId learner,
                const LineSink &sink)
{
    sink(reportTitle());
    store.readLearnerRecord(
        learner,
        [&](const char *field, const QString &value) {
            sink(fieldLabel(field) + value);
            if (qstrcmp(field, "date") == 0) {
                sink(reportSeparator());
                sink(QStringLiteral("Прохождение тестов"));
                sink(reportSeparator());
            }
        },
        [&](const learners::TestRecord &record) {
            const QString right = percentText(record.right);
            sink(QStringLiteral("Тест по лекции: ") + record.number);
            sink(QStringLiteral("Дата выполнения: ") + record.date);
            sink(QStringLiteral("Правильность: ") + right + u'%');
            sink(reportSeparator());
        });
}

} // namespace progress
