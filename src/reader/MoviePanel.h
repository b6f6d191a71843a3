#pragma once

#include <QObject>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace movie {
class MovieControl;
}

namespace reader {

class ReaderState;

// The reader's movie panel: the lecture movie of the page shown, in a panel
// that slides down from the top edge, and its edge handle. Its controls are
// children of the reader window, under their own names.
class MoviePanel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHiddenTop = -405;
    static constexpr int kHandleOffset = 390;
    static constexpr int kRightGap = 39;

    MoviePanel(ReaderState &state, QWidget &window);

    // The edge handle, created apart from the panel: the reader window's
    // controls stack, and Tab walks them, in the order they are created.
    void addHandle();

    // Slide requests: a request that would change nothing is ignored.
    void show();
    void hide();
    // The handle: starts a slide unless one is under way.
    void toggleClicked();
    // One step of the slide (the timer's tick).
    void slideStep();
    // Out of view at once; a slide under way goes on.
    void putAway();
    void stopSlide();
    // Keeps its distance to the right edge of a window that wide.
    void placeFor(int windowWidth);
    // The movie fills the panel.
    void fitContents();
    // The page's movie: shown at once when the panel is out, otherwise
    // built when the panel next comes out.
    void setPageMovie(const QString &path);
    QString pageMovie() const { return m_pageMovie; }
    bool isOut() const;
    // Whether the panel lies over the page: out or sliding, and not at its
    // hidden place (the home screen puts it there and leaves the flag).
    bool coversPage() const;
    // Out of view it and its handle take no keyboard focus, and what it
    // holds is hidden; over the page it shows the movie or the line saying
    // there is none.
    void updateFocus();

    QFrame *panel() const { return m_panel; }

signals:
    void slid();

private:
    void loadPageMovie();
    // The lecture movie, or a line saying the page has none.
    void showMovieOrPlaceholder();

    ReaderState &m_state;
    QWidget *m_window = nullptr;
    QFrame *m_panel = nullptr;
    movie::MovieControl *m_player = nullptr;
    QLabel *m_noMovie = nullptr;
    QPushButton *m_handle = nullptr;
    QTimer *m_timer = nullptr;
    QString m_pageMovie;        // the movie of the page shown, loaded or not
    bool m_movieLoaded = false; // m_pageMovie is the player's scene
};

} // namespace reader
