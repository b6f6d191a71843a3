#include "movie/MovieSandbox.h"

#include "core/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QQmlAbstractUrlInterceptor>
#include <QQmlEngine>
#include <QQmlNetworkAccessManagerFactory>
#include <QSet>

namespace movie {

namespace {
// Where a URL the engine was asked to fetch is sent instead: a resource that
// does not exist, so nothing is read and no request leaves the machine.
const QUrl kRefused(QStringLiteral("qrc:/tarvel/refused"));

bool isInsideFolder(const QString &path, const QString &folder)
{
    return !folder.isEmpty() && files::isInside(path, folder);
}

// A qmldir that names a native plugin would load a shared library from the
// course into the program; such a module is refused whole.
bool namesPlugin(const QString &qmldir)
{
    QFile file(qmldir);
    if (!files::isRegular(qmldir) || !file.open(QIODevice::ReadOnly))
        return true;
    // read(n) sets aside all n bytes first: ask only for what is there.
    const QByteArray text = file.read(qMin(file.size(), kMaxMovieBytes));
    for (QByteArray line : text.split('\n')) {
        line = line.simplified();
        if (line.startsWith("plugin ") || line.startsWith("optional plugin ") || line == "plugin")
            return true;
    }
    return false;
}

// Only Qt's own modules and files inside the course folder (and the folders
// movies were set from) are loaded.
class CourseUrlInterceptor : public QQmlAbstractUrlInterceptor
{
public:
    void allowFolder(const QString &folder)
    {
        QMutexLocker lock(&m_mutex);
        m_folders.insert(folder);
    }

    QUrl intercept(const QUrl &url, DataType type) override
    {
        if (url.scheme() == QLatin1String("qrc") || url.scheme() == QLatin1String("qml"))
            return url; // compiled into Qt itself
        if (!url.isLocalFile())
            return kRefused;
        const QString path = url.toLocalFile();
        if (isInsideFolder(path, qtQmlFolder()))
            return url;
        if (!allowed(path))
            return kRefused;
        // A FIFO or a device would block the loader.
        if (!files::isRegular(path) && !QFileInfo(path).isDir())
            return kRefused;
        if (type == QmldirFile && namesPlugin(path))
            return kRefused;
        return url;
    }

private:
    bool allowed(const QString &path)
    {
        if (isInsideFolder(path, QDir::currentPath()))
            return true;
        QMutexLocker lock(&m_mutex);
        for (const QString &folder : std::as_const(m_folders))
            if (isInsideFolder(path, folder))
                return true;
        return false;
    }

    QMutex m_mutex; // the loader calls in from its own thread
    QSet<QString> m_folders;
};

// No request of a movie reaches the network.
class RefusingNetworkManager : public QNetworkAccessManager
{
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *data) override
    {
        Q_UNUSED(request);
        Q_UNUSED(data);
        // A request without a URL fails at once as an unknown protocol.
        return QNetworkAccessManager::createRequest(op, QNetworkRequest(QUrl()), nullptr);
    }
};

class RefusingNetworkFactory : public QQmlNetworkAccessManagerFactory
{
public:
    QNetworkAccessManager *create(QObject *parent) override { return new RefusingNetworkManager(parent); }
};

CourseUrlInterceptor *interceptor()
{
    static CourseUrlInterceptor *shared = new CourseUrlInterceptor;
    return shared;
}
} // namespace

QString qtQmlFolder()
{
    return QLibraryInfo::path(QLibraryInfo::QmlImportsPath);
}

void installSandbox(QQmlEngine *engine)
{
    // Native plugins only from beside the qmldir that names them (Qt's own
    // are found so), none from the environment or the program's folder; a
    // course qmldir that names one never gets this far (see the
    // interceptor). Import folders: Qt's, and the course's pictures/ once a
    // movie is set.
    engine->setPluginPathList({QStringLiteral(".")});
    engine->setImportPathList({qtQmlFolder()});
    engine->addUrlInterceptor(interceptor());
    // The engine does not own its factory: one for the program's life.
    static RefusingNetworkFactory refusing;
    engine->setNetworkAccessManagerFactory(&refusing);
}

void allowMovieFolder(const QString &folder)
{
    interceptor()->allowFolder(folder);
}

} // namespace movie
