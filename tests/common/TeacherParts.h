#pragma once

// The teacher window's controls, found by object name: the window keeps them
// to itself, and the tests look at them as the teacher would see them.

#include "teacher/ClassChart.h"
#include "teacher/TeacherWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>

namespace teacherparts {

template <typename T> T *find(const teacher::TeacherWindow &window, const char *name)
{
    T *part = window.findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "teacherparts::find", name);
    return part;
}

inline QTableView *classTable(const teacher::TeacherWindow &w) { return find<QTableView>(w, "classTable"); }
inline QTableView *questionTable(const teacher::TeacherWindow &w) { return find<QTableView>(w, "questionTable"); }
inline QTableView *lectureGrid(const teacher::TeacherWindow &w) { return find<QTableView>(w, "lectureGrid"); }
inline teacher::ClassChart *classChart(const teacher::TeacherWindow &w) { return find<teacher::ClassChart>(w, "classChart"); }
inline QTextBrowser *learnerSheet(const teacher::TeacherWindow &w) { return find<QTextBrowser>(w, "learnerSheet"); }
inline QComboBox *groupBox(const teacher::TeacherWindow &w) { return find<QComboBox>(w, "groupBox"); }
inline QComboBox *topicBox(const teacher::TeacherWindow &w) { return find<QComboBox>(w, "topicBox"); }
inline QLabel *headerNote(const teacher::TeacherWindow &w) { return find<QLabel>(w, "headerNote"); }
inline QProgressBar *readProgress(const teacher::TeacherWindow &w) { return find<QProgressBar>(w, "readProgress"); }
inline QTabWidget *classTabs(const teacher::TeacherWindow &w) { return find<QTabWidget>(w, "classTabs"); }
inline QPushButton *reloadButton(const teacher::TeacherWindow &w) { return find<QPushButton>(w, "reloadButton"); }

} // namespace teacherparts
