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

void LearnerStore::addBookmarkAt(LearnerId learner, const Bookmark &bookmark)
{
    addBookmark(learner, bookmark.page, bookmark.increment, bookmark.section);
}

QVector<int> LearnerStore::bookmarkAnchors(LearnerId) const
{
    return {};
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
    const QVector<int> anchors = bookmarkAnchors(learner);
    for (qsizetype i = 0; i < list.size() && i < anchors.size(); ++i)
        list[i].anchor = anchors[i];
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

void LearnerStore::checkField(const QString &label, const QString &text)
{
    if (text.size() > kMaxFieldChars)
        throw StoreError(QStringLiteral("Поле «%1» слишком длинное: %2 символов, а можно не больше "
                                        "%3. Запись не сохранена.")
                             .arg(label)
                             .arg(text.size())
                             .arg(kMaxFieldChars));
}

void LearnerStore::checkFields(const LearnerFields &fields)
{
    checkField(QStringLiteral("Имя"), fields.name);
    checkField(QStringLiteral("Фамилия"), fields.sourname);
    checkField(QStringLiteral("Группа"), fields.group);
    checkField(QStringLiteral("Электронная почта"), fields.mail);
}

} // namespace learners
