#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

class QObject;
class QQmlEngine;

namespace movie {

// Movies are content, not code. The sandbox keeps the shared engine to an
// allow-list of Qt's QML modules and to the files of the course: no native
// plugin of the course, no network request or socket, no file outside the
// course folder and the folders movies were set from, no window of a
// movie's own, no address handed to another program.

// A movie is a small hand-written scene; anything larger is not one of ours.
constexpr qint64 kMaxMovieBytes = 4 * 1024 * 1024;

// Qt's own QML modules.
QString qtQmlFolder();

// The Qt modules a movie may import: the ones the shipped course uses.
// Besides these a movie imports only folders of the course.
QStringList allowedModules();

// Why a course QML or JavaScript file may not be loaded: the first import
// of a module not on the list, in words for the learner's message. Empty
// when every import is allowed.
QString refusedImport(const QByteArray &source);

// Whether a course qmldir holds only what a module of QML files needs:
// blank lines, comments, "module", "designersupported" and type entries
// ([singleton|internal] Type [version] File.qml/.js), in plain ASCII. Any
// other line (a plugin, however written or disguised) refuses the file.
bool isPlainQmldir(const QByteArray &text);

// Puts the engine in the sandbox: import and plugin paths, the URL
// interceptor, the refusing network factory, the guard against windows of a
// movie's own and against Qt.openUrlExternally. Once per engine.
void installSandbox(QQmlEngine *engine);

// Lets the engine read the files of a movie's own folder from now on.
void allowMovieFolder(const QString &folder);

// What the sandbox refused since last asked, in words for the learner's
// message ("мультфильм подключает модуль …"); empty when nothing was.
QString takeRefusal();

// Called on the GUI thread when a movie tried to leave the sandbox while it
// runs (a window of its own, an address for another program). culprit is
// the object that tried, when known; the refusal is also kept for
// takeRefusal().
using BreachHandler = std::function<void(QObject *culprit, const QString &reason)>;
void setBreachHandler(BreachHandler handler);

} // namespace movie
