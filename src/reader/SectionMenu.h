#pragma once

#include <QObject>

class QFrame;
class QPushButton;
class QTimer;
class QWidget;
class TRichView;

namespace reader {

class ReaderState;

// The section menu of the reader: a panel that slides in from the left edge
// listing the checkpoints of the page shown, and its edge handle. Its
// controls are children of the reader window, under their own names.
class SectionMenu : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWidth = 200;
    static constexpr int kHiddenLeft = -210;

    SectionMenu(ReaderState &state, TRichView &page, QWidget &window);

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
    // Out of view at once, no slide under way (the home screen has come up).
    void putAway();
    // The menu rebuilt from the page's checkpoints, their positions taken anew.
    void rebuild();
    // An empty menu and no section positions (a page without sections).
    void clear();
    // The section positions from the page's layout as it stands.
    void updateSectionPositions();
    // Scrolls the page to section k of the menu.
    void jumpTo(int k);
    // The panel and its handle as high as the page view.
    void fitHeight(int height);
    void stopSlide();
    // Whether the menu is out or on its way out: the learner's to reach.
    bool isOut() const;
    // Out of view it and its handle take no keyboard focus.
    void updateFocus();

    // The menu's own view, whose links jump to the sections.
    TRichView *view() const { return m_view; }

signals:
    // The page view gives room to the menu (false) or has the whole width.
    void pageWidthChanged(bool wholeWidth);
    // A slide step ended; focus rules may have changed.
    void slid();

private:
    void placeHandle();

    ReaderState &m_state;
    QWidget *m_window = nullptr;
    TRichView &m_page;
    QFrame *m_panel = nullptr;
    TRichView *m_view = nullptr;
    QPushButton *m_handle = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace reader
