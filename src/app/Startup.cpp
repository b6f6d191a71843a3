#include "app/Startup.h"

#include "app/WindowSet.h"
#include "core/RegularFile.h"
#include "core/SaveLeftovers.h"
#include "lab/LabError.h"
#include "lab/LabSettings.h"
#include "lab/LabStore.h"
#include "learners/CourseData.h"
#include "learners/CourseLock.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "ui/AccessibleFrames.h"
#include "ui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

namespace {

struct LabChoice
{
    bool checked = false;
    std::optional<lab::ConnectionSettings> settings;
    std::optional<lab::LabError> error; // settings there, but unusable
};

LabChoice &labChoice()
{
    static LabChoice choice;
    if (!choice.checked) {
        choice.checked = true;
        try {
            choice.settings = lab::LabSettings::find(QDir::currentPath());
        } catch (const lab::LabError &e) {
            choice.error = e;
        }
    }
    return choice;
}

// In the lab the learners live in the class database; dect.chh is read for
// the course's lectures only.
void useClassDatabase(reader::ReaderState &state)
{
    const LabChoice &choice = labChoice();
    if (choice.settings)
        state.setLearnerStore(std::make_unique<lab::LabStore>(*choice.settings));
    else
        state.setLearnerStore(std::make_unique<lab::LabStore>(*choice.error));
    try {
        state.XML().LoadCourseData();
    } catch (const learners::CourseDataError &) {
        // The contents page falls back on the course's own document.
    }
}

} // namespace

bool labModeWanted()
{
    const LabChoice &choice = labChoice();
    return choice.settings.has_value() || choice.error.has_value();
}

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
LockPromptHook g_lockPromptHook;
// Set once the program is on its way out (a signal, a lost lock).
std::atomic<bool> g_ending{false};
int g_signalPipe[2] = {-1, -1};

void onExitSignal(int signal)
{
    // Only what is safe in a signal handler: one byte into the pipe.
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// The way out the program takes for Выход; before the windows exist (the
// lock's question is up), the question is closed.
void endProgram()
{
    if (frmMain) {
        frmMain->closeMainWindow();
        return;
    }
    g_ending = true;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
            box->done(QMessageBox::Cancel);
    }
    QCoreApplication::exit(0);
}

app::LockChoice askAboutLock(const QString &title, const QString &text, bool offersTakeOver)
{
    if (g_lockPromptHook)
        return g_lockPromptHook(title, text, offersTakeOver);
    QMessageBox box(QMessageBox::NoIcon, title, text);
    QAbstractButton *takeOver =
        offersTakeOver ? box.addButton(QStringLiteral("Занять папку"), QMessageBox::AcceptRole) : nullptr;
    QAbstractButton *retry = box.addButton(QStringLiteral("Повторить"), QMessageBox::ActionRole);
    QAbstractButton *quit = box.addButton(QStringLiteral("Выйти"), QMessageBox::RejectRole);
    box.setDefaultButton(qobject_cast<QPushButton *>(quit));
    box.setEscapeButton(quit);
    box.exec();
    if (takeOver && box.clickedButton() == takeOver)
        return app::LockChoice::TakeOver;
    if (box.clickedButton() == retry)
        return app::LockChoice::Retry;
    return app::LockChoice::Quit;
}
} // namespace

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("Тарвел"));
    QApplication::setApplicationDisplayName(QStringLiteral("Тарвел"));
    // Ties the windows to the installed desktop entry and its icon (the
    // Wayland app id, the X11 window icon); a build that is not installed
    // finds no icon and keeps the default.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvel.Tarvel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvel.Tarvel")));
    QApplication::setQuitOnLastWindowClosed(false);
    ui::installAccessibleFrames();
    movie::MovieControl::configureGraphics();
    loadQtTranslations();
}

bool loadQtTranslations()
{
    // The learners read Russian whatever the desktop's locale: Qt's own
    // buttons and dialogs (Да/Нет, the save and colour dialogs) included.
    static QTranslator *translator = nullptr;
    if (translator)
        return true;
    auto *candidate = new QTranslator(qApp);
    if (!candidate->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete candidate;
        return false;
    }
    QCoreApplication::installTranslator(candidate);
    translator = candidate;
    return true;
}

void startWindowSet()
{
    createStartWindows();
    if (labModeWanted())
        useClassDatabase(frmMain->state());
    TfrmMain::quitOnClose = true;
    QTimer::singleShot(0, frmMain, [] { ui::guarded(frmMain, [] { frmMain->start(); }); });
}

void setLockPromptHook(LockPromptHook hook)
{
    g_lockPromptHook = std::move(hook);
}

int takeCourseLock(learners::CourseLock &lock)
{
    using Outcome = learners::CourseLock::Outcome;
    bool taken = lock.tryLock();
    while (!taken && !g_ending) {
        const bool stale = lock.outcome() == Outcome::Stale;
        const QString title = lock.outcome() == Outcome::Failed
                                  ? QStringLiteral("Тарвел: учебник не может быть запущен")
                                  : QStringLiteral("Тарвел: папка курса занята");
        const app::LockChoice choice = askAboutLock(title, lock.message(), stale);
        if (g_ending || choice == app::LockChoice::Quit)
            break;
        taken = choice == app::LockChoice::TakeOver ? lock.takeOver() : lock.tryLock();
    }
    return taken && !g_ending ? 0 : kExitCourseBusy;
}

void installExitSignalHandlers()
{
    if (g_signalPipe[0] >= 0)
        return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        ui::guarded(frmMain, endProgram);
    });
    struct sigaction action {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

void watchCourseLock(learners::CourseLock &lock)
{
    lock.setLostHandler([] {
        // Called on the lock's own thread: the work is done on the event loop.
        QMetaObject::invokeMethod(
            qApp,
            [] {
                // Told once: the lock reports its loss once.
                g_ending = true;
                const QString text = QStringLiteral(
                    "Папку курса заняла копия учебника на другом компьютере: эта копия долго не "
                    "отвечала (компьютер засыпал или терял связь с сетевой папкой) и была сочтена "
                    "закрытой.\n\nЧтобы две копии не испортили данные учеников, учебник "
                    "закроется. Изменения, сохраненные до этой минуты, не потеряны.");
                if (frmMain)
                    frmMain->state().setLearnerDataFailure(text);
                QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Тарвел: папка курса занята"),
                                text, QMessageBox::Ok);
                if (g_lockPromptHook)
                    g_lockPromptHook(box.windowTitle(), text, false);
                else
                    box.exec();
                QCoreApplication::exit(kExitLockLost);
                if (frmMain)
                    frmMain->closeMainWindow();
            },
            Qt::QueuedConnection);
    });
}

bool startMoviePresent()
{
    const QString path = movie::MovieControl::moviePath(QStringLiteral("login"));
    if (files::isRegular(path) && QFileInfo(path).isReadable())
        return true;
    ui::error(nullptr, QStringLiteral("Не найден файл «%1»: это экран входа учебника. Без него "
                                      "учебником нельзя пользоваться. Восстановите папку курса "
                                      "из дистрибутива. Продолжение работы невозможно.")
                           .arg(QDir::toNativeSeparators(path)));
    return false;
}

void removeOldSaveLeftovers()
{
    const QFileInfo data(QStringLiteral("dect.chh"));
    const QString resolved = data.canonicalFilePath();
    files::removeOldSaveLeftovers(resolved.isEmpty() ? data.absoluteFilePath() : resolved);
}
