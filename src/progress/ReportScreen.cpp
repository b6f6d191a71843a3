#include "progress/ReportScreen.h"

#include "core/LineCodec.h"
#include "movie/MovieControl.h"
#include "progress/ProgressText.h"
#include "reader/ReaderState.h"
#include "richtext/RichView.h"
#include "ui/Dialogs.h"
#include "ui/PaperTile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <exception>

namespace {
TfrmOtcher::SaveDialogHook g_saveDialogHook;

// Every coded line is a paragraph of its own in these plain-sheet styles.
constexpr int kLineStyle = rvs::tsPlainSubheading;
constexpr int kLinePara = rvs::psPlainCentered;
} // namespace

void TfrmOtcher::setSaveDialogHook(SaveDialogHook hook)
{
    g_saveDialogHook = std::move(hook);
}

TfrmOtcher *frmOtcher = nullptr;

TfrmOtcher::TfrmOtcher(reader::ReaderState &state, QWidget *parent)
    : movie::MovieScreen(
          {QStringLiteral("frmOtcher"), QStringLiteral("Отчёт"), QSize(550, 400), QPoint(270, 187)},
          parent),
      m_state(state)
{
    setEscapeCloses(true);
    RVStyle2 = new TRVStyle(TRVStyle::Sheet::Plain, this);
    RichView1 = new TRichView(this);
    RichView1->setAccessibleName(QStringLiteral("Отчёт"));
    RichView1->setObjectName(QStringLiteral("RichView1"));
    RichView1->setRVStyle(RVStyle2);
    RichView1->setMargins(5, 5, 5, 5);
    RichView1->setBackgroundTile(ui::paperTile());
    RichView1->hide();
}

void TfrmOtcher::FormActivate()
{
    Flash->setGeometry(rect());
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("report")));
}

void TfrmOtcher::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("close"))
        closeScreen();
    else if (command == QLatin1String("Generate"))
        Generate();
}

QString TfrmOtcher::initialFolder()
{
    const QString current = QDir::current().canonicalPath();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // The launcher's copy of the course for this user.
    const QString copy =
        data.isEmpty() ? QString() : QDir(data + QStringLiteral("/tarvel/course")).canonicalPath();
    if (copy.isEmpty() || current != copy)
        return QDir::currentPath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString TfrmOtcher::proposedFileName() const
{
    // Reports of a class land in one folder: each is named after its learner.
    QString name;
    try {
        const learners::LearnerFields learner =
            m_state.learnerStore().learnerFormFields(m_state.CurrentUser());
        name = (learner.sourname.trimmed() + QLatin1Char(' ') + learner.name.trimmed()).trimmed();
    } catch (const std::exception &) {
        // No record to read: the plain name below.
    }
    // Only what a file name may hold on every system a teacher may use.
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    name = name.simplified().left(100);
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("отчёт") : name;
}

QString TfrmOtcher::reportFileName(const QString &chosen)
{
    // A name that already ends in .rep keeps it: never "r1.rep.rep".
    if (chosen.endsWith(QStringLiteral(".rep"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".rep");
}

namespace {

// The dialog's "Type" column: Qt's own names of kinds ("Folder", "rep File")
// come without a Russian translation.
class RussianFileTypes : public QFileIconProvider
{
public:
    QString type(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QStringLiteral("Диск");
        if (info.isDir())
            return QStringLiteral("Папка");
        if (info.suffix().isEmpty())
            return QStringLiteral("Файл");
        return QStringLiteral("Файл %1").arg(info.suffix());
    }
};

} // namespace

QString TfrmOtcher::askFileName()
{
    RussianFileTypes fileTypes; // outlives the dialog
    QFileDialog dlgSave(this);
    dlgSave.setIconProvider(&fileTypes);
    // No extension is guessed by the dialog: ".rep" is added to a chosen name
    // without it, and the question about an existing file is asked of that
    // name, below.
    dlgSave.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dlgSave.setObjectName(QStringLiteral("dlgSave"));
    dlgSave.setWindowTitle(QStringLiteral("Сохранение отчёта"));
    dlgSave.setAcceptMode(QFileDialog::AcceptSave);
    dlgSave.setFileMode(QFileDialog::AnyFile);
    dlgSave.setDirectory(m_lastFolder.isEmpty() ? initialFolder() : m_lastFolder);
    dlgSave.setNameFilter(QStringLiteral("*.rep"));
    dlgSave.setSizeGripEnabled(true);
    dlgSave.setSidebarUrls({});
    if (QWidget *places = dlgSave.findChild<QWidget *>(QStringLiteral("sidebar")))
        places->hide();
    dlgSave.selectFile(m_proposed);

    QString chosen;
    if (g_saveDialogHook) {
        chosen = g_saveDialogHook(dlgSave);
    } else if (dlgSave.exec() == QDialog::Accepted && !dlgSave.selectedFiles().isEmpty()) {
        chosen = dlgSave.selectedFiles().constFirst();
    }
    if (!chosen.isEmpty())
        m_lastFolder = QFileInfo(QDir::current(), chosen).absolutePath();
    return chosen;
}

void TfrmOtcher::Generate()
{
    m_proposed = proposedFileName();
    QString fileName;
    for (;;) {
        const QString chosen = askFileName();
        if (chosen.isEmpty())
            return;
        fileName = reportFileName(chosen);
        // Learners share a folder: a report is never replaced unasked. (A
        // folder of that name is no report: the save tells what went wrong.)
        if (!QFileInfo(QDir::current().absoluteFilePath(fileName)).isFile() ||
            ui::question(this, QStringLiteral("Файл «%1» уже существует. Заменить его?")
                                        .arg(QDir::toNativeSeparators(
                                            QDir::current().absoluteFilePath(fileName)))))
            break;
        m_proposed = QFileInfo(chosen).fileName();
    }

    RichView1->Clear();
    const auto addLine = [this](const QString &line) {
        RichView1->AddNL(core::EncodeLine(line), kLineStyle, kLinePara);
    };
    try {
        progress::reportText(m_state.learnerStore(), m_state.CurrentUser(), addLine);
    } catch (const std::exception &) {
        // The record could not be read whole: the report keeps the lines
        // gathered so far, and the window goes.
        closeScreen();
    }

    const QString failure = saveReport(fileName);
    if (!failure.isEmpty()) {
        // The learner must not walk away believing the report was written:
        // say why, and leave the window open for another try.
        ui::message(this, QStringLiteral("Не удалось сохранить отчёт: ") + failure);
        return;
    }
    // The file is to be handed in: say where it went.
    ui::message(this,
                     QStringLiteral("Отчёт сохранён в файл:\n") +
                         QDir::toNativeSeparators(QDir::current().absoluteFilePath(fileName)));
    closeScreen();
}

QString TfrmOtcher::saveReport(const QString &fileName) const
{
    // What SaveTextW writes (UTF-16 with a byte-order mark, one line per
    // paragraph, line width 1), written through a temporary file so that a
    // failure leaves no half-written report and gives its reason.
    const QByteArray data = RichView1->document().toUtf16Text(1);
    QSaveFile file(QDir::current().absoluteFilePath(fileName));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}
