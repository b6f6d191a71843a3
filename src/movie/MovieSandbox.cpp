#include "movie/MovieSandbox.h"

#include "core/RegularFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QQmlAbstractUrlInterceptor>
#include <QQmlEngine>
#include <QQmlNetworkAccessManagerFactory>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QWindow>

namespace movie {

namespace {
// Where a URL the engine was asked to fetch is sent instead: a resource that
// does not exist, so nothing is read and no request leaves the machine.
const QUrl kRefused(QStringLiteral("qrc:/tarvel/refused"));
const QString kQtImportsInQrc = QStringLiteral("/qt-project.org/imports/");

// The modules a movie may name in an import: what the shipped course uses,
// and the language's base that QtQuick brings in anyway.
const QStringList kMovieModules = {QStringLiteral("QtQuick"), QStringLiteral("QtQuick.Controls.Basic"),
                                   QStringLiteral("QtQml")};

// What those modules bring in themselves. A movie may not import these by
// name, but the engine must read their qmldir to load the ones above.
const QSet<QString> kDependencyModules = {
    QStringLiteral("QtQml.Models"),
    QStringLiteral("QtQuick.Controls.impl"),
    QStringLiteral("QtQuick.Controls.Basic.impl"),
    QStringLiteral("QtQuick.Templates"),
};

bool isInsideFolder(const QString &path, const QString &folder)
{
    return !folder.isEmpty() && files::isInside(path, folder);
}

QByteArray readBounded(const QString &path)
{
    QFile file(path);
    if (!files::isRegular(path) || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    // read(n) sets aside all n bytes first: ask only for what is there.
    return file.read(qMin(file.size(), kMaxMovieBytes));
}

// The module a qmldir of Qt's belongs to: "QtQml.6.4/Models/qmldir" (a
// versioned lookup) is QtQml.Models.
QString moduleOfQmldir(const QString &relativeQmldir)
{
    static const QRegularExpression version(QStringLiteral("\\.\\d+(\\.\\d+)?$"));
    QStringList parts = relativeQmldir.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        parts.removeLast(); // "qmldir"
    for (QString &part : parts)
        part.remove(version);
    return parts.join(QLatin1Char('.'));
}

QString moduleRefusal(const QString &module)
{
    return QStringLiteral("мультфильм подключает модуль «%1», а мультфильмам доступны только "
                          "модули %2 и папки курса")
        .arg(module, kMovieModules.join(QStringLiteral(", ")));
}

void noteRefusal(const QString &reason);

// Whether the engine may read the qmldir of one of Qt's modules (its path
// below Qt's QML folder); a refusal is kept for the message.
bool qtModuleAllowed(const QString &relativeQmldir)
{
    const QString module = moduleOfQmldir(relativeQmldir);
    if (kMovieModules.contains(module) || kDependencyModules.contains(module))
        return true;
    noteRefusal(moduleRefusal(module));
    return false;
}

// A refusal waiting for the control that loads or runs the movie.
struct Refusals
{
    QMutex mutex; // the loader calls in from its own thread
    QString first;
    BreachHandler handler;
};

Refusals &refusals()
{
    static Refusals shared;
    return shared;
}

void noteRefusal(const QString &reason)
{
    Refusals &r = refusals();
    QMutexLocker lock(&r.mutex);
    if (r.first.isEmpty())
        r.first = reason;
}

void reportBreach(QObject *culprit, const QString &reason)
{
    noteRefusal(reason);
    BreachHandler handler;
    {
        Refusals &r = refusals();
        QMutexLocker lock(&r.mutex);
        handler = r.handler;
    }
    if (handler)
        handler(culprit, reason);
}

// The last address a movie's script turned into a URL on the GUI thread
// (Qt.openUrlExternally resolves its address so just before it hands it
// on), until the event loop turns.
struct ResolvedByMovie
{
    QUrl url;
    bool clearQueued = false;
};

ResolvedByMovie &resolvedByMovie()
{
    static ResolvedByMovie last;
    return last;
}

void noteResolved(const QUrl &url)
{
    if (QThread::currentThread() != qApp->thread())
        return;
    ResolvedByMovie &last = resolvedByMovie();
    last.url = url;
    if (!last.clearQueued) {
        last.clearQueued = true;
        QTimer::singleShot(0, qApp, [] {
            resolvedByMovie() = ResolvedByMovie();
        });
    }
}

// Only the allowed Qt modules and files inside the course folder (and the
// folders movies were set from) are loaded.
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
        const QUrl result = judge(url, type);
        if (type == UrlString)
            noteResolved(result);
        return result;
    }

private:
    QUrl judge(const QUrl &url, DataType type)
    {
        if (url.scheme() == QLatin1String("qrc")) {
            // Compiled into Qt itself; a module's qmldir there is judged
            // like one in Qt's folder.
            const QString path = url.path();
            if (type == QmldirFile && path.startsWith(kQtImportsInQrc) &&
                !qtModuleAllowed(path.mid(kQtImportsInQrc.size())))
                return kRefused;
            return url;
        }
        if (url.scheme() == QLatin1String("qml") && type != UrlString)
            return url; // compiled into Qt itself
        // An address for another program (Qt.openUrlExternally) or any
        // other scheme is never passed on.
        if (!url.isLocalFile())
            return kRefused;
        const QString path = url.toLocalFile();
        const QString qtFolder = qtQmlFolder();
        if (isInsideFolder(path, qtFolder)) {
            if (type == QmldirFile && !qtModuleAllowed(QDir(qtFolder).relativeFilePath(path)))
                return kRefused;
            return url;
        }
        if (!allowed(path))
            return kRefused;
        // A FIFO or a device would block the loader.
        if (!files::isRegular(path))
            return QFileInfo(path).isDir() ? url : kRefused;
        if (type == QmldirFile && !isPlainQmldir(readBounded(path))) {
            noteRefusal(QStringLiteral("файл «%1» описывает модуль не только из файлов QML "
                                       "(например, подключает машинный код): мультфильмам "
                                       "курса это запрещено")
                            .arg(QDir::toNativeSeparators(path)));
            return kRefused;
        }
        if (type == QmlFile || type == JavaScriptFile) {
            const QString refused = refusedImport(readBounded(path));
            if (!refused.isEmpty()) {
                noteRefusal(refused + QStringLiteral(" (файл «%1»)").arg(QDir::toNativeSeparators(path)));
                return kRefused;
            }
        }
        return url;
    }

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

// A movie draws inside its control only: a window it makes itself (to cover
// the screen, to pose as the program) is destroyed before it is shown.
class WindowGuard : public QObject
{
public:
    void watch(QQmlEngine *engine) { m_engines.append(engine); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWindowType())
            return false;
        QQmlEngine *owner = qmlEngine(watched);
        if (!owner || !m_engines.contains(owner))
            return false;
        auto *window = static_cast<QWindow *>(watched);
        // Without its native window the showing that is under way has
        // nothing to show.
        window->destroy();
        window->deleteLater();
        reportBreach(window, QStringLiteral("мультфильм пытался открыть собственное окно, а "
                                            "мультфильм показывается только в окне программы"));
        return true;
    }

private:
    QList<QPointer<QQmlEngine>> m_engines;
};

WindowGuard *windowGuard()
{
    static WindowGuard *guard = [] {
        auto *g = new WindowGuard;
        qApp->installEventFilter(g);
        return g;
    }();
    return guard;
}

// Qt.openUrlExternally of a movie ends here: the address it resolved (a
// file of the course, or the refused address for anything else) is not
// handed to another program. The program's own requests go on.
class OutsideUrlHandler : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url)
    {
        ResolvedByMovie &last = resolvedByMovie();
        if (url == kRefused || (!last.url.isEmpty() && url == last.url)) {
            last.url.clear();
            reportBreach(nullptr, QStringLiteral("мультфильм пытался открыть адрес в другой "
                                                 "программе, а мультфильмам это запрещено"));
            return;
        }
        // Called again from inside a handler, QDesktopServices goes
        // straight to the desktop.
        QDesktopServices::openUrl(url);
    }
};

void guardOpenUrl()
{
    // Never destroyed: the handlers stay for the program's life.
    static OutsideUrlHandler *handler = [] {
        auto *h = new OutsideUrlHandler;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), h, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("qrc"), h, "open");
        return h;
    }();
    Q_UNUSED(handler);
}

bool isTypeName(const QByteArray &word)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return name.match(QString::fromLatin1(word)).hasMatch();
}

bool isVersion(const QByteArray &word)
{
    static const QRegularExpression version(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    return version.match(QString::fromLatin1(word)).hasMatch();
}

bool isCourseFile(const QByteArray &word)
{
    static const QRegularExpression file(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_./-]*\\.(qml|js|mjs)$"));
    return file.match(QString::fromLatin1(word)).hasMatch() && !word.contains("..");
}

bool isUri(const QByteArray &word)
{
    static const QRegularExpression uri(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(\\.[A-Za-z_][A-Za-z0-9_]*)*$"));
    return uri.match(QString::fromLatin1(word)).hasMatch();
}

bool isPlainQmldirLine(const QByteArray &line)
{
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x7f || (u < 0x20 && c != '\t'))
            return false;
    }
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith('#'))
        return true;
    QList<QByteArray> words;
    for (const QByteArray &w : trimmed.split(' '))
        for (const QByteArray &part : w.split('\t'))
            if (!part.isEmpty())
                words.append(part);
    if (words.size() == 2 && words[0] == "module")
        return isUri(words[1]);
    if (words.size() == 1)
        return words[0] == "designersupported";
    if (words[0] == "singleton" || words[0] == "internal")
        words.removeFirst();
    if (words.size() == 3 && !isVersion(words[1]))
        return false;
    if (words.size() != 2 && words.size() != 3)
        return false;
    return isTypeName(words.first()) && isCourseFile(words.last());
}

// Past the blanks and comments from at.
int skipSpaceAndComments(const QString &text, int at)
{
    while (at < text.size()) {
        const QChar c = text[at];
        // The QML lexer takes every Unicode blank and the byte-order mark
        // for white space, so this reads them so too.
        if (c.isSpace() || c == QChar(0xfeff) || c.category() == QChar::Other_Format) {
            ++at;
        } else if (text.mid(at, 2) == QLatin1String("//")) {
            while (at < text.size() && text[at] != QLatin1Char('\n'))
                ++at;
        } else if (text.mid(at, 2) == QLatin1String("/*")) {
            const int end = text.indexOf(QLatin1String("*/"), at + 2);
            at = end < 0 ? int(text.size()) : end + 2;
        } else {
            break;
        }
    }
    return at;
}

bool isWordEnd(const QString &text, int at)
{
    return at >= text.size() || !(text[at].isLetterOrNumber() || text[at] == QLatin1Char('_'));
}
} // namespace

QString qtQmlFolder()
{
    return QLibraryInfo::path(QLibraryInfo::QmlImportsPath);
}

QStringList allowedModules()
{
    return kMovieModules;
}

QString refusedImport(const QByteArray &source)
{
    const QString text = QString::fromUtf8(source);
    int at = 0;
    // The imports come first, after pragmas; the scene begins after them.
    for (;;) {
        at = skipSpaceAndComments(text, at);
        if (text.mid(at, 1) == QLatin1String(";")) { // the end of the statement before
            ++at;
            continue;
        }
        if (text.mid(at, 1) == QLatin1String(".")) // a JavaScript file's .import and .pragma
            ++at;
        const bool isImport = text.mid(at, 6) == QLatin1String("import") && isWordEnd(text, at + 6);
        const bool isPragma = text.mid(at, 6) == QLatin1String("pragma") && isWordEnd(text, at + 6);
        if (!isImport && !isPragma)
            return QString();
        at += 6;
        if (isPragma) {
            while (at < text.size() && text[at] != QLatin1Char('\n') && text[at] != QLatin1Char(';'))
                ++at;
            continue;
        }
        at = skipSpaceAndComments(text, at);
        if (text.mid(at, 1) == QLatin1String("\"") || text.mid(at, 1) == QLatin1String("'")) {
            // A folder or script of the course: the loader judges the path.
            const QChar quote = text[at];
            const int end = text.indexOf(quote, at + 1);
            at = end < 0 ? int(text.size()) : end + 1;
        } else {
            QString uri;
            while (at < text.size() && (text[at].isLetterOrNumber() || text[at] == QLatin1Char('_') ||
                                        text[at] == QLatin1Char('.')))
                uri += text[at++];
            if (uri.isEmpty())
                return QString(); // not an import the lexer would take either
            if (!kMovieModules.contains(uri))
                return moduleRefusal(uri);
        }
        // A version, "as Name", up to the end of the statement.
        while (at < text.size() && text[at] != QLatin1Char('\n') && text[at] != QLatin1Char(';'))
            ++at;
    }
}

bool isPlainQmldir(const QByteArray &text)
{
    for (const QByteArray &raw : text.split('\n')) {
        QByteArray line = raw;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!isPlainQmldirLine(line))
            return false;
    }
    return true;
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
    windowGuard()->watch(engine);
    guardOpenUrl();
}

void allowMovieFolder(const QString &folder)
{
    interceptor()->allowFolder(folder);
}

QString takeRefusal()
{
    Refusals &r = refusals();
    QMutexLocker lock(&r.mutex);
    return std::exchange(r.first, QString());
}

void setBreachHandler(BreachHandler handler)
{
    Refusals &r = refusals();
    QMutexLocker lock(&r.mutex);
    r.handler = std::move(handler);
}

} // namespace movie

#include "MovieSandbox.moc"
