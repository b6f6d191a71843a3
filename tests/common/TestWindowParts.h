#pragma once

// The test run window's controls, found by object name as a user would see
// them: the window keeps them to itself.

#include "richtext/RichView.h"
#include "testing/TestWindow.h"

#include <QCheckBox>
#include <QPushButton>

namespace parts::test {

template <typename T> T *find(const char *name)
{
    T *part = frmTest->findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(part, "parts::test::find", name);
    return part;
}

inline TRichView *RichView1() { return find<TRichView>("RichView1"); }
inline QCheckBox *CheckBox1() { return find<QCheckBox>("CheckBox1"); }
inline QCheckBox *CheckBox2() { return find<QCheckBox>("CheckBox2"); }
inline QCheckBox *CheckBox3() { return find<QCheckBox>("CheckBox3"); }
inline QCheckBox *CheckBox4() { return find<QCheckBox>("CheckBox4"); }
inline QCheckBox *CheckBox5() { return find<QCheckBox>("CheckBox5"); }
inline QPushButton *Button1() { return find<QPushButton>("Button1"); }

} // namespace parts::test
