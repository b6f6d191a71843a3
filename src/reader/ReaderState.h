#pragma once

#include "learners/LearnerStore.h"
#include "reader/NavigationHistory.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

namespace learners {
class CourseData;
}
class TRVStyle;

namespace reader {

// The state the windows share, apart from any widget: the signed-in learner,
// the page shown, the topic mode, the zoom sizes, the panel flags, the
// history, the section positions, the reading choices, the reading style
// sheets and the one in-memory copy of the course data document. The reader
// window owns it and hands it to the screens that need it.
//
// Its fields change only through the operations below, and each change is
// told by a signal, so the reader window follows whoever made it.
class ReaderState : public QObject
{
    Q_OBJECT
public:
    explicit ReaderState(const QString &courseDataFile = QStringLiteral("dect.chh"),
                         QObject *parent = nullptr);
    ~ReaderState() override;

    // The signed-in learner; names nobody until the sign-in screen first
    // opens, and after it when there was nobody to choose.
    learners::LearnerId CurrentUser() const { return m_currentUser; }
    void setCurrentUser(learners::LearnerId id);

    // The number last passed to OpenPage, whatever row it fell into.
    int CurrentPage() const { return m_currentPage; }
    void setCurrentPage(int page);

    // True while a link in the page view starts a test.
    bool TopicMode() const { return m_topicMode; }
    void setTopicMode(bool on);

    // Zoom: point sizes of the reader sheet's text styles 0 to 3.
    static constexpr int kDefaultNormalSize = 10;
    static constexpr int kDefaultHeadingSize = 20;
    static constexpr int kDefaultSubheadingSize = 14;
    // Zoom keeps the normal text between these sizes.
    static constexpr int kMinNormalSize = 6;
    static constexpr int kMaxNormalSize = 36;
    // The contents' lecture titles (link style 4) are this much larger than
    // the normal text; the section lines (link style 12) are its size.
    static constexpr int kTitleLinkStep = 2;
    int NormalSize() const { return m_normalSize; }
    int HeadingSize() const { return m_headingSize; }
    int SubheadingSize() const { return m_subheadingSize; }
    // Steps of zoom from the start sizes.
    int zoom() const { return m_normalSize - kDefaultNormalSize; }
    // One step larger or smaller; false, changing nothing, at the limit.
    bool zoomIn();
    bool zoomOut();
    // Sets the zoom to that many steps, held within the limits.
    void setZoom(int steps);
    // Each of these also sizes the reader sheet's styles 0 to 3.

    // Whether the section menu and the movie panel are in view.
    bool MenuShown() const { return m_menuShown; }
    void setMenuShown(bool shown);
    bool PlayerShown() const { return m_playerShown; }
    void setPlayerShown(bool shown);

    // Positions of the shown page's checkpoints, one per checkpoint.
    const std::vector<int> &SectionY() const { return m_sectionY; }
    void setSectionY(std::vector<int> positions);

    const NavigationHistory &History() const { return m_history; }
    void pushHistory(const HistoryCommand &record);
    // Takes the newest record off; false when there is none.
    bool popHistory(HistoryCommand &record);
    // Where the newest record's view was left (NavigationHistory::setTopLeftAt).
    void setHistoryLeftAt(int position) { m_history.setTopLeftAt(position); }

    // The page text in a centred column of about 90 characters.
    bool narrowColumn() const { return m_narrowColumn; }
    void setNarrowColumn(bool on);
    // Whether the reading font was chosen by the learner (and is kept under
    // the learner) rather than being the sheet's own.
    bool fontChosen() const { return m_fontChosen; }
    // The reading font: the reader sheet's normal text takes the font and
    // colour, the headings follow its size; the other styles keep their
    // faces, colours and effects.
    void setReadingFont(const QFont &font, const QColor &color);
    // The sizes the reader sheet starts with; faces and colours stay.
    void restoreDefaultSizes();
    // The reader sheet as it starts, at the current zoom: no chosen font.
    void resetReadingFont();
    // Whose remembered choices are applied; an invalid id for nobody's yet.
    learners::LearnerId preferencesUser() const { return m_preferencesUser; }
    void setPreferencesUser(learners::LearnerId id) { m_preferencesUser = id; }

    // Why the learners could not be read at sign-in; empty when they were.
    // While it is set the textbook is read only: nothing that needs a
    // learner's record runs, and the course data is never written.
    const QString &learnerDataFailure() const { return m_learnerDataFailure; }
    void setLearnerDataFailure(const QString &failure) { m_learnerDataFailure = failure; }
    // Whether the signed-in learner's record may be written: a course data
    // document that could not be read whole is never written.
    bool learnerDataWritable() const;
    QString learnerDataUnavailableText() const;

    // The course data document: the course's structure (lectures and their
    // sections) is read from it. Learners are not: they are the store's.
    learners::CourseData &XML() { return *m_courseData; }
    const learners::CourseData &XML() const { return *m_courseData; }

    // Where the learners and their records are kept; by default the learner
    // records of the course data document.
    learners::LearnerStore &learnerStore() { return *m_learnerStore; }
    const learners::LearnerStore &learnerStore() const { return *m_learnerStore; }
    void setLearnerStore(std::unique_ptr<learners::LearnerStore> store);

    // The reader sheet (the page view and the font preview) and the menu
    // sheet (the section menu).
    TRVStyle &readingStyle() { return *m_readingStyle; }
    const TRVStyle &readingStyle() const { return *m_readingStyle; }
    TRVStyle &menuStyle() { return *m_menuStyle; }

signals:
    void currentUserChanged(learners::LearnerId id);
    void currentPageChanged(int page);
    void topicModeChanged(bool on);
    // The zoom sizes changed; the reader sheet is not yet resized.
    void zoomChanged();
    void panelsChanged();
    void sectionsChanged();
    void historyChanged();
    void narrowColumnChanged(bool on);
    // The reader sheet's font or sizes changed other than by zoom.
    void readingFontChanged();

private:
    void setSizes(int normal);
    void applySizesToSheet();

    learners::LearnerId m_currentUser;
    int m_currentPage = 0;
    bool m_topicMode = false;
    int m_normalSize = kDefaultNormalSize;
    int m_headingSize = kDefaultHeadingSize;
    int m_subheadingSize = kDefaultSubheadingSize;
    bool m_menuShown = false;
    bool m_playerShown = false;
    std::vector<int> m_sectionY;
    NavigationHistory m_history;
    bool m_narrowColumn = false;
    bool m_fontChosen = false;
    learners::LearnerId m_preferencesUser;
    QString m_learnerDataFailure;
    std::unique_ptr<learners::CourseData> m_courseData;
    std::unique_ptr<learners::LearnerStore> m_learnerStore;
    std::unique_ptr<TRVStyle> m_readingStyle;
    std::unique_ptr<TRVStyle> m_menuStyle;
};

} // namespace reader
