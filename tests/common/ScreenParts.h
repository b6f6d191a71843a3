#pragma once

// The font and about screens' controls, found by object name: the screens
// keep them to themselves.

#include "movie/MovieControl.h"
#include "richtext/RichView.h"
#include "screens/AboutScreen.h"
#include "screens/FontScreen.h"
#include "ui/FontDialog.h"

namespace parts {

namespace font {

template <typename T> T *find(const char *name)
{
    T *part = frmFont->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::font::find", name);
    return part;
}

inline movie::MovieControl *Flash() { return find<movie::MovieControl>("Flash"); }
inline TRichView *RView1() { return find<TRichView>("RView1"); }
inline ui::FontDialog *dlgFont() { return find<ui::FontDialog>("dlgFont"); }

} // namespace font

namespace about {

inline movie::MovieControl *FlashEbout()
{
    auto *part = frmAbout->findChild<movie::MovieControl *>(QStringLiteral("FlashEbout"));
    Q_ASSERT_X(part, "parts::about::FlashEbout", "FlashEbout");
    return part;
}

} // namespace about

} // namespace parts
