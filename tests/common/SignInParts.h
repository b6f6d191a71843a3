#pragma once

// The sign-in screen's controls, found by object name as a user would see
// them: the screen keeps them to itself.

#include "movie/MovieControl.h"
#include "screens/SignInScreen.h"

#include <QComboBox>

namespace parts::login {

template <typename T> T *find(const char *name)
{
    T *part = frmLogin->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::login::find", name);
    return part;
}

inline movie::MovieControl *Flash() { return find<movie::MovieControl>("Flash"); }
inline QComboBox *LBNames() { return find<QComboBox>("LBNames"); }

} // namespace parts::login
