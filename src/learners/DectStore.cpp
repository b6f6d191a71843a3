#include "learners/DectStore.h"

#include "learners/CourseData.h"

namespace learners {

DectStore::DectStore(CourseData &data) : m_data(data) {}

DectStore::~DectStore() = default;

const QVector<qint64> &DectStore::ids() const
{
    // Throws while the document is not read, with the document's own words.
    const int count = m_data.learnerCount();
    if (!m_numbered) {
        m_numbered = true;
        m_ids.clear();
    }
    if (count > m_ids.size()) {
        // Learners this store has not seen come after the ones it has (the
        // first reading, or a registration made past the store).
        while (m_ids.size() < count)
            m_ids.append(++m_lastId);
    } else if (count < m_ids.size()) {
        // A deletion made past the store: which learner went is unknown, so
        // no old id may stand for a learner it never named.
        m_ids.clear();
        while (m_ids.size() < count)
            m_ids.append(++m_lastId);
    }
    return m_ids;
}

int DectStore::positionOf(LearnerId learner) const
{
    const qsizetype position = learner.isValid() ? ids().indexOf(learner.value()) : -1;
    if (position < 0)
        throw StoreError(QStringLiteral("Запись ученика не найдена: возможно, она удалена. "
                                        "Выберите ученика заново."),
                         StoreError::Kind::NotFound);
    return int(position);
}

LearnerId DectStore::idAt(int position) const
{
    const QVector<qint64> &list = ids();
    return position >= 0 && position < list.size() ? LearnerId(list[position]) : LearnerId();
}

void DectStore::open()
{
    m_data.LoadCourseData();
}

bool DectStore::isOpen() const
{
    return m_data.isLoaded();
}

void DectStore::readLearners(const std::function<void(const LearnerEntry &)> &sink) const
{
    const QVector<qint64> list = ids();
    int position = 0;
    m_data.readLearnerEntries([&](const QString &name, const QString &sourname, const QString &group) {
        sink(LearnerEntry{LearnerId(list.value(position++)), name, sourname, group});
    });
}

LearnerFields DectStore::learnerFormFields(LearnerId learner) const
{
    return m_data.learnerFormFields(positionOf(learner));
}

LearnerId DectStore::registerLearner(const LearnerFields &fields)
{
    checkFields(fields);
    ids();
    m_data.registerLearner(fields.name, fields.sourname, fields.group, fields.mail);
    m_ids.append(++m_lastId);
    return LearnerId(m_lastId);
}

void DectStore::changeLearner(LearnerId learner, const LearnerFields &fields)
{
    checkFields(fields);
    m_data.changeLearner(positionOf(learner), fields.name, fields.sourname, fields.group, fields.mail);
}

void DectStore::deleteLearner(LearnerId learner)
{
    const int position = positionOf(learner);
    m_data.deleteLearner(position);
    m_ids.remove(position);
}

void DectStore::claimLearner(LearnerId learner, bool)
{
    // One seat works on the file: there is nobody to hold the learner from.
    positionOf(learner);
}

void DectStore::readLearnerRecord(LearnerId learner,
                                  const std::function<void(const char *, const QString &)> &field,
                                  const std::function<void(const TestRecord &)> &test) const
{
    m_data.readLearnerRecord(positionOf(learner), field, test);
}

QVector<TestRecord> DectStore::testRecords(LearnerId learner) const
{
    return m_data.testRecords(positionOf(learner));
}

void DectStore::addTestResult(LearnerId learner, const TestResult &result)
{
    checkField(QStringLiteral("Тема теста"), result.topic);
    const int position = positionOf(learner);
    if (m_data.testRecords(position).size() >= kMaxTestResults)
        throw StoreError(QStringLiteral("У ученика уже %1 результатов тестов, больше сохранить нельзя.")
                             .arg(kMaxTestResults));
    // The file keeps results only; the answers are not part of its records.
    m_data.addTestResult(position, result.topic, result.percent);
}

void DectStore::addBookmark(LearnerId learner, int page, int increment, const QString &section)
{
    checkField(QStringLiteral("Раздел закладки"), section);
    if (m_data.bookmarks(positionOf(learner)).size() >= kMaxBookmarks)
        throw StoreError(QStringLiteral("У ученика уже %1 закладок, больше сохранить нельзя. "
                                        "Удалите ненужные закладки.")
                             .arg(kMaxBookmarks));
    m_data.addBookmark(positionOf(learner), page, increment, section);
}

void DectStore::addBookmarkAt(LearnerId learner, const Bookmark &bookmark)
{
    m_data.addBookmark(positionOf(learner), bookmark.page, bookmark.increment, bookmark.section,
                       bookmark.anchor);
}

QVector<int> DectStore::bookmarkAnchors(LearnerId learner) const
{
    return m_data.bookmarkAnchors(positionOf(learner));
}

void DectStore::deleteBookmark(LearnerId learner, int index)
{
    m_data.deleteBookmark(positionOf(learner), index);
}

void DectStore::readBookmarks(LearnerId learner, const std::function<void(const QString &)> &title,
                              const std::function<void(int, int)> &position,
                              const std::function<void(const QString &)> &section) const
{
    m_data.readBookmarks(positionOf(learner), title, position, section);
}

Place DectStore::place(LearnerId learner) const
{
    return m_data.place(positionOf(learner));
}

void DectStore::setPlace(LearnerId learner, const Place &place)
{
    checkField(QStringLiteral("Раздел"), place.section);
    m_data.setPlace(positionOf(learner), place);
}

QVector<int> DectStore::openedPages(LearnerId learner) const
{
    return m_data.openedPages(positionOf(learner));
}

void DectStore::markOpened(LearnerId learner, int page)
{
    m_data.markOpened(positionOf(learner), page);
}

Preferences DectStore::preferences(LearnerId learner) const
{
    return m_data.preferences(positionOf(learner));
}

void DectStore::setPreferences(LearnerId learner, const Preferences &prefs)
{
    checkField(QStringLiteral("Шрифт"), prefs.fontFamily);
    checkField(QStringLiteral("Цвет шрифта"), prefs.fontColor);
    m_data.setPreferences(positionOf(learner), prefs);
}

} // namespace learners
