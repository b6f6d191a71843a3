#include "richtext/RVStyle.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>
#include <algorithm>

QString rvResolveFontFamily(const QString &fontName)
{
    static QHash<QString, QString> cache;
    const auto hit = cache.constFind(fontName);
    if (hit != cache.constEnd())
        return hit.value();

    // Stand-ins in order of preference; the first installed one wins.
    static const QHash<QString, QStringList> standIns = {
        {QStringLiteral("arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")}},
        {QStringLiteral("times new roman"), {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos")}},
        {QStringLiteral("courier new"), {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine")}},
        // Text in our documents is Unicode, so a face with wide Greek and
        // mathematical coverage serves where the Symbol face is missing.
        {QStringLiteral("symbol"),
         {QStringLiteral("Standard Symbols PS"), QStringLiteral("DejaVu Serif"), QStringLiteral("Liberation Serif")}},
        {QStringLiteral("arial unicode ms"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
    };

    QString resolved = fontName;
    if (!QFontDatabase::hasFamily(fontName)) {
        const QStringList candidates = standIns.value(fontName.toLower());
        for (const QString &c : candidates) {
            if (QFontDatabase::hasFamily(c)) {
                resolved = c;
                break;
            }
        }
    }
    cache.insert(fontName, resolved);
    return resolved;
}

QFont RVTextStyle::font() const
{
    QFont f;
    f.setFamilies({rvResolveFontFamily(fontName)});
    f.setPointSize(std::max(1, size));
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setOverline(overline);
    f.setStrikeOut(strikeOut);
    return f;
}

void RVTextStyle::assignFont(const QFont &f, const QColor &c)
{
    fontName = f.family();
    if (f.pointSize() > 0)
        size = f.pointSize();
    else if (f.pointSizeF() > 0)
        size = qRound(f.pointSizeF());
    else if (f.pixelSize() > 0)
        size = qRound(f.pixelSize() * 72.0 / 96.0);
    color = c;
    bold = f.bold();
    italic = f.italic();
    underline = f.underline();
    strikeOut = f.strikeOut();
    // Qt fonts carry no character set; every text here is Unicode.
    charset = 1;
}

namespace {

RVTextStyle textStyle(const char *name, const char *face, int size, const QColor &color, bool jump = false)
{
    RVTextStyle s;
    s.name = QString::fromUtf8(name);
    s.fontName = QString::fromUtf8(face);
    s.size = size;
    s.color = color;
    s.jump = jump;
    return s;
}

RVParaStyle paraStyle(const char *name, int first, int left, int right, int before, int after, Qt::Alignment align)
{
    RVParaStyle p;
    p.name = QString::fromUtf8(name);
    p.firstIndent = first;
    p.leftIndent = left;
    p.rightIndent = right;
    p.spaceBefore = before;
    p.spaceAfter = after;
    p.alignment = align;
    return p;
}

// The colours the sheets take from the system, once, when a sheet is made.
struct SystemColors
{
    SystemColors()
    {
        const QPalette pal = QGuiApplication::palette();
        // The system "window" colours are those of a text area: Qt's Base
        // and Text roles, not the grey of dialog backgrounds.
        windowText = pal.color(QPalette::Active, QPalette::Text);
        window = pal.color(QPalette::Active, QPalette::Base);
        // No palette role names the caption colours; the selection pair is
        // the nearest themed pair with the same contrast.
        captionText = pal.color(QPalette::Active, QPalette::HighlightedText);
        activeCaption = pal.color(QPalette::Active, QPalette::Highlight);
        buttonFace = pal.color(QPalette::Active, QPalette::Button);
        selection = pal.color(QPalette::Active, QPalette::Highlight);
        selectionText = pal.color(QPalette::Active, QPalette::HighlightedText);
        desktop = rvDesktopBackgroundColor();
    }
    QColor windowText, window, captionText, activeCaption, buttonFace, selection, selectionText, desktop;
};

void plainStyles(const SystemColors &c, QVector<RVTextStyle> &text, QVector<RVParaStyle> &para)
{
    text << textStyle("Normal text", "Arial", 10, c.windowText);
    text << textStyle("Heading", "Arial", 10, QColor(0x00, 0x00, 0xFF));
    text.last().bold = true;
    text << textStyle("Subheading", "Arial", 10, QColor(0x00, 0x00, 0x80));
    text.last().bold = true;
    text << textStyle("Keywords", "Arial", 10, QColor(0x80, 0x00, 0x00));
    text.last().italic = true;
    text << textStyle("Jump 1", "Arial", 10, QColor(0x00, 0x80, 0x00), true);
    text.last().underline = true;
    text << textStyle("Jump 2", "Arial", 10, QColor(0x00, 0x80, 0x00), true);
    text.last().underline = true;

    para << paraStyle("Paragraph Style", 0, 0, 0, 0, 0, Qt::AlignLeft);
    para << paraStyle("Centered", 0, 0, 0, 0, 0, Qt::AlignHCenter);
}

// The reader and menu sheets share their styles.
QVector<RVTextStyle> readerTextStyles(const SystemColors &c)
{
    const QColor &windowText = c.windowText;
    const QColor &desktop = c.desktop;
    QVector<RVTextStyle> text;
    text << textStyle("Normal text", "Arial", 10, windowText);                      // 0
    text << textStyle("Heading", "Arial", 20, QColor(0x00, 0x00, 0xFF));            // 1
    text.last().bold = true;
    text << textStyle("Subheading", "Arial", 14, QColor(0x00, 0x00, 0x80));         // 2
    text.last().bold = true;
    text << textStyle("Courier", "Courier New", 10, QColor(0x80, 0x00, 0x00));      // 3
    text.last().italic = true;
    text << textStyle("Jump Arial", "Arial", 8, desktop, true);                     // 4
    text << textStyle("Colored Jump Times", "Times New Roman", 12, QColor(0xFF, 0xFF, 0xFF), true); // 5
    text.last().underline = true;
    text.last().backColor = desktop;
    text.last().hoverColor = QColor(0xFF, 0xFF, 0xCE);
    text.last().hoverBackColor = QColor(0x00, 0x00, 0xFF);
    text << textStyle("Symbols", "Symbol", 10, QColor(0x80, 0x40, 0x00));          // 6
    text.last().bold = true;
    text << textStyle("Subscript", "Arial", 9, windowText);                         // 7
    text.last().vShiftPercent = -50;
    text << textStyle("Superscript", "Arial", 9, windowText);                       // 8
    text.last().vShiftPercent = 50;
    text << textStyle("Vector", "Arial", 12, windowText);                           // 9
    text.last().bold = true;
    text.last().overline = true;
    text << textStyle("Window Caption", "Arial", 10, c.captionText);                // 10
    text.last().bold = true;
    text.last().italic = true;
    text << textStyle("Unicode", "Arial Unicode MS", 10, windowText);               // 11
    text.last().unicode = true;
    text << textStyle("menu", "Arial", 10, desktop, true);                          // 12
    return text;
}

QVector<RVParaStyle> readerParaStyles(const SystemColors &c)
{
    const QColor &windowText = c.windowText;
    QVector<RVParaStyle> para;
    para << paraStyle("Left", 30, 0, 0, 0, 0, Qt::AlignLeft);                       // 0
    para << paraStyle("Left Indent", 0, 10, 0, 0, 0, Qt::AlignLeft);                // 1
    para << paraStyle("Centered", 0, 50, 50, 0, 0, Qt::AlignHCenter);               // 2
    para << paraStyle("Right", 0, 0, 0, 0, 0, Qt::AlignRight);                      // 3
    para << paraStyle("Justify", 30, 0, 0, 0, 0, Qt::AlignJustify);                 // 4

    RVParaStyle framed = paraStyle("Framed", 0, 20, 20, 5, 5, Qt::AlignHCenter);      // 5
    framed.border = RVBorderStyle::Single;
    framed.borderColor = windowText;
    framed.borderWidth = 1;
    framed.borderOffsets = QMargins(2, 2, 2, 2); // keeps the line off the glyphs
    para << framed;

    RVParaStyle caption = paraStyle("Window Caption", 0, 10, 10, 10, 10, Qt::AlignHCenter); // 6
    caption.border = RVBorderStyle::ThickOutside;
    caption.borderColor = windowText;
    caption.borderWidth = 2;
    caption.borderSides = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge;
    caption.backColor = c.activeCaption;
    caption.backOffsets = QMargins(2, 2, 2, 8);
    caption.borderOffsets = caption.backOffsets;
    para << caption;

    RVParaStyle workspace = paraStyle("Window Workspace", 0, 10, 10, 10, 10, Qt::AlignHCenter); // 7
    workspace.border = RVBorderStyle::ThickOutside;
    workspace.borderColor = windowText;
    workspace.borderWidth = 2;
    workspace.borderSides = Qt::LeftEdge | Qt::BottomEdge | Qt::RightEdge;
    workspace.backColor = c.buttonFace;
    workspace.backOffsets = QMargins(2, 8, 2, 2);
    workspace.borderOffsets = workspace.backOffsets;
    para << workspace;
    return para;
}

} // namespace

TRVStyle::TRVStyle(Sheet sheet, QObject *parent)
    : QObject(parent), m_sheet(sheet)
{
    const SystemColors colors;
    Color = colors.window;
    SelColor = colors.selection;
    SelTextColor = colors.selectionText;

    if (sheet == Sheet::Plain) {
        SpacesInTab = 0;
        HoverColor = QColor();
        DefUnicodeStyle = -1;
        plainStyles(colors, m_text, m_para);
        return;
    }
    SpacesInTab = 4;
    HoverColor = QColor(0x00, 0x00, 0x80);
    DefUnicodeStyle = 11;
    m_text = readerTextStyles(colors);
    m_para = readerParaStyles(colors);
}

RVTextStyle &TRVStyle::TextStyles(int i)
{
    if (hasTextStyle(i))
        return m_text[i];
    m_spareText = RVTextStyle();
    return m_spareText;
}

const RVTextStyle &TRVStyle::TextStyles(int i) const
{
    if (hasTextStyle(i))
        return m_text[i];
    m_spareText = RVTextStyle();
    return m_spareText;
}

RVParaStyle &TRVStyle::ParaStyles(int i)
{
    if (hasParaStyle(i))
        return m_para[i];
    m_sparePara = RVParaStyle();
    return m_sparePara;
}

const RVParaStyle &TRVStyle::ParaStyles(int i) const
{
    if (hasParaStyle(i))
        return m_para[i];
    m_sparePara = RVParaStyle();
    return m_sparePara;
}
