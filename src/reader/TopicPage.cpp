// The test topic page of the reader window and the start of a test from it.

#include "learners/CourseData.h"
#include "reader/ReaderWindow.h"
#include "richtext/RVStyle.h"
#include "richtext/RichView.h"
#include "ui/Navigator.h"

void TfrmMain::ShowTestTopics()
{
    using namespace rvs;
    HideMenuPanel();
    m_onPage = false;
    m_contentsLinks.clear();
    RichView1->Clear();
    RichView1->AddNL(QStringLiteral("По какой теме вы желаете выполнить тест?"), tsSubheading,
                     psCentered);
    RichView1->AddNL(QString(), tsSubheading, psCentered);
    RichView1->AddNLTag(QStringLiteral("ОБЩИЙ"), tsMenu, psLeftIndent, 0);
    // Position 0 is the course's own page, not a lecture to test.
    int i = 0;
    XML().readLectures([&](const learners::CourseData::Lecture &lecture) {
        const int position = i++;
        if (position == 0)
            return;
        if (!lecture.hasId)
            throw learners::CourseDataError(
                QStringLiteral("В описании курса у лекции %1 нет атрибута id.").arg(position));
        RichView1->AddNL(QString(), tsSubheading, psCentered);
        RichView1->AddNLTag(lecture.id + QStringLiteral(".  ") + lecture.description,
                            tsJumpArial, psLeftIndent, position);
    }, false);
    RichView1->Reformat();
    RichView1->viewport()->update();
    m_state.setTopicMode(true);
    // The choice starts on its first topic: Enter starts that test, Tab
    // goes to the next.
    RichView1->setFocus(Qt::OtherFocusReason);
    RichView1->setFocusedLink(0);
}

void TfrmMain::StartTopicTest(int id)
{
    // The topic is the link's number, not the lecture's label.
    m_navigator.runTest(QString::number(id));
}
