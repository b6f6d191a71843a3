#pragma once

// The program's windows on a temporary course, with the reader up and a
// learner signed in, as the learner sees it after the home screen. The
// windows are destroyed before the course folder goes.

#include "app/WindowSet.h"
#include "common/CourseFolder.h"
#include "common/ReaderParts.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/ReaderWindow.h"

#include <QFileInfo>

#include <memory>

namespace testsupport {

class ReaderFixture
{
public:
    ReaderFixture() = default;
    ReaderFixture(const ReaderFixture &) = delete;
    ReaderFixture &operator=(const ReaderFixture &) = delete;
    ~ReaderFixture()
    {
        if (m_open)
            destroyWindowSet();
    }

    // The course is a copy of the given folder; test data without pictures of
    // its own gets the shipped ones. The first learner on the list signs in.
    bool open(const QString &data = QStringLiteral(TARVEL_TEST_DATA "/reader"))
    {
        if (!course.copy(data))
            return false;
        if (!QFileInfo::exists(data + QStringLiteral("/pictures"))
            && !course.copy(QStringLiteral(TARVEL_COURSE_DIR "/pictures"), QStringLiteral("pictures")))
            return false;
        if (!course.enter())
            return false;
        course.catchMessages();
        createWindowSet();
        m_open = true;
        frmMain->XML().LoadCourseData();
        frmMain->state().setCurrentUser(frmMain->state().learnerStore().learners().value(0).id);
        frmMain->show();
        frmMain->FormActivate();
        frmMain->resize(1024, 700);
        parts::FlashButtons()->setMovie(movie::MovieControl::moviePath("buttons"));
        return true;
    }

    QStringList &messages() { return course.messages; }

    CourseFolder course;

private:
    bool m_open = false;
};

} // namespace testsupport
