#include "teacher/TeacherWindow.h"

#include "teacher/ClassExport.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

// The teacher window's files: what it writes (CSV, PDF, print) and what it
// is given to open (the folder and file choosers, dropped files).

namespace teacher {

bool TeacherWindow::exportCsv(const QString &fileName)
{
    QList<int> rows;
    for (int i = 0; i < m_filter->rowCount(); ++i)
        rows << m_filter->mapToSource(m_filter->index(i, 0)).row();
    const QByteArray data = classCsv(*m_table, rows);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        message(QStringLiteral("Не удалось сохранить таблицу в %1: %2")
                    .arg(QDir::toNativeSeparators(fileName), file.errorString()));
        return false;
    }
    return true;
}

bool TeacherWindow::saveSheetPdf(const QString &fileName)
{
    if (m_learner.isEmpty())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    printer.setDocName(QStringLiteral("Лист ученика"));
    QTextDocument document;
    document.setHtml(learnerSheetHtml(*m_table, m_learner));
    document.print(&printer);
    // QPrinter reports no write errors: look at what reached the disk.
    QFile written(fileName);
    if (!written.open(QIODevice::ReadOnly) || !written.read(5).startsWith("%PDF")) {
        message(QStringLiteral("Не удалось сохранить лист ученика в ") +
                QDir::toNativeSeparators(fileName));
        return false;
    }
    return true;
}

void TeacherWindow::chooseFolder()
{
    const QString dir =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Папка с отчётами учеников"),
                                          m_folder.isEmpty() ? documentsFolder() : m_folder);
    if (!dir.isEmpty())
        openFolder(dir);
}

void TeacherWindow::chooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Файлы отчётов"), m_folder.isEmpty() ? documentsFolder() : m_folder,
        QStringLiteral("Отчёты учеников (*.rep);;Все файлы (*)"));
    if (!files.isEmpty())
        openPaths(files);
}

void TeacherWindow::chooseCsv()
{
    QString name = documentsFolder() + QStringLiteral("/Результаты класса.csv");
    name = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт таблицы в CSV"), name,
                                        QStringLiteral("Таблица CSV (*.csv)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        name += QStringLiteral(".csv");
    exportCsv(name);
}

void TeacherWindow::choosePdf()
{
    if (m_learner.isEmpty())
        return;
    const QStringList parts = m_learner.split(QChar(0x1F));
    QString base = QStringList{parts.value(0), parts.value(1)}.join(u' ').simplified();
    base.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
    if (base.isEmpty())
        base = QStringLiteral("Лист ученика");
    QString name =
        QFileDialog::getSaveFileName(this, QStringLiteral("Лист ученика в PDF"),
                                     documentsFolder() + u'/' + base + QStringLiteral(".pdf"),
                                     QStringLiteral("Документ PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        name += QStringLiteral(".pdf");
    saveSheetPdf(name);
}

void TeacherWindow::printSheet()
{
    if (m_learner.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Печать листа ученика"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setHtml(learnerSheetHtml(*m_table, m_learner));
    document.print(&printer);
}

void TeacherWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TeacherWindow::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    if (!paths.isEmpty()) {
        openPaths(paths);
        event->acceptProposedAction();
    }
}

} // namespace teacher
