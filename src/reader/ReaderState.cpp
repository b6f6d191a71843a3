#include "reader/ReaderState.h"

#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "richtext/RVStyle.h"

#include <algorithm>
#include <iterator>

namespace reader {

ReaderState::ReaderState(const QString &courseDataFile, QObject *parent)
    : QObject(parent), m_courseData(std::make_unique<learners::CourseData>(courseDataFile)),
      m_learnerStore(std::make_unique<learners::DectStore>(*m_courseData)),
      m_readingStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Reader)),
      m_menuStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Menu))
{
    applySizesToSheet();
}

ReaderState::~ReaderState() = default;

void ReaderState::setCurrentUser(learners::LearnerId id)
{
    if (id == m_currentUser)
        return;
    m_currentUser = id;
    emit currentUserChanged(id);
}

void ReaderState::setCurrentPage(int page)
{
    if (page == m_currentPage)
        return;
    m_currentPage = page;
    emit currentPageChanged(page);
}

void ReaderState::setTopicMode(bool on)
{
    if (on == m_topicMode)
        return;
    m_topicMode = on;
    emit topicModeChanged(on);
}

void ReaderState::setSizes(int normal)
{
    // The headings keep their distance to the normal text at every zoom.
    const int steps = normal - kDefaultNormalSize;
    if (steps == zoom())
        return;
    m_normalSize = normal;
    m_headingSize = kDefaultHeadingSize + steps;
    m_subheadingSize = kDefaultSubheadingSize + steps;
    applySizesToSheet();
    emit zoomChanged();
}

void ReaderState::applySizesToSheet()
{
    m_readingStyle->TextStyles(rvs::tsNormal).size = m_normalSize;
    m_readingStyle->TextStyles(rvs::tsHeading).size = m_headingSize;
    m_readingStyle->TextStyles(rvs::tsSubheading).size = m_subheadingSize;
    m_readingStyle->TextStyles(rvs::tsCourier).size = m_normalSize;
    // The link lines of the contents and topic pages grow with the text: a
    // lecture's title stands above its section lines at every size.
    m_readingStyle->TextStyles(rvs::tsJumpArial).size = m_normalSize + kTitleLinkStep;
    m_readingStyle->TextStyles(rvs::tsMenu).size = m_normalSize;
}

void ReaderState::setReadingFont(const QFont &font, const QColor &color)
{
    using namespace rvs;
    richtext::RVTextStyle &normal = m_readingStyle->TextStyles(tsNormal);
    normal.assignFont(font, color);
    const int size = normal.size;
    m_readingStyle->TextStyles(tsHeading).size = size + 10;
    m_readingStyle->TextStyles(tsSubheading).size = size + 4;
    m_readingStyle->TextStyles(tsCourier).size = size;
    m_readingStyle->TextStyles(tsJumpArial).size = size + kTitleLinkStep;
    m_readingStyle->TextStyles(tsMenu).size = size;
    m_fontChosen = true;
    emit readingFontChanged();
}

namespace {
// Text styles 0 to 12 of the reader sheet as they start, the link styles 4
// and 12 as the zoom sizes them.
constexpr int kDefaultSizes[] = {10, 20, 14, 10, 12, 12, 10, 9, 9, 12, 10, 10, 10};
} // namespace

void ReaderState::restoreDefaultSizes()
{
    for (int i = 0; i < int(std::size(kDefaultSizes)); ++i)
        m_readingStyle->TextStyles(i).size = kDefaultSizes[i];
    emit readingFontChanged();
}

void ReaderState::resetReadingFont()
{
    const TRVStyle start(TRVStyle::Sheet::Reader);
    for (int i = 0; i < start.TextStyleCount(); ++i)
        m_readingStyle->TextStyles(i) = start.TextStyles(i);
    applySizesToSheet();
    m_fontChosen = false;
    emit readingFontChanged();
}

bool ReaderState::zoomIn()
{
    if (m_normalSize >= kMaxNormalSize)
        return false;
    setSizes(m_normalSize + 1);
    return true;
}

bool ReaderState::zoomOut()
{
    // Below this the text is no longer readable, and further presses would
    // change nothing visible while the sizes ran on.
    if (m_normalSize <= kMinNormalSize)
        return false;
    setSizes(m_normalSize - 1);
    return true;
}

void ReaderState::setZoom(int steps)
{
    // Held as steps first: a hand-edited number may be near the int's ends.
    setSizes(kDefaultNormalSize + std::clamp(steps, kMinNormalSize - kDefaultNormalSize,
                                             kMaxNormalSize - kDefaultNormalSize));
}

void ReaderState::setMenuShown(bool shown)
{
    if (shown == m_menuShown)
        return;
    m_menuShown = shown;
    emit panelsChanged();
}

void ReaderState::setPlayerShown(bool shown)
{
    if (shown == m_playerShown)
        return;
    m_playerShown = shown;
    emit panelsChanged();
}

void ReaderState::setSectionY(std::vector<int> positions)
{
    if (positions == m_sectionY)
        return;
    m_sectionY = std::move(positions);
    emit sectionsChanged();
}

void ReaderState::pushHistory(const HistoryCommand &record)
{
    m_history.push(record);
    emit historyChanged();
}

bool ReaderState::popHistory(HistoryCommand &record)
{
    if (!m_history.pop(record))
        return false;
    emit historyChanged();
    return true;
}

void ReaderState::setNarrowColumn(bool on)
{
    if (on == m_narrowColumn)
        return;
    m_narrowColumn = on;
    emit narrowColumnChanged(on);
}

void ReaderState::setLearnerStore(std::unique_ptr<learners::LearnerStore> store)
{
    m_learnerStore = std::move(store);
}

bool ReaderState::learnerDataWritable() const
{
    return m_currentUser.isValid() && m_learnerStore->isOpen() && m_learnerDataFailure.isEmpty();
}

QString ReaderState::learnerDataUnavailableText() const
{
    return QStringLiteral("Эта команда недоступна: ученики, результаты тестов и закладки "
                          "не прочитаны, учебник открыт только для чтения.\n\n") +
           m_learnerDataFailure;
}

} // namespace reader
