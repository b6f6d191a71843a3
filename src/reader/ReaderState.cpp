#include "reader/ReaderState.h"

#include "learners/CourseData.h"
#include "richtext/RVStyle.h"

namespace reader {

ReaderState::ReaderState(const QString &courseDataFile)
    : m_courseData(std::make_unique<learners::CourseData>(courseDataFile)),
      m_readingStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Reader)),
      m_menuStyle(std::make_unique<TRVStyle>(TRVStyle::Sheet::Menu))
{
}

ReaderState::~ReaderState() = default;

bool ReaderState::learnerDataWritable() const
{
    return CurrentUser >= 0 && m_courseData->isLoaded() && learnerDataFailure.isEmpty();
}

QString ReaderState::learnerDataUnavailableText() const
{
    return QStringLiteral("Эта команда недоступна: ученики, результаты тестов и закладки "
                          "не прочитаны, учебник открыт только для чтения.\n\n") +
           learnerDataFailure;
}

} // namespace reader
