#pragma once

#include <QColor>
#include <QString>

// The palette and type scale of the textbook's designed screens, for the
// teacher's widgets.

namespace teacher::theme {

inline QString fontFamily()
{
    return QStringLiteral("Liberation Sans");
}

inline QColor paper()
{
    return QColor(0xF6, 0xF3, 0xEC);
}
inline QColor surface()
{
    return QColor(0xFF, 0xFF, 0xFF);
}
inline QColor line()
{
    return QColor(0xDD, 0xD6, 0xC8);
}
inline QColor lineStrong()
{
    return QColor(0xC3, 0xCC, 0xD8);
}
inline QColor primary()
{
    return QColor(0x1F, 0x3B, 0x63);
}
inline QColor primarySoft()
{
    return QColor(0xE7, 0xED, 0xF6);
}
inline QColor accent()
{
    return QColor(0xC2, 0x62, 0x1A);
}
inline QColor ink()
{
    return QColor(0x1E, 0x27, 0x33);
}
inline QColor muted()
{
    return QColor(0x5B, 0x64, 0x72);
}
inline QColor danger()
{
    return QColor(0xA8, 0x32, 0x2A);
}
inline QColor dangerSoft()
{
    return QColor(0xFB, 0xE9, 0xE7);
}

constexpr int kTitle = 22;
constexpr int kHeading = 17;
constexpr int kBody = 14;
constexpr int kSmall = 12;
constexpr int kTiny = 11;

// The style sheet of the teacher's window.
QString styleSheet();

} // namespace teacher::theme
