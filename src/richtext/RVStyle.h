#pragma once

// Style sheets of the rich-text views: numbered text styles, numbered
// paragraph styles and a few sheet settings. Sizes are in points; indents,
// spacing and offsets in pixels. Views read the sheet when they format, so a
// change to a shared sheet shows in each view at its next Format.

#include <QColor>
#include <QFont>
#include <QMargins>
#include <QObject>
#include <QString>
#include <QVector>

namespace richtext {

struct RVTextStyle
{
    QString name;
    QString fontName = QStringLiteral("Arial");
    int size = 10;
    bool bold = false, italic = false, underline = false, overline = false, strikeOut = false;
    QColor color = Qt::black;
    QColor backColor;      // invalid = none
    QColor hoverColor;     // invalid = the sheet's hover colour
    QColor hoverBackColor; // invalid = transparent
    bool jump = false;
    int vShiftPercent = 0; // +50 raised, -50 lowered, in % of the font height
    bool unicode = false;
    int charset = 1;       // kept for documents that carry it; text is Unicode throughout

    // The font to draw with: the face resolved to an installed family, the
    // size clamped to at least 1 pt (zoom may drive it to 0 or below).
    QFont font() const;
    // Sets face, size, colour, bold, italic, underline, strike-out and
    // charset; leaves the rest alone.
    void assignFont(const QFont &f, const QColor &color);
};

enum class RVBorderStyle { None, Single, ThickOutside };

struct RVParaStyle
{
    QString name;
    int firstIndent = 0, leftIndent = 0, rightIndent = 0, spaceBefore = 0, spaceAfter = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
    richtext::RVBorderStyle border = richtext::RVBorderStyle::None;
    QColor borderColor;
    int borderWidth = 1;
    Qt::Edges borderSides = Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge;
    QMargins borderOffsets; // how far the border lies outside the text
    QColor backColor;       // invalid = none
    QMargins backOffsets;   // how far the background reaches beyond the text
};

} // namespace richtext

// The installed family a sheet's face name is drawn with: the name itself
// where installed, else its metric-compatible stand-in (Arial -> Liberation
// Sans, Times New Roman -> Liberation Serif, Courier New -> Liberation Mono),
// else what fontconfig substitutes.
QString rvResolveFontFamily(const QString &fontName);

// "Desktop background" has no palette role; the classic desktop colour.
inline QColor rvDesktopBackgroundColor() { return QColor(0x3A, 0x6E, 0xA5); }

// The style numbers of the three sheets, by name. The reader and menu sheets
// share one numbering; the plain sheet (test, statistics, report views) has
// its own.
namespace rvs {
// Reader and menu sheets: text styles.
enum ReaderText : int {
    tsNormal = 0,
    tsHeading = 1,
    tsSubheading = 2,
    tsCourier = 3,
    tsJumpArial = 4,
    tsColoredJumpTimes = 5,
    tsSymbols = 6,
    tsSubscript = 7,
    tsSuperscript = 8,
    tsVector = 9,
    tsWindowCaption = 10,
    tsUnicode = 11,
    tsMenu = 12,
};
// Reader and menu sheets: paragraph styles.
enum ReaderPara : int {
    psLeft = 0,
    psLeftIndent = 1,
    psCentered = 2,
    psRight = 3,
    psJustify = 4,
    psFramed = 5,
    psWindowCaption = 6,
    psWindowWorkspace = 7,
};
// Plain sheet.
enum PlainText : int {
    tsPlainNormal = 0,
    tsPlainHeading = 1,
    tsPlainSubheading = 2,
    tsPlainKeywords = 3,
    tsPlainJump1 = 4,
    tsPlainJump2 = 5,
};
enum PlainPara : int {
    psPlainParagraph = 0,
    psPlainCentered = 1,
};
} // namespace rvs

class TRVStyle : public QObject
{
    Q_OBJECT
public:
    enum class Sheet { Reader, Menu, Plain };

    explicit TRVStyle(Sheet sheet, QObject *parent = nullptr);

    Sheet sheet() const { return m_sheet; }

    // An index outside the sheet yields a spare entry: writing to it changes
    // none of the sheet's styles, and views never draw with it.
    richtext::RVTextStyle &TextStyles(int i);
    const richtext::RVTextStyle &TextStyles(int i) const;
    int TextStyleCount() const { return int(m_text.size()); }
    bool hasTextStyle(int i) const { return i >= 0 && i < m_text.size(); }

    richtext::RVParaStyle &ParaStyles(int i);
    const richtext::RVParaStyle &ParaStyles(int i) const;
    int ParaStyleCount() const { return int(m_para.size()); }
    bool hasParaStyle(int i) const { return i >= 0 && i < m_para.size(); }

    int SpacesInTab = 0;
    QColor HoverColor;        // invalid = none
    int DefUnicodeStyle = -1; // -1 = none
    QColor Color;             // background
    QColor SelColor, SelTextColor;

private:
    Sheet m_sheet;
    QVector<richtext::RVTextStyle> m_text;
    QVector<richtext::RVParaStyle> m_para;
    mutable richtext::RVTextStyle m_spareText;
    mutable richtext::RVParaStyle m_sparePara;
};
