// TRichView's reading caret: a read-only caret, as a browser's caret
// browsing has, that the keys move through the text, the view keeps in
// sight and assistive technology follows line by line.

#include "richtext/RichView.h"

#include "richtext/RichView_p.h"
#include "richtext/RichViewAccessible.h"
#include "richtext/SpokenText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>
#include <cmath>

namespace {

// The key that has H on it also in the Russian layout (Р).
constexpr int kCyrillicEr = 0x0420;

} // namespace

int TRichView::caretPosition() const
{
    return m_layout->caret;
}

void TRichView::setCaretPosition(int pos)
{
    Layout &L = *m_layout;
    if (!L.text.isBuilt())
        return;
    L.clearSelection();
    L.caret = std::clamp(pos, 0, std::max(0, L.text.characterCount() - 1));
    L.caretX = -1;
    L.caretFollowedView = false;
    L.walkFromCaret = true;
    L.focusLink = linkAtPosition(L.caret);
    ensureCaretVisible();
    viewport()->update();
}

int TRichView::linkAtPosition(int pos) const
{
    const richtext::RichLayout &text = m_layout->text;
    const int item = text.itemAtPosition(pos);
    if (item < 0 || item >= text.itemCount())
        return -1;
    const int link = text.itemLinkId(item);
    return link >= 0 && pos < text.itemPosition(item) + text.itemLength(item) ? link : -1;
}

bool TRichView::caretKey(QKeyEvent *event)
{
    Layout &L = *m_layout;
    if (!L.text.isBuilt() || L.dirty)
        return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    if (mods & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    int op = -1;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Ctrl with a line key scrolls the view and leaves the caret.
        if (ctrl)
            return false;
        op = event->key() == Qt::Key_Up ? QTextCursor::Up : QTextCursor::Down;
        break;
    case Qt::Key_Left: op = ctrl ? QTextCursor::PreviousWord : QTextCursor::PreviousCharacter; break;
    case Qt::Key_Right: op = ctrl ? QTextCursor::NextWord : QTextCursor::NextCharacter; break;
    case Qt::Key_Home: op = ctrl ? QTextCursor::Start : QTextCursor::StartOfLine; break;
    case Qt::Key_End: op = ctrl ? QTextCursor::End : QTextCursor::EndOfLine; break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        moveCaretByPage(event->key() == Qt::Key_PageDown, shift);
        return true;
    case Qt::Key_H:
    case kCyrillicEr:
        if (ctrl)
            return false;
        if (!moveToHeading(!shift))
            QApplication::beep();
        return true;
    default:
        return false;
    }
    const bool relative = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ||
                          event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
    if (relative && L.caretFollowedView && !shift) {
        // The view was scrolled away from the caret: read on from the top
        // of what is in view before going further.
        moveCaretTo(L.caret, false);
        return true;
    }
    moveCaretBy(op, shift);
    return true;
}

void TRichView::moveCaretTo(int pos, bool select)
{
    Layout &L = *m_layout;
    pos = std::clamp(pos, 0, std::max(0, L.text.characterCount() - 1));
    if (select && m_selectionEnabled) {
        if (!L.hasSelection())
            L.selAnchor = L.caret;
        L.selPos = pos;
    } else {
        L.clearSelection();
    }
    L.caret = pos;
    L.caretFollowedView = false;
    L.walkFromCaret = true;
    caretMoved();
}

void TRichView::moveCaretBy(int operation, bool select)
{
    Layout &L = *m_layout;
    const auto op = QTextCursor::MoveOperation(operation);
    QTextCursor c = L.text.rangeCursor(L.caret, L.caret);
    const bool vertical = op == QTextCursor::Up || op == QTextCursor::Down;
    if (vertical && L.caretX >= 0)
        c.setVerticalMovementX(L.caretX);
    c.movePosition(op);
    // The zero-width mark after raised text has no place of its own: a
    // step onto it would show no move.
    if (op == QTextCursor::NextCharacter || op == QTextCursor::PreviousCharacter) {
        while (richtext::isHiddenMark(L.text, c.position() - 1) && c.movePosition(op)) {
        }
    }
    const int x = vertical ? c.verticalMovementX() : -1;
    moveCaretTo(c.position(), select);
    L.caretX = x;
}

void TRichView::moveCaretByPage(bool down, bool select)
{
    Layout &L = *m_layout;
    QScrollBar *vb = verticalScrollBar();
    const QRect r = caretRect();
    const QPoint at(r.isEmpty() ? 0 : r.left(),
                    r.isEmpty() ? 0 : std::clamp(r.center().y(), 0, std::max(0, viewport()->height() - 1)));
    const int before = vb->value();
    L.scrollingForCaret = true;
    vb->triggerAction(down ? QAbstractSlider::SliderPageStepAdd : QAbstractSlider::SliderPageStepSub);
    L.scrollingForCaret = false;
    int pos;
    if (vb->value() == before)
        pos = down ? L.text.characterCount() - 1 : 0; // at the edge: to the text's end
    else
        pos = L.text.positionAt(toDocument(at));
    moveCaretTo(std::max(0, pos), select);
}

bool TRichView::moveToHeading(bool next)
{
    Layout &L = *m_layout;
    const std::vector<richtext::Heading> headings = richtext::findHeadings(m_doc, L.text);
    int found = -1;
    for (int i = 0; i < int(headings.size()); ++i) {
        const int start = headings[size_t(i)].start;
        if (next && start > L.caret) {
            found = i;
            break;
        }
        if (!next && start < L.caret)
            found = i;
    }
    if (found < 0)
        return false;
    const int pos = headings[size_t(found)].start;
    // The heading at the top of the view, as the section menu puts it.
    QScrollBar *vb = verticalScrollBar();
    L.scrollingForCaret = true;
    vb->setValue(std::clamp(m_top + L.text.lineTopOf(pos), 0, vb->maximum()));
    L.scrollingForCaret = false;
    // Told as the heading reached, not as a caret move: a screen reader
    // would first read the page line by line again.
    L.clearSelection();
    L.caret = pos;
    L.caretX = -1;
    L.caretFollowedView = false;
    L.walkFromCaret = true;
    L.focusLink = linkAtPosition(pos);
    ensureCaretVisible();
    viewport()->update();
    richtext::notifyHeadingReached(this, found);
    return true;
}

void TRichView::caretMoved()
{
    Layout &L = *m_layout;
    L.focusLink = linkAtPosition(L.caret);
    ensureCaretVisible();
    viewport()->update();
    richtext::notifyCaretMoved(this);
}

QRect TRichView::caretRect() const
{
    const Layout &L = *m_layout;
    if (!L.text.isBuilt() || L.dirty)
        return QRect();
    const QRectF r = L.text.rangeRect(L.caret, L.caret);
    if (r.isNull() || r.height() <= 0)
        return QRect();
    const QPoint origin = documentOrigin();
    return QRect(int(std::floor(r.x())) + origin.x(), int(std::floor(r.y())) + origin.y(), 2,
                 std::max(1, int(std::ceil(r.height()))));
}

void TRichView::ensureCaretVisible()
{
    Layout &L = *m_layout;
    const QRect r = caretRect();
    if (r.isEmpty())
        return;
    L.scrollingForCaret = true;
    QScrollBar *vb = verticalScrollBar();
    if (r.top() < 0)
        vb->setValue(vb->value() + r.top() - m_top);
    else if (r.bottom() >= viewport()->height())
        vb->setValue(vb->value() + r.bottom() - viewport()->height() + 1 + m_bottom);
    QScrollBar *hb = horizontalScrollBar();
    if (r.left() < 0)
        hb->setValue(hb->value() + r.left() - m_left);
    else if (r.right() >= viewport()->width())
        hb->setValue(hb->value() + r.right() - viewport()->width() + 1 + m_right);
    L.scrollingForCaret = false;
}

void TRichView::followViewWithCaret()
{
    Layout &L = *m_layout;
    if (L.scrollingForCaret || !L.text.isBuilt() || L.dirty)
        return;
    const QRect r = caretRect();
    if (r.isEmpty() || (r.bottom() > 0 && r.top() < viewport()->height()))
        return;
    const int top = topPosition();
    if (top < 0)
        return;
    int start = top, end = top;
    richtext::lineAt(L.text, top, &start, &end);
    // The first line whose top is in view, not one cut by the edge.
    if (m_top + L.text.lineTopOf(start) < verticalScrollBar()->value() && end < L.text.characterCount() - 1)
        start = end;
    L.caret = start;
    L.caretX = -1;
    L.caretFollowedView = true;
}

void TRichView::paintCaret(QPainter &p) const
{
    if (!hasFocus())
        return;
    const QRect r = caretRect();
    if (r.isEmpty() || !r.intersects(viewport()->rect()))
        return;
    p.fillRect(r, sheet().TextStyles(0).color);
}

void TRichView::paintPageFocus(QPainter &p) const
{
    if (!hasFocus())
        return;
    // The page itself has the keyboard: a ring inside its edge.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
}

void TRichView::resetCaret()
{
    Layout &L = *m_layout;
    L.caret = 0;
    L.caretX = -1;
    L.walkFromCaret = false;
    L.caretFollowedView = false;
}
