#include "reader/ReadingPreferences.h"

#include "reader/ReaderState.h"
#include "richtext/RVStyle.h"

#include <algorithm>

namespace reader {

ReadingPreferences::Choice ReadingPreferences::fromStored(const Stored &stored)
{
    Choice choice;
    // A hand-edited record may hold any zoom; the reader's own steps never
    // leave these limits.
    choice.zoom =
        std::clamp(stored.zoom, ReaderState::kMinNormalSize - ReaderState::kDefaultNormalSize,
                   ReaderState::kMaxNormalSize - ReaderState::kDefaultNormalSize);
    choice.narrowColumn = stored.narrowColumn;
    if (!stored.fontFamily.isEmpty()) {
        QFont font(stored.fontFamily);
        // A size from another store or a hand-edited record is held to what
        // the reader can show: no smaller than its smallest zoom, no larger
        // than the course data file keeps.
        font.setPointSize(stored.fontSize > 0
                              ? std::clamp(stored.fontSize, ReaderState::kMinNormalSize, kMaxStoredFontSize)
                              : ReaderState::kDefaultNormalSize + choice.zoom);
        font.setBold(stored.bold);
        font.setItalic(stored.italic);
        choice.font = font;
        const QColor color(stored.fontColor);
        choice.color = color.isValid() ? color : QColor(Qt::black);
    }
    return choice;
}

ReadingPreferences::Stored ReadingPreferences::toStored(const ReaderState &state)
{
    Stored stored;
    if (state.fontChosen()) {
        const richtext::RVTextStyle &normal = state.readingStyle().TextStyles(rvs::tsNormal);
        stored.fontFamily = normal.fontName;
        stored.fontSize = normal.size;
        stored.fontColor = normal.color.name();
        stored.bold = normal.bold;
        stored.italic = normal.italic;
    }
    stored.zoom = state.zoom();
    stored.narrowColumn = state.narrowColumn();
    return stored;
}

void ReadingPreferences::apply(const Stored &stored, ReaderState &state)
{
    const Choice choice = fromStored(stored);
    if (!choice.font && state.fontChosen())
        state.resetReadingFont();
    state.setZoom(choice.zoom);
    if (choice.font)
        state.setReadingFont(*choice.font, choice.color);
    state.setNarrowColumn(choice.narrowColumn);
}

} // namespace reader
