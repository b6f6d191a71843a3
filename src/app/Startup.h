#pragma once

// The program's start-up, shared by main() and the start-up benchmark.

// Names the application and picks the graphics back end; call right after
// the QApplication exists.
void setUpApplication();
// Loads Qt's own Russian texts (standard buttons, file and colour dialogs);
// false when the translation is not installed. Done by setUpApplication.
bool loadQtTranslations();
// Creates the windows the first showing needs (the others come on first
// use) and queues the reader window's first showing,
// which runs once the event loop starts.
void startWindowSet();
// True when this seat keeps its learners in the class database: the course
// folder holds lab.ini or TARVEL_LAB names a connection. The seat then
// writes nothing into the course folder.
bool labModeWanted();

#include <QString>
#include <functional>

namespace learners {
class CourseLock;
}

// Exit codes besides 0.
constexpr int kExitCourseBusy = 3; // another copy holds the course folder
constexpr int kExitLockLost = 4;   // another copy took the folder over while this one ran
constexpr int kExitMissingMovie = 5; // the sign-in screen's movie is not in the course

// Whether the movie of the first screen (pictures/login.qml) is there to be
// shown. Without it the sign-in screen would be an empty window with no
// frame and no way on: the learner is told which file is missing instead.
bool startMoviePresent();

// Takes the course folder's lock. When another copy holds it, a titled
// window names the computer, the user and since when; it offers to try
// again, and to take the folder over when that copy has stopped giving
// signs of life. Returns 0 when the program may go on, else its exit code.
int takeCourseLock(learners::CourseLock &lock);

// What the user can answer in that window.
namespace app {
enum class LockChoice { Quit, Retry, TakeOver };
}
// Test seam: while set, it answers in place of the window.
using LockPromptHook =
    std::function<app::LockChoice(const QString &title, const QString &text, bool offersTakeOver)>;
void setLockPromptHook(LockPromptHook hook);

// SIGTERM (logout, shutdown), SIGHUP and SIGINT end the program through its
// normal exit path, as Выход does: the learner's place is kept and the
// course lock released. The signal only wakes the event loop; the work runs
// there.
void installExitSignalHandlers();

// If another copy takes the folder over while this one runs, says so and
// ends the program without writing to the course data any more.
void watchCourseLock(learners::CourseLock &lock);

// Removes what stopped saves of dect.chh left behind long ago.
void removeOldSaveLeftovers();
