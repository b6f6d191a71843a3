#pragma once

// The statistics and report screens' controls, found by object name as a
// user would see them: the screens keep them to themselves.

#include "movie/MovieControl.h"
#include "progress/LectureChart.h"
#include "progress/ReportScreen.h"
#include "progress/StatisticsScreen.h"
#include "richtext/RichView.h"

#include <QPushButton>

namespace parts {

template <typename T> T *findIn(const QObject *window, const char *name)
{
    T *part = window->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::findIn", name);
    return part;
}

namespace stat {
inline TRichView *RichView1() { return findIn<TRichView>(frmStat, "RichView1"); }
inline QPushButton *btnClose() { return findIn<QPushButton>(frmStat, "btnClose"); }
inline progress::LectureChart *Chart() { return findIn<progress::LectureChart>(frmStat, "LectureChart"); }
} // namespace stat

namespace report {
inline movie::MovieControl *Flash() { return findIn<movie::MovieControl>(frmOtcher, "Flash"); }
inline TRichView *RichView1() { return findIn<TRichView>(frmOtcher, "RichView1"); }
} // namespace report

} // namespace parts
