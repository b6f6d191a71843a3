#include "screens/HomeScreen.h"

#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "progress/LectureProgress.h"
#include "reader/PageCatalogue.h"
#include "reader/ReaderIntents.h"
#include "reader/ReaderState.h"
#include "ui/Dialogs.h"
#include "ui/Navigator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QScreen>
#include <QUrl>

#include <utility>

namespace {
std::function<QSize()> g_desktopSize;
std::function<bool(const QString &)> g_programStarter;

QSize virtualDesktopSize()
{
    if (g_desktopSize)
        return g_desktopSize();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        return screen->virtualGeometry().size();
    return QSize(800, 600);
}

QRect workArea()
{
    return ui::ModalScreen::availableDesktop(nullptr);
}

constexpr QSize kMovieSize(800, 600);

const QString kResolutionMessage = QStringLiteral("Данное разрешение экрана не поддерживается");
} // namespace

void TfrmIntro::setDesktopSizeSource(std::function<QSize()> source)
{
    g_desktopSize = std::move(source);
}

void TfrmIntro::setProgramStarter(std::function<bool(const QString &)> starter)
{
    g_programStarter = std::move(starter);
}

TfrmIntro *frmIntro = nullptr;

TfrmIntro::TfrmIntro(reader::ReaderState &state, reader::ReaderIntents &reader,
                     ui::Navigator &navigator, QWidget *parent)
    : movie::MovieScreen({QStringLiteral("frmIntro"), QStringLiteral("Тарвел"), QSize(),
                          std::nullopt, QStringLiteral("Flash"), QSize(800, 600)},
                         parent),
      m_state(state), m_reader(reader), m_navigator(navigator)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setGeometry(workArea());
}

void TfrmIntro::FormActivate()
{
    setGeometry(workArea());
    const QSize desktop = virtualDesktopSize();
    const int width = desktop.width();
    const int height = desktop.height();
    // Every message first, then the end: once the main window closes, its
    // queued quit would end a second message box before it is read.
    const int failing = (height < 600 ? 1 : 0) + (width < 800 ? 1 : 0);
    for (int i = 0; i < failing; ++i)
        ui::message(this, kResolutionMessage);
    if (failing > 0)
        m_reader.closeProgram();
    // Centred on the desktop; where a panel leaves less room than the movie
    // needs, the movie is scaled down into the work area instead of cut.
    QRect place(QPoint((width - 800) / 2, (height - 600) / 2), kMovieSize);
    if (failing == 0 && !rect().contains(place)) {
        const QSize fit = kMovieSize.scaled(size().boundedTo(kMovieSize), Qt::KeepAspectRatio);
        place = QRect(QPoint((this->width() - fit.width()) / 2, (this->height() - fit.height()) / 2), fit);
    }
    Flash->setGeometry(place);
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("Main")));
    showLearnerState();
    if (!m_keyPreview) {
        m_keyPreview = true;
        qApp->installEventFilter(this);
    }
    m_reader.enterHome();
}

void TfrmIntro::playFromStart()
{
    Flash->GotoFrame(1);
    Flash->Play();
}

void TfrmIntro::FormDeactivate()
{
    if (m_keyPreview) {
        m_keyPreview = false;
        qApp->removeEventFilter(this);
    }
}

bool TfrmIntro::eventFilter(QObject *watched, QEvent *event)
{
    // Key preview: the window sees key presses before its movie does.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat() || key->key() == Qt::Key_F4) {
            FormKeyDown(key->key(), key->modifiers());
            if (ui::ModalScreen::programEnding())
                return true;
        }
    }
    return ui::ModalScreen::eventFilter(watched, event);
}

void TfrmIntro::FormKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_F4 && (shift & Qt::AltModifier))
        m_reader.closeProgram();
}

void TfrmIntro::closeEvent(QCloseEvent *event)
{
    // The window manager's close (title bar, Alt+F4) is "exit": a home
    // screen merely hidden would leave the learner before an empty reader.
    if (ui::ModalScreen::programEnding()) {
        ui::ModalScreen::closeEvent(event);
        return;
    }
    event->ignore();
    FlashFSCommand(QStringLiteral("exit"), QString());
}

bool TfrmIntro::learnerDataAvailable()
{
    if (m_state.learnerDataFailure().isEmpty())
        return true;
    ui::message(this, m_state.learnerDataUnavailableText());
    return false;
}

void TfrmIntro::startCompanion(const QString &notInstalled, const QString &relativePath)
{
    // Started, never waited for. A program that is not there is named, so
    // the teacher knows what to install and where.
    const QFileInfo info(QDir::current(), relativePath);
    if (!info.isFile()) {
        ui::message(this, QStringLiteral("%1: нет программы\n%2\n\n"
                                              "Учитель может установить её, как сказано в "
                                              "описании курса (README.md).")
                                   .arg(notInstalled, QDir::toNativeSeparators(info.absoluteFilePath())));
        return;
    }
    if (g_programStarter) {
        g_programStarter(relativePath);
        return;
    }
    if (info.isExecutable() && QProcess::startDetached(info.absoluteFilePath(), {}))
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        ui::message(this, QStringLiteral("Не удалось запустить программу\n%1")
                                   .arg(QDir::toNativeSeparators(info.absoluteFilePath())));
}

void TfrmIntro::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("exit")) {
        m_reader.closeProgram();
    } else if (command == QLatin1String("DoBookmark")) {
        if (learnerDataAvailable())
            m_navigator.showBookmarks();
    } else if (command == QLatin1String("DoContent")) {
        m_reader.showContentsFromHome();
        closeScreen();
    } else if (command == QLatin1String("DoEbout")) {
        m_reader.openPageFromHome(reader::ReaderIntents::HomePage::Introduction);
        closeScreen();
    } else if (command == QLatin1String("DoBegin")) {
        m_reader.openPageFromHome(reader::ReaderIntents::HomePage::Help);
        closeScreen();
    } else if (command == QLatin1String("DoTests")) {
        // A result that cannot be filed under the learner is not worth a test.
        if (!learnerDataAvailable())
            return;
        m_reader.showTestTopicsFromHome();
        closeScreen();
    } else if (command == QLatin1String("DoReport")) {
        if (learnerDataAvailable())
            m_navigator.showReport();
    } else if (command == QLatin1String("DoStat")) {
        if (learnerDataAvailable())
            m_navigator.showStatistics();
    } else if (command == QLatin1String("DoLabs")) {
        startCompanion(QStringLiteral("Лабораторные работы не установлены"), QStringLiteral("Labs/VESTRA.exe"));
    } else if (command == QLatin1String("DoPrac")) {
        startCompanion(QStringLiteral("Практикум не установлен"), QStringLiteral("Prac/Drimet.exe"));
    } else if (command == QLatin1String("DoDict")) {
        m_reader.openPageFromHome(reader::ReaderIntents::HomePage::Dictionary);
        closeScreen();
    } else if (command == QLatin1String("DoEbout2")) {
        m_navigator.showAbout();
    } else if (command == QLatin1String("DoFont")) {
        m_navigator.showFontChoice();
    } else if (command == QLatin1String("DoContinue")) {
        m_reader.continueReadingFromHome();
        closeScreen();
    } else if (command == QLatin1String("DoChangeUser")) {
        changeLearner();
    }
}

void TfrmIntro::changeLearner()
{
    // Without the learners' records there is nobody to choose instead.
    if (!learnerDataAvailable())
        return;
    m_reader.handOverLearner();
    m_handOver = true;
    closeScreen();
}

bool TfrmIntro::takeHandOver()
{
    return std::exchange(m_handOver, false);
}

QString TfrmIntro::resumeText()
{
    const learners::Place place = m_state.learnerStore().place(m_state.CurrentUser());
    if (place.page < 0)
        return QString();
    QString title;
    if (place.page >= pages::kFirstLecture && place.page <= pages::kLastLecture) {
        title = QStringLiteral("Лекция %1").arg(place.page);
        int i = 0;
        m_state.XML().readLectures(
            [&](const learners::CourseData::Lecture &lecture) {
                if (i++ == place.page && !lecture.description.isEmpty())
                    title = lecture.description;
            },
            false);
    } else if (place.page == pages::kIntroduction) {
        title = QStringLiteral("Введение");
    } else if (place.page == pages::kDictionary) {
        title = QStringLiteral("Словарь");
    } else {
        title = QStringLiteral("Справка");
    }
    QString text = QStringLiteral("Продолжить: ") + title;
    if (!place.section.isEmpty())
        text += QStringLiteral(", ") + place.section;
    return text;
}

void TfrmIntro::showLearnerState()
{
    // A seat of a computer lab says, quietly, that it works on the class's
    // database; a single computer says nothing.
    Flash->SetVariable(QStringLiteral("seatText"), m_state.learnerStore().sharedLocation());
    // Nothing to show before sign-in, or when the learners cannot be read.
    if (!m_state.CurrentUser().isValid() || !m_state.learnerStore().isOpen())
        return;
    m_reader.applyLearnerPreferences();
    try {
        Flash->SetVariable(QStringLiteral("resumeText"), resumeText());
        Flash->SetVariable(QStringLiteral("progress"),
                           progress::progressVariable(progress::lectureProgress(
                               m_state.XML(), m_state.learnerStore(), m_state.CurrentUser())));
    } catch (const std::exception &) {
        // A damaged record only costs the screen its summary.
    }
}
