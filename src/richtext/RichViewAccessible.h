#pragma once

// What a screen reader reads of a rich-text view: the view is a read-only
// multi-line text (the whole document in reading order as it is to be
// spoken, with character extents, offset at a point, the reading caret,
// visual lines and selection), and its links, pictures and headings are its
// children: a link with its text and a press action that follows it, a
// picture with its alternative text, a heading with its level.

#include "richtext/SpokenText.h"

#include <QAccessibleWidget>
#include <QPointer>

class TRichView;

namespace richtext {

// Every event the views tell assistive technology is also handed to the
// tap, when one is set: a running screen reader's bridge is not the only
// listener a program may want (null: none).
using AccessibilityTap = void (*)(QAccessibleEvent *event);
void setAccessibilityTap(AccessibilityTap tap);

// Registers the view's accessible interface with Qt (once per program).
void installAccessibility();
// Tells assistive technology that the view shows a new text.
void notifyTextReplaced(TRichView *view);
// Tells assistive technology that Tab moved the view's focus to link id.
void notifyLinkFocus(TRichView *view, int id);
// Tells assistive technology that a key moved the reading caret.
void notifyCaretMoved(TRichView *view);
// Tells assistive technology that the caret reached heading number index:
// the focus is on the heading until the caret moves on.
void notifyHeadingReached(TRichView *view, int index);

class RichViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit RichViewAccessible(TRichView *view);
    ~RichViewAccessible() override;

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;

    // Children: the links in document order, then the pictures, then the
    // headings.
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    // The child interface of link id (for focus events); null if none.
    QAccessibleInterface *linkChild(int id) const;
    // The child interface of heading number index; null if none.
    QAccessibleInterface *headingChild(int index) const;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;
    // Lines are the lines on screen; words and sentences as Qt finds them.
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                             int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                            int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;

    TRichView *view() const;
    // The text as spoken, for the layout now on screen.
    const SpokenText &spoken() const;
    // The document's headings, for the layout now on screen.
    const std::vector<Heading> &headings() const;
    // The screen rectangle of text positions [start, end) on the first line
    // they occupy; empty when nothing of it is laid out.
    QRect screenRect(int start, int end) const;

private:
    struct Child
    {
        int item;         // -1 for a heading
        int link;         // -1 for a picture that is no link, or a heading
        int heading = -1; // the heading's number
    };
    // The line around layout position pos, as spoken offsets.
    void lineOffsets(int pos, int *start, int *end) const;
    // Rebuilds the child list when the view has laid out a new document;
    // the old children become invalid and are dropped.
    void sync() const;
    void dropChildren() const;

    mutable int m_generation = -1;
    mutable std::vector<Child> m_children;
    mutable std::vector<QAccessible::Id> m_ids; // parallel to m_children; 0 = not made yet
    mutable int m_spokenGeneration = -1;
    mutable SpokenText m_spoken;
    mutable std::vector<Heading> m_headings;
};

} // namespace richtext
