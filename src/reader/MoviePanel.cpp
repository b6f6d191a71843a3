#include "reader/MoviePanel.h"

#include "movie/MovieControl.h"
#include "reader/ReaderState.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace reader {

MoviePanel::MoviePanel(ReaderState &state, QWidget &window)
    : QObject(&window), m_state(state), m_window(&window)
{
    m_panel = new QFrame(&window);
    m_panel->setObjectName(QStringLiteral("pnlPlayer"));
    m_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel->setGeometry(40, 0, 550, 400);
    m_panel->setVisible(false);
    // Opaque, so that the text never shows through an empty panel.
    m_panel->setAutoFillBackground(true);
    m_noMovie = new QLabel(QStringLiteral("Для этой страницы нет видеолекции"), m_panel);
    m_noMovie->setObjectName(QStringLiteral("lblNoMovie"));
    m_noMovie->setAlignment(Qt::AlignCenter);
    m_noMovie->setWordWrap(true);
    // Said only once the panel is out on a page without a movie.
    m_noMovie->setVisible(false);
    m_player = new movie::MovieControl(m_panel);
    // A lecture's movie that fails leaves the rest of the reader usable.
    m_player->setFailureClosesWindow(false);
    m_player->setObjectName(QStringLiteral("Player"));
    m_player->setVisible(false);

    m_timer = new QTimer(&window);
    m_timer->setObjectName(QStringLiteral("PlayerTimer"));
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, &MoviePanel::slideStep);
}

void MoviePanel::addHandle()
{
    m_handle = new QPushButton(m_window);
    m_handle->setObjectName(QStringLiteral("btnPlayerOn"));
    m_handle->setAccessibleName(QStringLiteral("Видеолекция"));
    m_handle->setToolTip(QStringLiteral("Видеолекция (F3)"));
    m_handle->setGeometry(40, kHandleOffset, 550, 10);
    connect(m_handle, &QPushButton::clicked, this, &MoviePanel::toggleClicked);
}

void MoviePanel::show()
{
    if (!m_state.PlayerShown())
        m_timer->start();
}

void MoviePanel::hide()
{
    if (m_state.PlayerShown())
        m_timer->start();
}

void MoviePanel::toggleClicked()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void MoviePanel::stopSlide()
{
    m_timer->stop();
}

bool MoviePanel::isOut() const
{
    return m_state.PlayerShown() || m_timer->isActive();
}

bool MoviePanel::coversPage() const
{
    return isOut() && m_panel->y() > kHiddenTop;
}

void MoviePanel::updateFocus()
{
    const bool out = isOut();
    m_panel->setEnabled(out);
    m_handle->setFocusPolicy(out ? Qt::StrongFocus : Qt::NoFocus);
    // Put away above the window the panel is still a shown widget; what it
    // holds is hidden, so that a screen reader offers no stale line or movie.
    if (coversPage()) {
        showMovieOrPlaceholder();
    } else {
        m_player->setVisible(false);
        m_noMovie->setVisible(false);
    }
}

void MoviePanel::slideStep()
{
    const auto told = qScopeGuard([this] { emit slid(); });
    int step = 0;
    if (m_state.PlayerShown()) {
        if (m_panel->y() < -400) {
            m_timer->stop();
            m_state.setPlayerShown(false);
            return;
        }
        step = -5;
    } else {
        loadPageMovie();
        if (m_panel->y() >= 0) {
            m_timer->stop();
            m_state.setPlayerShown(true);
            return;
        }
        step = 5;
    }
    m_panel->move(m_panel->x(), m_panel->y() + step);
    m_handle->move(m_handle->x(), m_handle->y() + step);
}

void MoviePanel::putAway()
{
    m_panel->move(m_panel->x(), kHiddenTop);
    m_handle->move(m_handle->x(), kHiddenTop + kHandleOffset);
}

void MoviePanel::placeFor(int windowWidth)
{
    const int left = windowWidth - kRightGap - m_panel->width();
    m_panel->move(left, m_panel->y());
    m_handle->move(left, m_handle->y());
}

void MoviePanel::fitContents()
{
    m_player->setGeometry(m_panel->contentsRect());
    m_noMovie->setGeometry(m_panel->contentsRect());
}

void MoviePanel::setPageMovie(const QString &path)
{
    m_pageMovie = path;
    m_movieLoaded = false;
    if (isOut()) {
        loadPageMovie();
        return;
    }
    // The scene is built when the panel comes out: most pages are read with
    // the panel in, and building it took a good part of opening a page. A
    // hidden panel does not go on playing another page's movie meanwhile.
    if (!m_player->movie().isEmpty())
        m_player->setMovie(QString());
}

void MoviePanel::loadPageMovie()
{
    if (m_movieLoaded || m_pageMovie.isEmpty())
        return;
    m_movieLoaded = true;
    m_player->setMovie(m_pageMovie);
    if (coversPage())
        showMovieOrPlaceholder();
}

void MoviePanel::showMovieOrPlaceholder()
{
    const bool loaded = m_player->rootItem() != nullptr;
    m_player->setVisible(loaded);
    m_noMovie->setVisible(!loaded);
}

} // namespace reader
