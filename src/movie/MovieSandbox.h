#pragma once

#include <QString>
#include <QtGlobal>

class QQmlEngine;

namespace movie {

// Movies are content, not code. The sandbox keeps the shared engine to Qt's
// own QML modules and the files of the course: no native plugin of the
// course, no network request, no file outside the course folder and the
// folders movies were set from.

// A movie is a small hand-written scene; anything larger is not one of ours.
constexpr qint64 kMaxMovieBytes = 4 * 1024 * 1024;

// Qt's own QML modules.
QString qtQmlFolder();

// Puts the engine in the sandbox: import and plugin paths, the URL
// interceptor and the refusing network factory. Once per engine.
void installSandbox(QQmlEngine *engine);

// Lets the engine read the files of a movie's own folder from now on.
void allowMovieFolder(const QString &folder);

} // namespace movie
