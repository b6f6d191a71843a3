// The reader window's pages: opening them, the contents page, links, zoom,
// the history and the toolbar's commands, and the learner's place.

#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/MoviePanel.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderToolbar.h"
#include "reader/ReaderWindow.h"
#include "reader/SectionMenu.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {
// The view scrolls in steps of this many pixels.
constexpr int kScrollSlack = 10;

const QString kMissingFiles = QStringLiteral(
    "Были удалены файлы, необходимые для работы приложения. Продолжение работы невозможно.");
} // namespace

// ---- Navigation history ---------------------------------------------------

bool TfrmMain::PushHistory(int kind, bool flag, int value)
{
    m_state.pushHistory(HistoryCommand(kind, flag, value));
    return true;
}

bool TfrmMain::PopHistory(HistoryCommand &record)
{
    return m_state.popHistory(record);
}

// ---- Pages ------------------------------------------------------------------

void TfrmMain::OpenPage(int n)
{
    bool loaded = false;
    QString failure;
    QString document;
    try {
        m_state.setCurrentPage(n);
        RichView1->ScrollTo(0);
        const PageEntry entry = pageEntry(n);
        document = entry.document;
        loaded = RichView1->LoadRVF(entry.document);
        if (!loaded)
            failure = RichView1->loadError();
        if (loaded) {
            if (!entry.movie.isEmpty())
                m_player->setPageMovie(movie::MovieControl::moviePath(entry.movie));
            if (entry.toolbarFrame >= 0)
                m_toolbar->gotoFrame(entry.toolbarFrame);
            RichView1->Format();
            // Every page opens at its top; a bookmark scrolls on from there.
            RichView1->ScrollTo(0);
            RichView1->viewport()->update();
            BuildSectionMenu();
            m_onPage = true;
        }
    } catch (const std::exception &e) {
        loaded = false;
        failure = QString::fromUtf8(e.what());
    }
    if (loaded) {
        rememberPlace();
        if (n >= pages::kFirstLecture && n <= pages::kLastLecture &&
            m_state.learnerDataWritable()) {
            try {
                m_state.learnerStore().markOpened(m_state.CurrentUser(), n);
            } catch (const std::exception &) {
                // What was opened is a convenience of the home screen; the
                // page itself is shown all the same.
            }
        }
    }
    if (!loaded) {
        // The learner gets the fixed message; whoever looks after the course
        // finds the file, the line and the reason on standard error.
        std::fprintf(
            stderr, "tarvel: %s: %s\n", qUtf8Printable(document),
            qUtf8Printable(failure.isEmpty() ? QStringLiteral("cannot be read") : failure));
        std::fflush(stderr);
        dialogs::message(this, kMissingFiles);
        closeMainWindow();
    }
}

bool TfrmMain::showPageAt(int page, int increment)
{
    OpenPage(page);
    if (m_closing)
        return false;
    // The percentage of the page's height; a hand-edited value too large for
    // a position is held at the edge rather than wrapped round, and ScrollTo
    // keeps it within the document.
    const int hundredth = RichView1->DocumentHeight() / 100;
    qint64 y = qint64(increment) * hundredth;
    // A per cent of a long page is many lines: a section that starts within
    // that step below is where the place was kept, so it opens at its heading.
    for (int sectionY : m_state.SectionY()) {
        if (sectionY > y && sectionY <= y + hundredth + kScrollSlack) {
            y = sectionY;
            break;
        }
    }
    RichView1->ScrollTo(int(
        std::clamp<qint64>(y, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
    return true;
}

void TfrmMain::showSearchHit(const reader::SearchIndex::Hit &hit)
{
    m_state.setTopicMode(false);
    // The movie panel would cover the hit.
    HidePlayerPanel();
    OpenPage(hit.page);
    if (m_closing)
        return;
    PushHistory(hkPage, false, hit.page);
    QVector<TRichView::Highlight> marks;
    for (const reader::SearchIndex::Hit::Span &span : hit.spans)
        marks.append({span.item, span.offset, span.length});
    RichView1->setHighlights(marks);
    // The hit a few lines below the top, so the text before it shows.
    const int top = RichView1->textTop(hit.item, hit.offset);
    const int lines = 3 * QFontMetrics(RVStyle1->TextStyles(rvs::tsNormal).font()).height();
    if (top >= 0)
        RichView1->ScrollTo(std::max(0, top - lines));
    rememberPlace();
}

void TfrmMain::showSection(int page, const QString &mark)
{
    m_state.setTopicMode(false);
    HidePlayerPanel();
    OpenPage(page);
    if (m_closing)
        return;
    PushHistory(hkPage, false, page);
    if (!mark.isEmpty()) {
        // Sections are the page's checkpoints, named "<mark> <title>".
        const std::vector<int> &positions = m_state.SectionY();
        size_t k = 0;
        for (auto cp = RichView1->GetFirstCheckpoint(); cp;
             cp = RichView1->GetNextCheckpoint(cp), ++k) {
            int tag = 0;
            QString name;
            bool raiseEvent = false;
            RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
            if ((name == mark || name.startsWith(mark + QLatin1Char(' '))) &&
                k < positions.size()) {
                RichView1->ScrollTo(positions[k]);
                break;
            }
        }
    }
    ShowMenuPanel();
    rememberPlace();
}

// ---- Toolbar ----------------------------------------------------------------

void TfrmMain::FlashButtonsFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("DoHome")) {
        rememberPlace();
        HideMenuPanel();
        HidePlayerPanel();
        FormShow();
        PushHistory(hkHome, false, 0);
    } else if (command == QLatin1String("DoMenu")) {
        if (m_state.MenuShown())
            HideMenuPanel();
        else
            ShowMenuPanel();
    } else if (command == QLatin1String("DoPlayer")) {
        if (m_state.PlayerShown())
            HidePlayerPanel();
        else
            ShowPlayerPanel();
    } else if (command == QLatin1String("DoBookmark")) {
        AddBookmark();
    } else if (command == QLatin1String("DoPlus")) {
        ZoomIn();
    } else if (command == QLatin1String("DoMinus")) {
        ZoomOut();
    } else if (command == QLatin1String("DoDict")) {
        openToolbarPage(pages::kDictionary);
    } else if (command == QLatin1String("DoHelp")) {
        openToolbarPage(pages::kHelp);
    } else if (command == QLatin1String("DoBack")) {
        Back();
    } else if (command == QLatin1String("DoSearch")) {
        openSearch();
    }
}

void TfrmMain::openToolbarPage(int page)
{
    OpenPage(page);
    HidePlayerPanel();
    HideMenuPanel();
    PushHistory(hkPage, false, page);
}

void TfrmMain::AddBookmark()
{
    if (!m_state.learnerDataFailure().isEmpty()) {
        dialogs::message(this, m_state.learnerDataUnavailableText());
        return;
    }
    // A failed save raises; the learner then sees why and no success message.
    // Where the learner is reading, so the bookmark reopens there.
    const int increment = m_onPage ? scrollPercent() : 0;
    m_state.learnerStore().addBookmark(m_state.CurrentUser(), m_state.CurrentPage(), increment,
                                       m_onPage ? sectionInView() : QString());
    dialogs::message(this, QStringLiteral("Добавлена закладка!"));
}

void TfrmMain::Back()
{
    // With fewer than two records there is no earlier view to return to:
    // the record on top stands for the view being shown, so nothing changes.
    if (m_state.History().size() < 2)
        return;
    HistoryCommand leaving;
    HistoryCommand target;
    PopHistory(leaving);
    PopHistory(target);
    switch (target.GetKind()) {
    case hkPage:
        OpenPage(target.Arg2);
        break;
    case hkHome:
        HideMenuPanel();
        HidePlayerPanel();
        FormShow();
        break;
    case hkContents:
        ShowContents();
        break;
    default:
        break;
    }
}

// ---- Contents page, page links, zoom ----------------------------------------

void TfrmMain::ShowContents()
{
    using namespace rvs;
    HideMenuPanel();
    m_onPage = false;
    if (!XML().isLoaded() || !m_state.learnerDataFailure().isEmpty()) {
        // Without the course data the course's own contents document
        // stands in: its link k opens page k as well.
        OpenPage(pages::kContents);
        if (m_closing)
            return;
        m_menu->clear();
        PushHistory(hkContents, false, 0);
        return;
    }
    RichView1->Clear();
    m_menu->clear();
    RichView1->AddNL(QStringLiteral("Содержание"), tsSubheading, psCentered);
    int i = 0;
    XML().readLectures([&](const learners::CourseData::Lecture &lecture) {
        RichView1->AddNL(QString(), tsSubheading, psCentered);
        if (!lecture.hasId)
            throw learners::CourseDataError(
                QStringLiteral("В описании курса у лекции %1 нет атрибута id.").arg(i));
        RichView1->AddNLTag(lecture.id + QStringLiteral(".  ") + lecture.description, tsJumpArial,
                            psLeftIndent, i);
        RichView1->AddNL(QStringLiteral(" "), tsNormal, psLeft);
        for (const learners::CourseData::Section &section : lecture.sections)
            RichView1->AddNL(QStringLiteral("     ") + section.mark + QStringLiteral(" ") +
                                 section.title,
                             tsCourier, psLeftIndent);
        ++i;
    });
    // The view lays the new content out at the top; the section menu stays empty.
    RichView1->Format();
    RichView1->ScrollTo(0);
    PushHistory(hkContents, false, 0);
}

void TfrmMain::RichView1Jump(int id)
{
    if (m_state.TopicMode()) {
        StartTopicTest(id);
        return;
    }
    OpenPage(id);
    if (m_closing)
        return;
    PushHistory(hkPage, false, id);
    // OpenPage has laid the page and its section menu out, and nothing has
    // changed them since: a second layout of a long lecture would only
    // repeat the first.
    if (!RichView1->isFormatted()) {
        RichView1->Format();
        BuildSectionMenu();
    }
    ShowMenuPanel();
}

void TfrmMain::ZoomIn()
{
    // The page follows through the state's zoomChanged.
    if (m_state.zoomIn())
        savePreferences();
}

void TfrmMain::ZoomOut()
{
    if (m_state.zoomOut())
        savePreferences();
}

void TfrmMain::ApplyZoom()
{
    // The state has sized the sheet's styles; the same text stays at the
    // top: a pixel offset means other text at another size.
    RichView1->Reformat();
    applyColumn();
    BuildSectionMenu();
}

// ---- The learner's place --------------------------------------------------------

int TfrmMain::scrollPercent() const
{
    const int hundredth = RichView1->DocumentHeight() / 100;
    if (hundredth <= 0)
        return 0;
    return std::clamp(RichView1->scrollPosition() / hundredth, 0, 100);
}

QString TfrmMain::sectionInView() const
{
    // The last section that starts at or above the top of the view (a line's
    // worth of slack: a jump to a section puts it right at the top).
    const int top = RichView1->scrollPosition() + 20;
    const std::vector<int> &positions = m_state.SectionY();
    QString name;
    size_t k = 0;
    for (auto cp = RichView1->GetFirstCheckpoint(); cp;
         cp = RichView1->GetNextCheckpoint(cp), ++k) {
        if (k >= positions.size() || positions[k] > top)
            break;
        int tag = 0;
        bool raiseEvent = false;
        RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
    }
    return name;
}

void TfrmMain::rememberPlace()
{
    if (!m_onPage || !m_state.learnerDataWritable())
        return;
    learners::Place place;
    place.page = m_state.CurrentPage();
    place.increment = scrollPercent();
    place.section = sectionInView();
    try {
        m_state.learnerStore().setPlace(m_state.CurrentUser(), place);
    } catch (const std::exception &) {
        // The place is a convenience: a save that fails here must not stand
        // between the learner and the page (a change that matters, such as a
        // bookmark, reports its own failure).
    }
}

bool TfrmMain::continueReading()
{
    if (!m_state.CurrentUser().isValid() || !m_state.learnerStore().isOpen())
        return false;
    const learners::Place place = m_state.learnerStore().place(m_state.CurrentUser());
    if (place.page < 0)
        return false;
    m_state.setTopicMode(false);
    if (!showPageAt(place.page, place.increment))
        return false;
    PushHistory(hkPage, false, place.page);
    return true;
}
