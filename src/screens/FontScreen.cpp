#include "screens/FontScreen.h"

#include "movie/MovieControl.h"
#include "reader/ReaderIntents.h"
#include "reader/ReaderState.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "ui/FontDialog.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>

#include <algorithm>

TfrmFont *frmFont = nullptr;

TfrmFont::TfrmFont(reader::ReaderState &state, reader::ReaderIntents &reader, QWidget *parent)
    : movie::MovieScreen({QStringLiteral("frmFont"), QStringLiteral("Выбор шрифта"),
                          QSize(550, 400), QPoint(278, 193)},
                         parent),
      m_state(state), m_reader(reader)
{
    setEscapeCloses(true);
    // The preview shares the reader's sheet: a change shows in both.
    RView1 = new TRichView(this);
    RView1->setAccessibleName(QStringLiteral("Образец шрифта"));
    RView1->setObjectName(QStringLiteral("RView1"));
    RView1->setRVStyle(&m_state.readingStyle());
    RView1->setMargins(5, 5, 5, 5);
    RView1->setSelectionEnabled(true);
    RView1->setFrameShape(QFrame::NoFrame);
    RView1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RView1->setGeometry(16, 24, 401, 345);
    RView1->raise();

    dlgFont = new ui::FontDialog(this);
    dlgFont->setObjectName(QStringLiteral("dlgFont"));
    connect(dlgFont, &ui::FontDialog::applied, this, &TfrmFont::dlgFontApply);
}

void TfrmFont::FormActivate()
{
    if (RView1->rvStyle() != &m_state.readingStyle())
        RView1->setRVStyle(&m_state.readingStyle());
    // A missing dictionary leaves the preview as it was.
    if (RView1->LoadRVF(QStringLiteral("lections/dict.rvf")))
        RView1->Format();
    Flash->setGeometry(rect());
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("font")));
    Flash->SetVariable(QStringLiteral("narrow"),
                       m_state.narrowColumn() ? QStringLiteral("1") : QStringLiteral("0"));
    RView1->raise();
}

void TfrmFont::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("close"))
        closeScreen();
    else if (command == QLatin1String("DoChange"))
        DoChange();
    else if (command == QLatin1String("DoDefoult"))
        DoDefoult();
    else if (command == QLatin1String("DoColumn"))
        DoColumn();
}

void TfrmFont::DoColumn()
{
    const bool narrow = !m_state.narrowColumn();
    // The switch shows the choice even when keeping it fails.
    const auto shown = qScopeGuard([&] {
        Flash->SetVariable(QStringLiteral("narrow"),
                           m_state.narrowColumn() ? QStringLiteral("1") : QStringLiteral("0"));
    });
    m_reader.setNarrowColumn(narrow);
}

void TfrmFont::DoChange()
{
    // The dialog opens on the font the pages are read in now.
    const richtext::RVTextStyle &normal = m_state.readingStyle().TextStyles(rvs::tsNormal);
    QFont current(normal.fontName);
    current.setPointSize(std::max(1, normal.size));
    current.setBold(normal.bold);
    current.setItalic(normal.italic);
    current.setUnderline(normal.underline);
    current.setStrikeOut(normal.strikeOut);
    dlgFont->setChosenFont(current);
    dlgFont->setChosenColor(normal.color);
    placeBesidePreview();
    dlgFont->Execute(); // only Apply changes the styles
}

void TfrmFont::placeBesidePreview()
{
    // Beside the preview it updates, not over it: of the places right, left,
    // below and above the preview (kept on the screen), the one that covers
    // the least of it.
    dlgFont->adjustSize();
    const QSize size = dlgFont->frameGeometry().size().expandedTo(dlgFont->sizeHint());
    const QRect preview(RView1->mapToGlobal(QPoint(0, 0)), RView1->size());
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size * 2);
    constexpr int gap = 8;
    const QPoint candidates[] = {
        {preview.right() + 1 + gap, preview.top()},
        {preview.left() - gap - size.width(), preview.top()},
        {preview.left(), preview.bottom() + 1 + gap},
        {preview.left(), preview.top() - gap - size.height()},
    };
    QPoint best;
    qint64 bestCover = -1;
    for (QPoint p : candidates) {
        p.setX(std::clamp(p.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
        p.setY(std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
        const QRect covered = QRect(p, size).intersected(preview);
        const qint64 cover = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
        if (bestCover < 0 || cover < bestCover) {
            best = p;
            bestCover = cover;
        }
    }
    dlgFont->move(best);
}

void TfrmFont::dlgFontApply()
{
    const auto laidOut = qScopeGuard([this] { RView1->Format(); });
    m_reader.applyReadingFont(dlgFont->chosenFont(), dlgFont->chosenColor());
}

void TfrmFont::DoDefoult()
{
    const auto laidOut = qScopeGuard([this] { RView1->Format(); });
    m_reader.restoreDefaultSizes();
}
