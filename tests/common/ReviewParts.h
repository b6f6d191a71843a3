#pragma once

// The review window's controls, found by object name: the window keeps them
// to itself.

#include "testing/ReviewWindow.h"

#include <QLabel>
#include <QPushButton>

namespace parts::review {

template <typename T> T *find(const char *name)
{
    T *part = frmReview->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::review::find", name);
    return part;
}

inline QLabel *lblScore() { return find<QLabel>("lblScore"); }
inline QLabel *subtitle() { return find<QLabel>("subtitle"); }
inline QPushButton *btnRetry() { return find<QPushButton>("btnRetry"); }
inline QPushButton *btnClose() { return find<QPushButton>("btnClose"); }

} // namespace parts::review
