#pragma once

// The reader window's controls, found by object name: the window keeps them
// to itself, and the tests look at them as a user would see them.

#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace parts {

template <typename T> T *find(const char *name)
{
    T *part = frmMain->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::find", name);
    return part;
}

inline TRichView *RichView1() { return find<TRichView>("RichView1"); }
inline TRichView *RichView2() { return find<TRichView>("RichView2"); }
inline QFrame *pnlMenu() { return find<QFrame>("pnlMenu"); }
inline QFrame *pnlPlayer() { return find<QFrame>("pnlPlayer"); }
inline QFrame *pnlButtons() { return find<QFrame>("pnlButtons"); }
inline QLabel *ImgBack() { return find<QLabel>("ImgBack"); }
inline movie::MovieControl *Player() { return find<movie::MovieControl>("Player"); }
inline movie::MovieControl *FlashButtons() { return find<movie::MovieControl>("FlashButtons"); }
inline QPushButton *btnPanelMenuNext() { return find<QPushButton>("btnPanelMenuNext"); }
inline QPushButton *btnPlayerOn() { return find<QPushButton>("btnPlayerOn"); }
inline QTimer *leftMenuTimer() { return find<QTimer>("leftMenuTimer"); }
inline QTimer *PlayerTimer() { return find<QTimer>("PlayerTimer"); }
// The search window's, once it has been opened.
inline QLineEdit *edQuery() { return find<QLineEdit>("edQuery"); }
inline QLabel *lblStatus() { return find<QLabel>("lblStatus"); }
inline QListWidget *lstHits() { return find<QListWidget>("lstHits"); }
inline TRVStyle *RVStyle1() { return &frmMain->state().readingStyle(); }
inline TRVStyle *RVStyle2() { return &frmMain->state().menuStyle(); }

} // namespace parts
