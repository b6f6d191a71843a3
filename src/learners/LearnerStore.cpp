#include "learners/LearnerStore.h"

namespace learners {

namespace {
std::function<QDateTime()> &clockSource()
{
    static std::function<QDateTime()> c;
    return c;
}
} // namespace

StoreError::StoreError(const QString &message, Kind kind)
    : std::runtime_error(message.toStdString()), m_kind(kind)
{
}

LearnerStore::~LearnerStore() = default;

QVector<LearnerEntry> LearnerStore::learners() const
{
    QVector<LearnerEntry> list;
    readLearners([&](const LearnerEntry &entry) { list.append(entry); });
    return list;
}

QVector<Bookmark> LearnerStore::bookmarks(LearnerId learner) const
{
    QVector<Bookmark> list;
    readBookmarks(
        learner, [&](const QString &title) { list.append(Bookmark{title, 0, 0, QString()}); },
        [&](int page, int increment) {
            list.last().page = page;
            list.last().increment = increment;
        },
        [&](const QString &section) { list.last().section = section; });
    return list;
}

QString LearnerStore::sharedLocation() const
{
    return QString();
}

QString LearnerStore::unknownName()
{
    return QStringLiteral("неизвестен");
}

QString LearnerStore::bookmarkTitle(int page)
{
    return QStringLiteral("Лекция %1").arg(page);
}

QString LearnerStore::timeStamp(const QDateTime &t)
{
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime local = t.toLocalTime();
    if (!local.isValid())
        throw StoreError(QStringLiteral("Неверное время для отметки времени"));
    const QDate d = local.date();
    const QTime time = local.time();
    return QStringLiteral("%1 %2 %3 %4:%5:%6 %7\n")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]), QLatin1String(months[d.month() - 1]))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString LearnerStore::currentTimeStamp()
{
    return timeStamp(clockSource() ? clockSource()() : QDateTime::currentDateTime());
}

void LearnerStore::setClock(std::function<QDateTime()> clock)
{
    clockSource() = std::move(clock);
}

} // namespace learners
