#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QString>
#include <QWidget>

class QQmlComponent;
class QQmlEngine;
class QQuickWidget;

namespace movie {

// Hosts one animated screen face ("movie"): a QML scene loaded from
// pictures/<name>.qml. Offers the operations the screens drive their movies
// with, and re-emits the scene's fsCommand(command, args) signal.
//
// Commands are delivered from the event loop, never from inside the scene's
// own JavaScript, so a handler may replace this control's movie, close its
// window or open a modal window without pulling the scene out from under
// the code that raised the command.
class MovieControl : public QWidget
{
    Q_OBJECT
public:
    explicit MovieControl(QWidget *parent = nullptr);
    ~MovieControl() override;

    // Current directory + "/pictures/" + name + ".qml".
    static QString moviePath(const QString &name);

    // Drops the scene and loads the file afresh, from its start. A missing
    // file (or anything but a regular file) leaves an empty scene and is not
    // reported. A file that fails to load, does not load within a few
    // seconds, or whose script runs away, leaves an empty scene and is
    // reported: loadFailed, then a message naming the file (after which a
    // frameless window is closed, as it has no close of its own; see
    // setFailureClosesWindow).
    // Movies are content: the engine loads no plugins of the course, makes
    // no network request and reads no file outside the course folder and
    // the movie's own folder.
    void setMovie(const QString &path);
    QString movie() const { return m_path; }

    void GotoFrame(int frame);
    void Play();
    // A plain name is a root property, or the "text" of the scene's object
    // with that objectName; "obj.prop" names a property of a named object.
    void SetVariable(const QString &name, const QString &value);
    QString GetVariable(const QString &name) const;

    // The scene's root item; null when the scene is empty.
    QQuickItem *rootItem() const { return m_root; }
    // The scene's object with that objectName (a button, a field), or null.
    QObject *findControl(const QString &objectName) const;
    // Presses a control of the scene as a person would (tests, automation):
    // emits its clicked() signal. Returns false when there is no such control.
    bool click(const QString &objectName);

    // Chooses the software Qt Quick renderer where no GPU context exists.
    // Must run before the first scene is shown; the constructor calls it.
    static void configureGraphics();
    static QQmlEngine *engine();

    // Whether a failed movie closes its frameless window (true): off for a
    // movie that is not the window's whole face, whose window stays usable.
    void setFailureClosesWindow(bool closes) { m_failureClosesWindow = closes; }

    // The text shown when a movie fails.
    static QString failureMessage(const QString &path, const QString &reason);

signals:
    void fsCommand(const QString &command, const QString &args);
    void loadFailed(const QString &path, const QString &reason);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void deliverCommand(const QString &command, const QString &args);

private:
    void ensureView();
    void dropScene();
    void placeRoot();
    QObject *variableTarget(const QString &name, QByteArray *property) const;
    void finishLoading();
    // A script the watchdog stopped closes no window: the program goes on
    // whichever movie ran away.
    void fail(const QString &reason, bool mayCloseWindow = true);
    static void scriptStopped();
    static void sandboxBreach(QObject *culprit, const QString &reason);
    static void updateWatchdog();
    // The scene's controls Tab reaches, in focus-chain order.
    QList<QQuickItem *> tabItems() const;
    // Tab on the scene's last control (Shift+Tab on its first) leaves the
    // movie for the window's next control; true when focus moved.
    bool leaveByTab(bool forward);
    // Puts focus on the scene's first control when it rests on none.
    void startOnFirstControl();
    // The scene's window keeps its screen position in step with the widget,
    // so assistive technology places the controls where they are drawn.
    void watchAncestors();
    void syncScenePosition();

    QString m_path;
    QQuickWidget *m_view = nullptr;
    QPointer<QQuickItem> m_root;
    QList<QPointer<QWidget>> m_watched;
    qreal m_designWidth = 0;
    qreal m_designHeight = 0;
    QQmlComponent *m_loading = nullptr; // a scene still loading
    int m_generation = 0;               // counts setMovie calls
    bool m_failureClosesWindow = true;
};

} // namespace movie
