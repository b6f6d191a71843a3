#pragma once

// The view's state beside its document, shared by the files that implement
// TRichView; no other code includes it.

#include "richtext/RichLayout.h"
#include "richtext/RichView.h"

namespace richtext {
constexpr int kScrollStep = 10; // pixels per scroll step
} // namespace richtext

// What the view keeps beside the laid-out text: its interaction state.
struct TRichView::Layout
{
    richtext::RichLayout text;
    TRVStyle fallback{TRVStyle::Sheet::Plain};

    bool dirty = true; // the model changed since the last build
    int height = 0;    // formatted height, margins included

    int hoverLink = -1;
    int pressLink = -1;
    int focusLink = -1;
    int selAnchor = -1, selPos = -1;
    bool selecting = false;
    // The reading caret: a text position, and the x that line moves keep.
    int caret = 0;
    int caretX = -1;
    // The caret was put where the learner reads by a key or a click, not
    // only where the page opened: Tab then goes on from it.
    bool walkFromCaret = false;
    // The view scrolled on its own while the caret was out of sight: the
    // caret now stands at the top of the view, and the next line or
    // character key reads from there instead of moving first.
    bool caretFollowedView = false;
    bool scrollingForCaret = false;
    int settleDepth = 0;
    int generation = 0;

    bool hasSelection() const { return selAnchor >= 0 && selPos >= 0 && selAnchor != selPos; }
    void clearSelection() { selAnchor = selPos = -1; selecting = false; }
};

