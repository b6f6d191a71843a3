#pragma once

class QColor;
class QFont;

namespace reader {

// What the other windows ask of the reader. Each is a whole intent: the
// reader runs its own steps, in their order, and keeps its controls to
// itself. The reader window answers; the window set hands it to the screens
// in their constructors, so no screen names the reader window.
class ReaderIntents
{
public:
    // The pages the home screen opens by name.
    enum class HomePage {
        Introduction, // the course introduction, both panels put away
        Help,         // the default page
        Dictionary,
    };

    virtual ~ReaderIntents() = default;

    // The home screen has come up: the toolbar movie afresh and a home
    // record on the history, for Back to return to.
    virtual void enterHome() = 0;
    // The signed-in learner's remembered font, zoom and column, once per
    // sign-in.
    virtual void applyLearnerPreferences() = 0;

    // From the home screen, which closes itself after: each pushes a home
    // record first.
    // The contents page, out of topic mode.
    virtual void showContentsFromHome() = 0;
    virtual void openPageFromHome(HomePage page) = 0;
    // The test topic page (two home records: Back leaves it for home).
    virtual void showTestTopicsFromHome() = 0;
    // The learner's remembered place; false when there is none.
    virtual bool continueReadingFromHome() = 0;
    // A bookmark: page at the text position anchor, or, for a bookmark
    // without one (-1), scrolled to increment per cent of its height; with a
    // home record on top so Back returns home. False when the page could not
    // be shown and the program ends.
    virtual bool openBookmark(int page, int increment, int anchor = -1) = 0;

    // Reading preferences, each applied to the pages and kept under the
    // learner (a failed save raises, after the change is made).
    virtual void setNarrowColumn(bool on) = 0;
    virtual void applyReadingFont(const QFont &font, const QColor &color) = 0;
    virtual void restoreDefaultSizes() = 0;

    // The learner hands the seat to the next one: their place is kept first,
    // then nobody is signed in and nothing of their reading (history, page,
    // reading choices, search) is left for the next learner.
    virtual void handOverLearner() = 0;

    // Ends the program, also from inside nested modal screens.
    virtual void closeProgram() = 0;
};

} // namespace reader
