// The reader window's pages: opening them, the contents page, links, zoom,
// the history and the toolbar's commands, and the learner's place.

#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/MoviePanel.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderNotice.h"
#include "reader/ReaderToolbar.h"
#include "reader/ReaderWindow.h"
#include "reader/SectionMenu.h"
#include "richtext/RVStyle.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"

#include <QFontMetrics>
#include <QScrollBar>

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
    // The page being left keeps its place (Back and bookmarks come here).
    if (m_onPage && !m_homeUp)
        rememberPlace();
    m_contentsLinks.clear();
    m_notice->dismiss();
    bool loaded = false;
    QString failure;
    QString document;
    try {
        m_state.setCurrentPage(n);
        RichView1->ScrollTo(0);
        const pages::PageEntry entry = pages::pageEntry(n);
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
    // The place is kept by the caller once the page is where it opens: kept
    // here, at the top, a program that ended now would lose the true one.
    if (loaded) {
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
        ui::message(this, kMissingFiles);
        closeMainWindow();
    }
}

bool TfrmMain::showPageAt(int page, int increment, int anchor)
{
    OpenPage(page);
    if (m_closing)
        return false;
    if (scrollToAnchor(anchor)) {
        rememberPlace();
        return true;
    }
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
    rememberPlace();
    return true;
}

int TfrmMain::topAnchor() const
{
    const richtext::RichLayout *layout = RichView1->textLayout();
    if (!layout || !RichView1->isFormatted())
        return -1;
    // Just under the top edge, as the view finds its top line itself: a line
    // cut by the edge is the one the learner was reading.
    return std::max(0, layout->positionAt(QPointF(0, -RichView1->documentOrigin().y() + 1)));
}

bool TfrmMain::scrollToAnchor(int anchor)
{
    const richtext::RichLayout *layout = RichView1->textLayout();
    if (anchor < 0 || !layout || !RichView1->isFormatted() || anchor >= layout->characterCount())
        return false;
    // The document's top margin: where its origin lies when not scrolled.
    // Set on the bar itself: ScrollTo keeps to whole scroll steps, and the
    // line would then open a few pixels off.
    const int margin = RichView1->documentOrigin().y() + RichView1->scrollPosition();
    QScrollBar *bar = RichView1->verticalScrollBar();
    bar->setValue(std::clamp(margin + layout->lineTopOf(anchor), 0, bar->maximum()));
    return true;
}

bool TfrmMain::isReadingPage(int page)
{
    return (page >= pages::kFirstLecture && page <= pages::kLastLecture) ||
           page == pages::kIntroduction;
}

void TfrmMain::leavePage()
{
    if (!m_onPage)
        return;
    rememberPlace();
    // Back to this page returns to this text, not to the page's top.
    const auto &records = m_state.History().records();
    if (!records.empty() && records.back().GetKind() == hkPage &&
        records.back().Arg2 == m_state.CurrentPage())
        m_state.setHistoryLeftAt(topAnchor());
}

void TfrmMain::showSearchHit(const reader::SearchIndex::Hit &hit)
{
    m_state.setTopicMode(false);
    leavePage();
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
    leavePage();
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
                // Exactly at the heading (ScrollTo keeps to scroll steps).
                QScrollBar *bar = RichView1->verticalScrollBar();
                bar->setValue(std::clamp(positions[k], 0, bar->maximum()));
                // The reading caret there too.
                const richtext::RichLayout *layout = RichView1->textLayout();
                if (layout && cp->itemIndex >= 0 && cp->itemIndex < layout->itemCount())
                    RichView1->setCaretPosition(layout->itemPosition(cp->itemIndex));
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
        leavePage();
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
    leavePage();
    OpenPage(page);
    HidePlayerPanel();
    HideMenuPanel();
    PushHistory(hkPage, false, page);
}

void TfrmMain::AddBookmark()
{
    if (!m_state.learnerDataFailure().isEmpty()) {
        ui::message(this, m_state.learnerDataUnavailableText());
        return;
    }
    // A failed save raises; the learner then sees why and no success notice.
    // Where the learner is reading, so the bookmark reopens there: the text
    // at the top, and its share of the page for older copies.
    learners::Bookmark bookmark;
    bookmark.page = m_state.CurrentPage();
    if (m_onPage) {
        bookmark.increment = scrollPercent();
        bookmark.section = sectionInView();
        bookmark.anchor = topAnchor();
    }
    m_state.learnerStore().addBookmarkAt(m_state.CurrentUser(), bookmark);
    // Said without a box to press OK in: the learner reads on, the keyboard
    // where it was.
    m_notice->notify(QStringLiteral("Добавлена закладка!"), RichView1->geometry());
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
    const int leftAt = m_state.History().topLeftAt();
    PopHistory(target);
    switch (target.GetKind()) {
    case hkPage:
        OpenPage(target.Arg2);
        if (m_closing)
            return;
        // Where the learner was when going on from this page.
        scrollToAnchor(leftAt);
        rememberPlace();
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
    if (m_onPage && !m_homeUp)
        rememberPlace();
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
    m_notice->dismiss();
    RichView1->AddNL(QStringLiteral("Содержание"), tsSubheading, psCentered);
    // Every line is a link: a lecture's title opens the lecture, each of its
    // section lines the lecture at that section.
    std::vector<ContentsLink> links;
    int i = 0;
    XML().readLectures([&](const learners::CourseData::Lecture &lecture) {
        RichView1->AddNL(QString(), tsSubheading, psCentered);
        if (!lecture.hasId)
            throw learners::CourseDataError(
                QStringLiteral("В описании курса у лекции %1 нет атрибута id.").arg(i));
        RichView1->AddNLTag(lecture.id + QStringLiteral(".  ") + lecture.description, tsJumpArial,
                            psLeftIndent, i);
        links.push_back({i, QString()});
        RichView1->AddNL(QStringLiteral(" "), tsNormal, psLeft);
        for (const learners::CourseData::Section &section : lecture.sections) {
            RichView1->AddNLTag(QStringLiteral("     ") + section.mark + QStringLiteral(" ") +
                                    section.title,
                                tsMenu, psLeftIndent, i);
            links.push_back({i, section.mark});
        }
        ++i;
    });
    m_contentsLinks = std::move(links);
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
    if (!m_contentsLinks.empty()) {
        // The contents page: its links are lectures and their sections.
        if (id < 0 || id >= int(m_contentsLinks.size()))
            return;
        const ContentsLink link = m_contentsLinks[size_t(id)];
        if (!link.mark.isEmpty()) {
            showSection(link.page, link.mark);
            return;
        }
        id = link.page;
    }
    leavePage();
    OpenPage(id);
    if (m_closing)
        return;
    PushHistory(hkPage, false, id);
    rememberPlace();
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
    // The positions are read from the layout on screen: a slide, a resize or
    // a zoom may have laid the page out anew since the menu was built.
    if (!RichView1->isFormatted())
        return QString();
    const int top = RichView1->scrollPosition() + 20;
    QString name;
    for (auto cp = RichView1->GetFirstCheckpoint(); cp; cp = RichView1->GetNextCheckpoint(cp)) {
        int x = 0;
        int y = 0;
        RichView1->GetCheckpointXY(cp, x, y);
        if (y > top)
            break;
        int tag = 0;
        bool raiseEvent = false;
        RichView1->GetCheckpointInfo(cp, tag, name, raiseEvent);
    }
    return name;
}

void TfrmMain::rememberPlace()
{
    // Help, the dictionary and the contents are looked up, not read through:
    // the place to continue stays the lecture.
    if (!m_onPage || !isReadingPage(m_state.CurrentPage()) || !m_state.learnerDataWritable())
        return;
    learners::Place place;
    place.page = m_state.CurrentPage();
    place.increment = scrollPercent();
    place.section = sectionInView();
    place.anchor = topAnchor();
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
    if (!showPageAt(place.page, place.increment, place.anchor))
        return false;
    PushHistory(hkPage, false, place.page);
    return true;
}
