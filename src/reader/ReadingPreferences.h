#pragma once

#include "learners/LearnerStore.h"

#include <QColor>
#include <QFont>
#include <optional>

namespace reader {

class ReaderState;

// The reading choices kept under a learner (font, zoom, column) turned into
// the reader's state and back.
class ReadingPreferences
{
public:
    using Stored = learners::Preferences;
    // The largest font size a kept record is taken at.
    static constexpr int kMaxStoredFontSize = 72;

    struct Choice
    {
        int zoom = 0;              // held so that the normal text stays within the zoom limits
        std::optional<QFont> font; // none: the reader sheet's own face
        QColor color = Qt::black;
        bool narrowColumn = false;
    };

    // What a kept record asks of the reader. A font without a size of its
    // own takes the normal text's size at that zoom; a colour that is not
    // one is black.
    static Choice fromStored(const Stored &stored);
    // What to keep for the reader's state: the font only when the learner
    // chose one.
    static Stored toStored(const ReaderState &state);
    // Puts a learner's kept choices into the state. A font another learner
    // chose before is not carried over to one who chose none.
    static void apply(const Stored &stored, ReaderState &state);
};

} // namespace reader
