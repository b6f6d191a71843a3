#pragma once

// The home screen's movie, found by object name as a user would see it: the
// screen keeps it to itself.

#include "movie/MovieControl.h"
#include "screens/HomeScreen.h"

namespace parts::home {

inline movie::MovieControl *Flash()
{
    auto *part = frmIntro->findChild<movie::MovieControl *>(QLatin1String("Flash"));
    Q_ASSERT_X(part, "parts::home::Flash", "Flash");
    return part;
}

} // namespace parts::home
