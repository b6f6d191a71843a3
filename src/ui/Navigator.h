#pragma once

#include <QString>

namespace ui {

// What a window asks of the others. The window set, the one module that
// knows every window, answers; a window is handed it in its constructor, so
// no screen includes another screen's header.
// What the learner chose in the review of a finished test.
struct ReviewChoice
{
    enum Kind {
        Close,         // back where the test was started
        OpenSection,   // read the section that teaches a missed question
        RetryMistakes, // a new run of the questions answered wrong
    };
    Kind kind = Close;
    int page = 0;  // OpenSection: the lecture's page
    QString mark;  // OpenSection: the section's mark ("3.4"); empty: the lecture's start
};

class Navigator
{
public:
    virtual ~Navigator() = default;

    // The sign-in screen, modally, and its steps after it closes. Returns why
    // the learners could not be read, or an empty text.
    virtual QString showSignIn() = 0;
    // The home screen, modally. With startMovie, once it has closed, its
    // movie is sent to frame 1 and played (the reader and the sign-in screen
    // do that; the test window does not).
    virtual void showHome(bool startMovie) = 0;
    // Closes the home screen, whether its loop runs yet or not.
    virtual void closeHome() = 0;
    virtual void showStatistics() = 0;
    virtual void showReport() = 0;
    virtual void showBookmarks() = 0;
    virtual void showFontChoice() = 0;
    virtual void showAbout() = 0;
    // The test window, modally, on a topic ("0" general, else a lecture).
    virtual void runTest(const QString &topic) = 0;
    // The review of the test window's last run, modally; what the learner
    // chose there.
    virtual ReviewChoice showReview() = 0;
    // Opens a lecture in the reader at the section with that mark (at its
    // start when the mark is empty or unknown).
    virtual void openSection(int page, const QString &mark) = 0;

    // Ends the program, also from inside nested modal screens.
    virtual void closeMainWindow() = 0;
    virtual bool isClosing() const = 0;
};

} // namespace ui
