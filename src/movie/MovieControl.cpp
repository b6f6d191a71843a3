#include "movie/MovieControl.h"

#include "core/RegularFile.h"
#include "ui/Dialogs.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQmlAbstractUrlInterceptor>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlNetworkAccessManagerFactory>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QResizeEvent>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWaitCondition>

#include <atomic>
#include <cstdio>
#include <functional>

namespace movie {

namespace {
// A movie is a small hand-written scene; anything larger is not one of ours.
constexpr qint64 kMaxMovieBytes = 4 * 1024 * 1024;
// A scene that has not loaded by then, or a script that has run that long
// without the program getting back to its events, is given up.
constexpr int kLoadSeconds = 5;
constexpr int kScriptSeconds = 5;

// Where a URL the engine was asked to fetch is sent instead: a resource that
// does not exist, so nothing is read and no request leaves the machine.
const QUrl kRefused(QStringLiteral("qrc:/tarvel/refused"));

// Qt's own QML modules.
QString qtQmlFolder()
{
    return QLibraryInfo::path(QLibraryInfo::QmlImportsPath);
}

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

// Movies are content, not code: only Qt's own modules and files inside the
// course folder (and the folders movies were set from) are loaded.
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

// Stops a script that never returns (while (true) {}): the program's event
// loop beats; when it has not beaten for kScriptSeconds while scenes are
// alive, the engine is interrupted from this thread. The next beat clears
// the interruption and tells the movie control.
class ScriptWatchdog : public QThread
{
public:
    explicit ScriptWatchdog(QQmlEngine *engine) : m_engine(engine) { beat(); }

    void beat()
    {
        QMutexLocker lock(&m_judgeMutex);
        m_lastBeat = QDateTime::currentMSecsSinceEpoch();
    }
    // Counts afresh from now, for scripts the program is about to run itself
    // (a scene's start-up). The time the program spent on its own work
    // before is not theirs: an interruption that came in it is withdrawn, or
    // a scene created after a long page layout would be given up unrun.
    void restart()
    {
        QMutexLocker lock(&m_judgeMutex);
        m_lastBeat = QDateTime::currentMSecsSinceEpoch();
        if (m_fired.exchange(false))
            m_engine->setInterrupted(false);
    }
    void setArmed(bool armed) { m_armed.store(armed); }
    bool takeFired() { return m_fired.exchange(false); }
    void stop()
    {
        {
            QMutexLocker lock(&m_stopMutex);
            m_stop.store(true);
        }
        // Woken at once: the program's exit does not wait out a nap.
        m_stopped.wakeAll();
        wait();
    }

protected:
    void run() override
    {
        while (!m_stop.load()) {
            {
                QMutexLocker lock(&m_stopMutex);
                if (!m_stop.load())
                    m_stopped.wait(&m_stopMutex, 100);
            }
            if (m_stop.load())
                break;
            // Judged and interrupted under the lock: a restart never leaves
            // an interruption that predates it.
            QMutexLocker lock(&m_judgeMutex);
            const qint64 idle = QDateTime::currentMSecsSinceEpoch() - m_lastBeat;
            if (m_armed.load() && idle > kScriptSeconds * 1000 && !m_engine->isInterrupted()) {
                m_fired.store(true);
                m_engine->setInterrupted(true);
            }
        }
    }

private:
    QQmlEngine *m_engine;
    QMutex m_judgeMutex;
    qint64 m_lastBeat = 0; // under m_judgeMutex
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_fired{false};
    std::atomic<bool> m_stop{false};
    QMutex m_stopMutex;
    QWaitCondition m_stopped;
};

CourseUrlInterceptor *interceptor()
{
    static CourseUrlInterceptor *shared = new CourseUrlInterceptor;
    return shared;
}

ScriptWatchdog *&watchdogSlot()
{
    static ScriptWatchdog *watchdog = nullptr;
    return watchdog;
}

// Every live control, to find the one whose scene a stopped script was in.
QSet<MovieControl *> &liveControls()
{
    static QSet<MovieControl *> controls;
    return controls;
}

bool softwareRendererNeeded()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
        platform == QLatin1String("vnc") || platform == QLatin1String("linuxfb"))
        return true;
    QOpenGLContext context;
    if (!context.create())
        return true;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return true;
    const auto *renderer =
        reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    const QByteArray name = renderer ? QByteArray(renderer).toLower() : QByteArray();
    context.doneCurrent();
    // Mesa's CPU rasterisers are no GPU; Qt's own software renderer is faster there.
    return name.isEmpty() || name.contains("llvmpipe") || name.contains("softpipe") ||
           name.contains("software");
}
} // namespace

void MovieControl::configureGraphics()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (QQuickWindow::graphicsApi() == QSGRendererInterface::Software)
        return;
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return; // the toolkit's own choice stands
    if (softwareRendererNeeded())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

QQmlEngine *MovieControl::engine()
{
    // One engine for every movie: types and compiled scenes are shared.
    static QPointer<QQmlEngine> shared;
    if (!shared) {
        shared = new QQmlEngine(qApp);
        // Errors of a movie go to standard error, where the author looks;
        // written here rather than through the message handler.
        shared->setOutputWarningsToStandardError(false);
        QObject::connect(shared, &QQmlEngine::warnings, shared, [](const QList<QQmlError> &errors) {
            for (const QQmlError &e : errors)
                std::fprintf(stderr, "%s\n", qPrintable(e.toString()));
            std::fflush(stderr);
        });
        // Native plugins only from beside the qmldir that names them (Qt's
        // own are found so), none from the environment or the program's
        // folder; a course qmldir that names one never gets this far (see
        // the interceptor). Import folders: Qt's and the course's pictures/.
        shared->setPluginPathList({QStringLiteral(".")});
        shared->setImportPathList({qtQmlFolder()});
        shared->addUrlInterceptor(interceptor());
        // The engine does not own its factory: one for the program's life.
        static RefusingNetworkFactory refusing;
        shared->setNetworkAccessManagerFactory(&refusing);

        auto *watchdog = new ScriptWatchdog(shared);
        watchdogSlot() = watchdog;
        auto *heart = new QTimer(shared);
        heart->setInterval(200);
        QObject::connect(heart, &QTimer::timeout, shared, [watchdog] {
            watchdog->beat();
            if (watchdog->takeFired())
                MovieControl::scriptStopped();
        });
        heart->start();
        QObject::connect(shared, &QObject::destroyed, [watchdog] {
            watchdogSlot() = nullptr;
            watchdog->stop();
            delete watchdog;
        });
        watchdog->start(QThread::LowPriority);
    }
    return shared;
}

void MovieControl::scriptStopped()
{
    QQmlEngine *e = engine();
    e->setInterrupted(false);
    // The stopped script belonged to a scene that is still running; every
    // scene shown then is given up, as none can be trusted to stop again.
    const QSet<MovieControl *> controls = liveControls();
    for (MovieControl *c : controls)
        if (c->m_root)
            c->fail(QStringLiteral("сценарий мультфильма выполнялся слишком долго и остановлен"));
}

void MovieControl::updateWatchdog()
{
    bool any = false;
    for (MovieControl *c : std::as_const(liveControls()))
        any = any || c->m_root;
    if (ScriptWatchdog *w = watchdogSlot())
        w->setArmed(any);
}

MovieControl::MovieControl(QWidget *parent) : QWidget(parent)
{
    liveControls().insert(this);
    configureGraphics();
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

MovieControl::~MovieControl()
{
    liveControls().remove(this);
    dropScene();
    delete m_loading;
    updateWatchdog();
}

QString MovieControl::moviePath(const QString &name)
{
    return QDir::currentPath() + QStringLiteral("/pictures/") + name + QStringLiteral(".qml");
}

void MovieControl::ensureView()
{
    if (m_view)
        return;
    m_view = new QQuickWidget(engine(), this);
    m_view->setResizeMode(QQuickWidget::SizeRootObjectToView);
    m_view->setClearColor(Qt::white);
    m_view->setFocusPolicy(Qt::StrongFocus);
    layout()->addWidget(m_view);
    setFocusProxy(m_view);
    m_view->installEventFilter(this);
    watchAncestors();
}

void MovieControl::dropScene()
{
    if (!m_root)
        return;
    QQuickItem *old = m_root;
    m_root = nullptr;
    old->setVisible(false);
    old->setParentItem(nullptr);
    // Deferred: the old scene may still be on the stack of a nested loop.
    old->deleteLater();
    updateWatchdog();
}

void MovieControl::setMovie(const QString &path)
{
    m_path = path;
    ensureView();
    dropScene();
    delete m_loading;
    m_loading = nullptr;
    ++m_generation;

    const QFileInfo info(path);
    if (!files::isRegular(path) || !info.isReadable())
        return;
    if (info.size() > kMaxMovieBytes) {
        fail(QStringLiteral("файл больше %1 МиБ").arg(kMaxMovieBytes >> 20));
        return;
    }

    // The movie's own folder and the course's pictures/ hold its parts.
    interceptor()->allowFolder(info.absolutePath());
    engine()->setImportPathList({qtQmlFolder(), QDir::current().absoluteFilePath(QStringLiteral("pictures"))});

    auto *component = new QQmlComponent(engine(), QUrl::fromLocalFile(info.absoluteFilePath()),
                                        QQmlComponent::PreferSynchronous);
    if (component->isLoading()) {
        m_loading = component;
        const int generation = m_generation;
        connect(component, &QQmlComponent::statusChanged, this, [this, generation] {
            if (generation == m_generation && m_loading && !m_loading->isLoading())
                finishLoading();
        });
        QTimer::singleShot(kLoadSeconds * 1000, this, [this, generation] {
            if (generation != m_generation || !m_loading)
                return;
            delete m_loading;
            m_loading = nullptr;
            fail(QStringLiteral("мультфильм не загрузился за %1 секунд").arg(kLoadSeconds));
        });
        return;
    }
    m_loading = component;
    finishLoading();
}

void MovieControl::finishLoading()
{
    std::unique_ptr<QQmlComponent> component(m_loading);
    m_loading = nullptr;
    if (!component->isReady()) {
        for (const QQmlError &e : component->errors())
            std::fprintf(stderr, "%s\n", qPrintable(e.toString()));
        std::fflush(stderr);
        fail(QStringLiteral("ошибка в файле мультфильма"));
        return;
    }
    // The scene's own start-up scripts run in create(): the watchdog watches
    // them too, for their own time only.
    if (ScriptWatchdog *w = watchdogSlot()) {
        w->restart();
        w->setArmed(true);
    }
    QObject *object = component->create(engine()->rootContext());
    if (ScriptWatchdog *w = watchdogSlot(); w && w->takeFired()) {
        engine()->setInterrupted(false);
        delete object;
        updateWatchdog();
        fail(QStringLiteral("сценарий мультфильма выполнялся слишком долго и остановлен"));
        return;
    }
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item) {
        delete object;
        updateWatchdog();
        fail(QStringLiteral("файл не описывает сцену"));
        return;
    }
    m_root = item;
    m_designWidth = item->width() > 0 ? item->width() : width();
    m_designHeight = item->height() > 0 ? item->height() : height();
    item->setParent(this);
    item->setParentItem(m_view->quickWindow()->contentItem());
    item->setTransformOrigin(QQuickItem::TopLeft);

    const int signal = item->metaObject()->indexOfSignal("fsCommand(QString,QString)");
    if (signal >= 0) {
        const QMetaMethod source = item->metaObject()->method(signal);
        const QMetaMethod target = metaObject()->method(
            metaObject()->indexOfSlot("deliverCommand(QString,QString)"));
        connect(item, source, this, target, Qt::QueuedConnection);
    }
    placeRoot();
    updateWatchdog();
    item->forceActiveFocus();
}

QString MovieControl::failureMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось показать мультфильм «%1»: %2.").arg(QDir::toNativeSeparators(path), reason);
}

void MovieControl::fail(const QString &reason)
{
    dropScene();
    const QString text = failureMessage(m_path, reason);
    emit loadFailed(m_path, reason);
    // Told from the event loop: the control may be failing inside its
    // window's constructor or inside the engine's own call.
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, text, generation] {
        QWidget *top = window();
        dialogs::message(top, text);
        // A window without a frame offers no close of its own; the scene
        // that would have held its buttons is gone, so it is closed for the
        // learner (the home screen's close ends the program). Not when
        // another movie has taken the failed one's place meanwhile.
        if (generation == m_generation && m_failureClosesWindow && top && top != this &&
            top->windowFlags().testFlag(Qt::FramelessWindowHint))
            top->close();
    });
}

void MovieControl::placeRoot()
{
    if (!m_root || !m_view || m_designWidth <= 0 || m_designHeight <= 0)
        return;
    // Scale the scene to fit, keeping its proportions, and centre it.
    const qreal w = width();
    const qreal h = height();
    const qreal scale = qMin(w / m_designWidth, h / m_designHeight);
    if (scale <= 0)
        return;
    m_root->setSize(QSizeF(m_designWidth, m_designHeight));
    m_root->setScale(scale);
    m_root->setPosition(
        QPointF((w - m_designWidth * scale) / 2.0, (h - m_designHeight * scale) / 2.0));
}

void MovieControl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeRoot();
}

QList<QQuickItem *> MovieControl::tabItems() const
{
    QList<QQuickItem *> items;
    if (!m_root)
        return items;
    // Depth first in child order: the order Qt Quick's Tab chain follows.
    std::function<void(QQuickItem *)> walk = [&](QQuickItem *item) {
        if (!item->isVisible() || !item->isEnabled())
            return;
        if (item->activeFocusOnTab())
            items.append(item);
        const QList<QQuickItem *> children = item->childItems();
        for (QQuickItem *child : children)
            walk(child);
    };
    walk(m_root);
    return items;
}

bool MovieControl::leaveByTab(bool forward)
{
    const QList<QQuickItem *> items = tabItems();
    if (items.isEmpty() || !m_view)
        return false;
    QQuickItem *active = m_view->quickWindow()->activeFocusItem();
    // The control itself or a part of it (a field's inner editor).
    int at = -1;
    for (int i = 0; i < items.size() && at < 0; ++i) {
        if (active && (items[i] == active || items[i]->isAncestorOf(active)))
            at = i;
    }
    if (at != (forward ? items.size() - 1 : 0))
        return false;
    QWidget *top = window();
    QWidget *w = this;
    for (int guard = 0; guard < 10000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == this)
            return false; // round the window: nothing else takes focus
        if (isAncestorOf(w) || w->window() != top || w->focusProxy())
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(top) && w->isEnabled()) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

bool MovieControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto *key = static_cast<QKeyEvent *>(event);
            const bool tab = key->key() == Qt::Key_Tab && !(key->modifiers() & ~Qt::KeypadModifier);
            const bool backtab = key->key() == Qt::Key_Backtab ||
                                 (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ShiftModifier);
            if ((tab || backtab) && leaveByTab(tab))
                return true;
            break;
        }
        case QEvent::FocusIn: {
            // Coming in by Tab starts at the first control, by Shift+Tab at the last.
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
                const QList<QQuickItem *> items = tabItems();
                if (!items.isEmpty())
                    (reason == Qt::TabFocusReason ? items.first() : items.last())
                        ->forceActiveFocus(Qt::FocusReason(reason));
            }
            syncScenePosition();
            break;
        }
        case QEvent::ParentChange:
            watchAncestors();
            break;
        default:
            break;
        }
        return false;
    }
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show)
        syncScenePosition();
    else if (event->type() == QEvent::ParentChange)
        watchAncestors();
    return false;
}

void MovieControl::watchAncestors()
{
    for (const QPointer<QWidget> &w : std::as_const(m_watched)) {
        if (w)
            w->removeEventFilter(this);
    }
    m_watched.clear();
    for (QWidget *w = this; w; w = w->parentWidget()) {
        w->installEventFilter(this);
        m_watched.append(w);
    }
}

void MovieControl::syncScenePosition()
{
    // The scene's window learns its place only from moves of the view
    // itself; a moved panel or window around it would go unseen.
    if (!m_view || !m_view->isVisible())
        return;
    QQuickWindow *scene = m_view->quickWindow();
    const QPoint at = m_view->mapToGlobal(QPoint(0, 0));
    if (scene && scene->position() != at)
        scene->setPosition(at);
}

void MovieControl::GotoFrame(int frame)
{
    if (m_root)
        m_root->setProperty("frame", frame);
}

void MovieControl::Play()
{
    if (!m_root)
        return;
    if (m_root->metaObject()->indexOfMethod("play()") >= 0)
        QMetaObject::invokeMethod(m_root, "play");
}

QObject *MovieControl::findControl(const QString &objectName) const
{
    if (!m_root || objectName.isEmpty())
        return nullptr;
    if (m_root->objectName() == objectName)
        return m_root;
    return m_root->findChild<QObject *>(objectName);
}

QObject *MovieControl::variableTarget(const QString &name, QByteArray *property) const
{
    if (!m_root)
        return nullptr;
    const int dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        *property = name.mid(dot + 1).toUtf8();
        return findControl(name.left(dot));
    }
    *property = name.toUtf8();
    if (m_root->metaObject()->indexOfProperty(property->constData()) >= 0)
        return m_root;
    *property = "text";
    return findControl(name);
}

void MovieControl::SetVariable(const QString &name, const QString &value)
{
    QByteArray property;
    QObject *target = variableTarget(name, &property);
    if (!target || target->metaObject()->indexOfProperty(property.constData()) < 0)
        return;
    target->setProperty(property.constData(), value);
}

QString MovieControl::GetVariable(const QString &name) const
{
    QByteArray property;
    QObject *target = variableTarget(name, &property);
    if (!target || target->metaObject()->indexOfProperty(property.constData()) < 0)
        return QString();
    return target->property(property.constData()).toString();
}

bool MovieControl::click(const QString &objectName)
{
    QObject *control = findControl(objectName);
    if (!control || control->metaObject()->indexOfSignal("clicked()") < 0)
        return false;
    return QMetaObject::invokeMethod(control, "clicked");
}

void MovieControl::deliverCommand(const QString &command, const QString &args)
{
    dialogs::guarded(window(), [&] { emit fsCommand(command, args); });
}

} // namespace movie
