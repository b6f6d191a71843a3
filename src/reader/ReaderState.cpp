#include "reader/ReaderState.h"

#include "learners/CourseData.h"
#include "learners/DectStore.h"
#include "richtext/RVStyle.h"

namespace reader {

ReaderState::ReaderState(const QString &courseDataFile)
    : m_courseData(std::make_unique<learners::CourseData>(courseDataFile)),
      m_learnerStore(std::make_unique<learners::DectStore>(*m_courseData)),
      m_readingStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Reader)),
      m_menuStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Menu))
{
}

ReaderState::~ReaderState() = default;

void ReaderState::setLearnerStore(std::unique_ptr<learners::LearnerStore> store)
{
    m_learnerStore = std::move(store);
}

bool ReaderState::learnerDataWritable() const
{
    return CurrentUser.isValid() && m_learnerStore->isOpen() && learnerDataFailure.isEmpty();
}

QString ReaderState::learnerDataUnavailableText() const
{
    return QStringLiteral("Эта команда недоступна: ученики, результаты тестов и закладки "
                          "не прочитаны, учебник открыт только для чтения.\n\n") +
           learnerDataFailure;
}

} // namespace reader
