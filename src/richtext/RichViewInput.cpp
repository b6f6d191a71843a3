// TRichView's answers to the mouse and the keyboard: selection, hovered and
// focused links, scrolling by key.

#include "richtext/RichView.h"

#include "richtext/RichView_p.h"
#include "richtext/RichViewAccessible.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>


void TRichView::mousePressEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() == Qt::RightButton) {
        L.clearSelection();
        viewport()->update();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    L.pressLink = linkAt(event->position().toPoint());
    L.clearSelection();
    if (L.text.isBuilt() && !L.dirty) {
        const int pos = L.text.positionAt(toDocument(event->position().toPoint()));
        if (m_selectionEnabled) {
            L.selAnchor = L.selPos = pos;
            L.selecting = pos >= 0;
        }
        // A click puts the reading caret where it lands.
        if (pos >= 0) {
            L.caret = pos;
            L.caretX = -1;
            L.caretFollowedView = false;
            L.walkFromCaret = true;
            richtext::notifyCaretMoved(this);
        }
    }
    viewport()->update();
}

void TRichView::mouseMoveEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    const QPoint pos = event->position().toPoint();
    if (L.selecting && (event->buttons() & Qt::LeftButton) && L.text.isBuilt()) {
        const int p = L.text.positionAt(toDocument(pos));
        if (p >= 0 && p != L.selPos) {
            L.selPos = p;
            viewport()->update();
        }
        // Dragging past an edge scrolls.
        if (pos.y() < 0)
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (pos.y() > viewport()->height())
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    setHoverLink(linkAt(pos));
}

void TRichView::mouseReleaseEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    L.selecting = false;
    const int link = linkAt(event->position().toPoint());
    const int pressed = L.pressLink;
    L.pressLink = -1;
    if (link >= 0 && link == pressed && !L.hasSelection()) {
        L.clearSelection();
        L.focusLink = link;
        // The handler may reload, reformat or even destroy this view.
        emit jump(link);
    }
}

void TRichView::mouseDoubleClickEvent(QMouseEvent *event)
{
    Layout &L = *m_layout;
    if (event->button() != Qt::LeftButton || !m_selectionEnabled || !L.text.isBuilt()) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int pos = L.text.positionAt(toDocument(event->position().toPoint()));
    if (pos < 0)
        return;
    const QTextCursor c = L.text.wordAt(pos);
    L.selAnchor = c.anchor();
    L.selPos = c.position();
    L.selecting = false;
    L.pressLink = -1;
    viewport()->update();
}

void TRichView::leaveEvent(QEvent *event)
{
    setHoverLink(-1);
    QAbstractScrollArea::leaveEvent(event);
}

QString TRichView::selectedText() const
{
    const Layout &L = *m_layout;
    if (!L.hasSelection())
        return QString();
    QString s = L.text.rangeCursor(L.selAnchor, L.selPos).selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.replace(QChar::LineSeparator, QLatin1Char('\n'));
    s.remove(QChar::ObjectReplacementCharacter);
    return s;
}

bool TRichView::moveLinkFocus(bool next)
{
    Layout &L = *m_layout;
    const int count = L.text.linkCount();
    if (count == 0)
        return false;
    int to = L.focusLink < 0 ? (next ? 0 : count - 1) : L.focusLink + (next ? 1 : -1);
    if (L.focusLink < 0 && L.walkFromCaret) {
        // From where the learner reads: the next link after the caret, or
        // the last one before it.
        to = next ? count : -1;
        for (int id = 0; id < count; ++id) {
            const int pos = L.text.itemPosition(L.text.linkItem(id));
            if (next && pos >= L.caret) {
                to = id;
                break;
            }
            if (!next && pos < L.caret)
                to = id;
        }
    }
    if (to < 0 || to >= count) {
        L.focusLink = -1;
        viewport()->update();
        return false;
    }
    L.focusLink = to;
    L.caret = L.text.itemPosition(L.text.linkItem(to));
    L.caretX = -1;
    L.caretFollowedView = false;
    L.clearSelection();
    ensureLinkVisible(to);
    viewport()->update();
    richtext::notifyLinkFocus(this, to);
    return true;
}

void TRichView::ensureLinkVisible(int id)
{
    const QRect r = linkRect(id);
    if (r.isEmpty())
        return;
    QScrollBar *vb = verticalScrollBar();
    if (r.top() < 0)
        vb->setValue(vb->value() + r.top() - m_top);
    else if (r.bottom() > viewport()->height())
        vb->setValue(vb->value() + r.bottom() - viewport()->height() + m_bottom);
}

void TRichView::focusInEvent(QFocusEvent *event)
{
    // Tab into the view lands on the page itself; the next Tab walks its
    // links from the first (Shift+Tab from the last).
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) {
        m_layout->focusLink = -1;
        m_layout->walkFromCaret = false;
    }
    QAbstractScrollArea::focusInEvent(event);
    // The page's focus ring and caret.
    viewport()->update();
}

void TRichView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

bool TRichView::focusNextPrevChild(bool next)
{
    // Tab walks the links first, then leaves the view.
    if (hasFocus() && moveLinkFocus(next))
        return true;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TRichView::keyPressEvent(QKeyEvent *event)
{
    Layout &L = *m_layout;
    QScrollBar *vb = verticalScrollBar();
    QScrollBar *hb = horizontalScrollBar();
    if (event == QKeySequence::Copy) {
        if (L.hasSelection())
            QGuiApplication::clipboard()->setText(selectedText());
        return;
    }
    if (event == QKeySequence::SelectAll && m_selectionEnabled && L.text.isBuilt()) {
        L.selAnchor = 0;
        L.selPos = L.text.characterCount() - 1;
        viewport()->update();
        return;
    }
    if (caretKey(event))
        return;
    switch (event->key()) {
    case Qt::Key_Up: vb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: vb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: vb->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: vb->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Left: hb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: hb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home:
        vb->setValue(vb->minimum());
        hb->setValue(hb->minimum());
        break;
    case Qt::Key_End: vb->setValue(vb->maximum()); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (L.focusLink >= 0 && L.focusLink < L.text.linkCount()) {
            emit jump(L.focusLink);
            return;
        }
        if (event->key() == Qt::Key_Space && L.text.isBuilt() && !L.dirty)
            moveCaretByPage(!(event->modifiers() & Qt::ShiftModifier), false);
        else if (event->key() == Qt::Key_Space)
            vb->triggerAction(QAbstractSlider::SliderPageStepAdd);
        else
            event->ignore();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

