#include "movie/MovieControl.h"

#include "movie/MovieAccessible.h"
#include "movie/MovieSandbox.h"
#include "movie/ScriptWatchdog.h"

#include "core/RegularFile.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QResizeEvent>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>

namespace movie {

namespace {
// A scene that has not loaded by then is given up.
constexpr int kLoadSeconds = 5;

// The control whose scene is being created: a refusal then is its own.
MovieControl *g_creating = nullptr;

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
        // Scripts in the interpreter only: the watchdog tells a running
        // script by the engine's code on the stack, which compiled code
        // would hide. Movies are too small to miss the compiler.
        qputenv("QV4_FORCE_INTERPRETER", "1");
        shared = new QQmlEngine(qApp);
        // Errors of a movie go to standard error, where the author looks;
        // written here rather than through the message handler.
        shared->setOutputWarningsToStandardError(false);
        QObject::connect(shared, &QQmlEngine::warnings, shared, [](const QList<QQmlError> &errors) {
            for (const QQmlError &e : errors)
                std::fprintf(stderr, "%s\n", qPrintable(e.toString()));
            std::fflush(stderr);
        });
        installSandbox(shared);
        setBreachHandler(&MovieControl::sandboxBreach);
        ScriptWatchdog::startFor(shared, &MovieControl::scriptStopped);
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
            c->fail(QStringLiteral("сценарий мультфильма выполнялся слишком долго и остановлен"),
                    false);
}

void MovieControl::sandboxBreach(QObject *culprit, const QString &reason)
{
    if (g_creating)
        return; // finishLoading takes the refusal
    takeRefusal();
    // The scene the culprit belongs to; every scene on show when unknown.
    MovieControl *owner = nullptr;
    for (QObject *o = culprit; o && !owner; o = o->parent())
        owner = qobject_cast<MovieControl *>(o);
    const QSet<MovieControl *> controls = liveControls();
    for (MovieControl *c : controls)
        if (c->m_root && (!owner || c == owner))
            c->fail(reason);
}

void MovieControl::updateWatchdog()
{
    bool any = false;
    for (MovieControl *c : std::as_const(liveControls()))
        any = any || c->m_root;
    if (ScriptWatchdog *w = ScriptWatchdog::current())
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
    if (m_view)
        access::detachView(m_view);
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
    // Made later than its window's other controls, the view would come last
    // in the Tab chain; it takes the control's own place there.
    QWidget::setTabOrder(this, m_view);
    setFocusProxy(m_view);
    m_view->installEventFilter(this);
    access::attachView(m_view);
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
    takeRefusal(); // one that no control took

    const QFileInfo info(path);
    if (!files::isRegular(path) || !info.isReadable())
        return;
    if (info.size() > kMaxMovieBytes) {
        fail(QStringLiteral("файл больше %1 МиБ").arg(kMaxMovieBytes >> 20));
        return;
    }

    // The movie's own folder and the course's pictures/ hold its parts.
    allowMovieFolder(info.absolutePath());
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
        const QString refused = takeRefusal();
        fail(refused.isEmpty() ? QStringLiteral("ошибка в файле мультфильма") : refused);
        return;
    }
    // The scene's own start-up scripts run in create(): the watchdog watches
    // them too, for their own time only.
    if (ScriptWatchdog *w = ScriptWatchdog::current()) {
        w->restart();
        w->setArmed(true);
    }
    QObject *object = nullptr;
    {
        const access::LoadingScope building(m_view);
        g_creating = this;
        object = component->create(engine()->rootContext());
        g_creating = nullptr;
    }
    if (const QString refused = takeRefusal(); !refused.isEmpty()) {
        delete object;
        updateWatchdog();
        fail(refused);
        return;
    }
    if (ScriptWatchdog *w = ScriptWatchdog::current(); w && w->takeFired()) {
        engine()->setInterrupted(false);
        delete object;
        updateWatchdog();
        fail(QStringLiteral("сценарий мультфильма выполнялся слишком долго и остановлен"), false);
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
    access::watchNotices(m_view, item);

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
    // After the screen has filled in the scene's texts (a command may show
    // only then).
    QTimer::singleShot(0, this, [this, generation = m_generation] {
        if (generation == m_generation && m_view && m_view->hasFocus())
            startOnFirstControl();
    });
}

void MovieControl::startOnFirstControl()
{
    // Focus on no control (the scene itself) is a stop nobody can name or
    // use; a screen starts on its first command instead.
    if (!m_root || !m_view || !m_view->hasFocus())
        return;
    const QList<QQuickItem *> items = tabItems();
    if (items.isEmpty())
        return;
    QQuickItem *active = m_view->quickWindow()->activeFocusItem();
    for (QQuickItem *item : items)
        if (active && (item == active || item->isAncestorOf(active)))
            return;
    items.first()->forceActiveFocus(Qt::OtherFocusReason);
}

QString MovieControl::failureMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось показать мультфильм «%1»: %2.").arg(QDir::toNativeSeparators(path), reason);
}

void MovieControl::fail(const QString &reason, bool mayCloseWindow)
{
    dropScene();
    const QString text = failureMessage(m_path, reason);
    emit loadFailed(m_path, reason);
    // Told from the event loop: the control may be failing inside its
    // window's constructor or inside the engine's own call.
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, text, generation, mayCloseWindow] {
        QWidget *top = window();
        ui::message(top, text);
        // A window without a frame offers no close of its own; the scene
        // that would have held its buttons is gone, so it is closed for the
        // learner (the home screen's close ends the program). Not when
        // another movie has taken the failed one's place meanwhile.
        if (generation == m_generation && mayCloseWindow && m_failureClosesWindow && top && top != this &&
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
            // Told once the widget's own focus news is out.
            QTimer::singleShot(0, this, [this] {
                startOnFirstControl();
                access::announceFocus(m_view);
            });
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
    else if (event->type() == QEvent::WindowActivate && watched == window() && m_view) {
        // A screen reader heeds focus only inside the active window: said
        // again once the window is active, after the window's own news.
        QTimer::singleShot(100, this, [this] {
            startOnFirstControl();
            access::announceFocus(m_view);
        });
    }
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
    ui::guarded(window(), [&] { emit fsCommand(command, args); });
}

} // namespace movie
