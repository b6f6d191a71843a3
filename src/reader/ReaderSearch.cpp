#include "reader/ReaderSearch.h"

#include "learners/CourseData.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderState.h"
#include "reader/SearchWindow.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QScopeGuard>
#include <QVector>

namespace reader {

ReaderSearch::ReaderSearch(ReaderState &state, QWidget &window)
    : QObject(&window), m_state(state), m_window(window)
{
}

ReaderSearch::~ReaderSearch() = default;

SearchIndex &ReaderSearch::index()
{
    if (m_index)
        return *m_index;
    m_index = std::make_unique<SearchIndex>();
    // The lecture titles as the contents page gives them; the course data
    // may be unreadable, and the pages are searched all the same.
    QVector<QString> titles(pages::kLastLecture + 1);
    try {
        int i = 0;
        m_state.XML().readLectures(
            [&](const learners::CourseData::Lecture &lecture) {
                if (i < titles.size())
                    titles[i] = lecture.description;
                ++i;
            },
            false);
    } catch (const std::exception &) {
    }
    for (int page = pages::kFirstLecture; page <= pages::kLastLecture; ++page) {
        QString title = QStringLiteral("Лекция %1").arg(page);
        if (!titles[page].isEmpty())
            title += QStringLiteral(". ") + titles[page];
        m_index->addFile(page, title, pages::pageEntry(page).document);
    }
    m_index->addFile(pages::kIntroduction, QStringLiteral("Введение"),
                     pages::pageEntry(pages::kIntroduction).document);
    m_index->addFile(pages::kHelp, QStringLiteral("Справка"), pages::pageEntry(pages::kHelp).document);
    m_index->addFile(pages::kDictionary, QStringLiteral("Словарь"),
                     pages::pageEntry(pages::kDictionary).document);
    return *m_index;
}

void ReaderSearch::forget()
{
    if (!m_searchWindow)
        return;
    m_searchWindow->hide();
    m_searchWindow->deleteLater();
    m_searchWindow = nullptr;
}

void ReaderSearch::open()
{
    if (!m_searchWindow) {
        m_searchWindow = new SearchWindow(&m_window);
        connect(m_searchWindow, &SearchWindow::hitChosen, this,
                [this](const SearchIndex::Hit &hit) {
                    ui::guarded(&m_window, [&] { emit hitChosen(hit); });
                });
    }
    SearchIndex *built = nullptr;
    {
        // The first search builds the index; a failure does not leave the
        // busy cursor behind.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        built = &index();
    }
    m_searchWindow->showFor(*built);
}

} // namespace reader
