#include "reader/SectionMenu.h"

#include "reader/ReaderState.h"
#include "richtext/RVStyle.h"
#include "richtext/RichLayout.h"
#include "richtext/RichView.h"

#include <QFrame>
#include <QPushButton>
#include <QScrollBar>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>

namespace reader {

SectionMenu::SectionMenu(ReaderState &state, TRichView &page, QWidget &window)
    : QObject(&window), m_state(state), m_window(&window), m_page(page)
{
    m_panel = new QFrame(&window);
    m_panel->setObjectName(QStringLiteral("pnlMenu"));
    m_panel->setFrameShape(QFrame::Box);
    m_panel->setLineWidth(1);
    m_panel->setGeometry(0, 0, kWidth, 433);
    m_view = new TRichView(m_panel);
    m_view->setObjectName(QStringLiteral("RichView2"));
    m_view->setRVStyle(&m_state.menuStyle());
    m_view->setMargins(5, 5, 5, 5);
    m_view->setSelectionEnabled(false);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setAccessibleName(QStringLiteral("Разделы"));

    m_timer = new QTimer(&window);
    m_timer->setObjectName(QStringLiteral("leftMenuTimer"));
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, &SectionMenu::slideStep);
}

void SectionMenu::addHandle()
{
    m_handle = new QPushButton(m_window);
    m_handle->setObjectName(QStringLiteral("btnPanelMenuNext"));
    m_handle->setAccessibleName(QStringLiteral("Разделы"));
    m_handle->setToolTip(QStringLiteral("Разделы (F2)"));
    m_handle->setGeometry(kWidth, 0, 10, 433);
    connect(m_handle, &QPushButton::clicked, this, &SectionMenu::toggleClicked);
}

void SectionMenu::show()
{
    if (!m_state.MenuShown())
        m_timer->start();
}

void SectionMenu::hide()
{
    if (m_state.MenuShown())
        m_timer->start();
}

void SectionMenu::toggleClicked()
{
    if (!m_timer->isActive())
        m_timer->start();
}

void SectionMenu::stopSlide()
{
    m_timer->stop();
}

bool SectionMenu::isOut() const
{
    // A panel counts as out while it rests hidden; once it starts to slide
    // in, it is the learner's to reach.
    return m_state.MenuShown() || m_timer->isActive();
}

void SectionMenu::updateFocus()
{
    const bool out = isOut();
    m_panel->setEnabled(out);
    m_handle->setFocusPolicy(out ? Qt::StrongFocus : Qt::NoFocus);
}

void SectionMenu::slideStep()
{
    const auto told = qScopeGuard([this] { emit slid(); });
    if (m_state.MenuShown()) {
        emit pageWidthChanged(true);
        if (m_panel->x() > kHiddenLeft) {
            m_panel->move(m_panel->x() - 5, m_panel->y());
            placeHandle();
            return;
        }
        m_timer->stop();
        m_state.setMenuShown(false);
    } else {
        if (m_panel->x() < 0) {
            m_panel->move(m_panel->x() + 5, m_panel->y());
            placeHandle();
            return;
        }
        m_view->resize(kWidth, m_view->height());
        emit pageWidthChanged(false);
        m_timer->stop();
        m_state.setMenuShown(true);
    }
}

void SectionMenu::putAway()
{
    // A slide still under way would carry on over the next page: the panel
    // now simply is hidden, and the page has the whole width again.
    m_timer->stop();
    emit pageWidthChanged(true);
    m_panel->move(kHiddenLeft, m_panel->y());
    placeHandle();
    m_state.setMenuShown(false);
}

void SectionMenu::placeHandle()
{
    m_handle->setGeometry(m_panel->x() + m_panel->width(), m_panel->y(), 10, m_panel->height());
}

void SectionMenu::fitHeight(int height)
{
    m_panel->resize(m_panel->width(), height);
    m_view->setGeometry(m_panel->contentsRect());
    m_handle->resize(m_handle->width(), m_panel->height());
}

void SectionMenu::rebuild()
{
    m_view->Clear();
    m_view->AddNL(QString(), rvs::tsSubheading, rvs::psLeftIndent);
    m_view->AddNL(QString(), rvs::tsSubheading, rvs::psLeftIndent);
    updateSectionPositions();
    for (auto cp = m_page.GetFirstCheckpoint(); cp; cp = m_page.GetNextCheckpoint(cp)) {
        int tag = 0;
        QString name;
        bool raiseEvent = false;
        m_page.GetCheckpointInfo(cp, tag, name, raiseEvent);
        m_view->AddNLTag(name, rvs::tsJumpArial, rvs::psLeftIndent, tag);
        m_view->AddNL(QStringLiteral(" "), rvs::tsNormal, rvs::psLeft);
    }
    m_view->Format();
}

void SectionMenu::clear()
{
    m_view->Clear();
    m_view->Format();
    m_state.setSectionY({});
}

void SectionMenu::updateSectionPositions()
{
    std::vector<int> positions;
    if (m_page.isFormatted()) {
        for (auto cp = m_page.GetFirstCheckpoint(); cp; cp = m_page.GetNextCheckpoint(cp)) {
            int x = 0;
            int y = 0;
            m_page.GetCheckpointXY(cp, x, y);
            positions.push_back(y);
        }
    }
    m_state.setSectionY(std::move(positions));
}

void SectionMenu::jumpTo(int k)
{
    // The positions are those of the layout now on screen: the menu sliding
    // in, a zoom or a resize has changed the text width since they were taken.
    updateSectionPositions();
    const std::vector<int> &positions = m_state.SectionY();
    if (k < 0 || k >= static_cast<int>(positions.size()))
        return;
    // The heading exactly at the top, not a scroll step above it: a page laid
    // out anew keeps the line at the top, and that must be the heading.
    QScrollBar *bar = m_page.verticalScrollBar();
    bar->setValue(std::clamp(positions[static_cast<size_t>(k)], 0, bar->maximum()));
    m_page.Format();
    // The reading caret at the section's heading, where the keyboard goes.
    auto cp = m_page.GetFirstCheckpoint();
    for (int i = 0; cp && i < k; ++i)
        cp = m_page.GetNextCheckpoint(cp);
    if (cp && cp->itemIndex >= 0 && m_page.textLayout() && cp->itemIndex < m_page.textLayout()->itemCount())
        m_page.setCaretPosition(m_page.textLayout()->itemPosition(cp->itemIndex));
    rebuild();
}

} // namespace reader
