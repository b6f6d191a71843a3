// The test topic page of the reader window and the start of a test from it.

#include "app/WindowSet.h"
#include "learners/CourseData.h"
#include "reader/MainForm.h"
#include "richtext/RichView.h"
#include "testing/tests.h"

#include <stdexcept>

void TfrmMain::ShowTestTopics()
{
    HideMenuPanel();
    const pugi::xml_node lectures = XML().lectureList();
    RichView1->Clear();
    RichView1->AddNL(QStringLiteral("По какой теме вы желаете выполнить тест?"), 2, 2);
    RichView1->AddNL(QString(), 2, 2);
    RichView1->AddNLTag(QStringLiteral("ОБЩИЙ"), 12, 1, 0);
    // Position 0 is the course's own page, not a lecture to test.
    const int count = CourseData::childCount(lectures);
    for (int i = 1; i < count; ++i) {
        const pugi::xml_node lecture = CourseData::childAt(lectures, i);
        const pugi::xml_attribute id = lecture.attribute("id");
        if (!id)
            throw CourseDataError(QStringLiteral("В описании курса у лекции %1 нет атрибута id.").arg(i));
        const QString description = CourseData::value(CourseData::child(lecture, "description"));
        RichView1->AddNL(QString(), 2, 2);
        RichView1->AddNLTag(QString::fromUtf8(id.value()) + QStringLiteral(".  ") + description, 4, 1, i);
    }
    RichView1->Reformat();
    RichView1->viewport()->update();
    TopicMode = true;
}

void TfrmMain::StartTopicTest(int id)
{
    // The topic is the link's number, not the lecture's label.
    frmTest->Topic = QString::number(id);
    frmTest->showModal();
}
