#include "learners/Login.h"

#include "app/Dialogs.h"
#include "app/WindowSet.h"
#include "app/intro.h"
#include "learners/CodePage.h"
#include "learners/CourseData.h"
#include "movie/MovieControl.h"
#include "reader/MainForm.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QStyledItemDelegate>

namespace {
// Frames of the login movie the program sends it to.
constexpr int kFrameNoLearner = 41;
constexpr int kFrameSelectionLost = 2;

constexpr int kItemHeight = 16;

class FixedHeightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }
};
} // namespace

const QString TfrmLogin::kDeleteQuestion =
    QStringLiteral("Вы точно хотите удалить данного ученика ?");

TfrmLogin::TfrmLogin(QWidget *parent) : TModalScreen(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Тарвел"));
    setFixedSize(542, 373);
    move(278, 193);

    Flash = new MovieControl(this);
    Flash->setObjectName(QStringLiteral("Flash"));
    Flash->setGeometry(0, 0, 542, 373);
    connect(Flash, &MovieControl::fsCommand, this, &TfrmLogin::FlashFSCommand);

    LBNames = new QComboBox(this);
    LBNames->setObjectName(QStringLiteral("LBNames"));
    LBNames->setAccessibleName(QStringLiteral("Ученик"));
    LBNames->setEditable(false);
    LBNames->setGeometry(48, 88, 161, 24);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(15);
    LBNames->setFont(font);
    LBNames->setItemDelegate(new FixedHeightDelegate(LBNames));
    // activated, not currentIndexChanged: a selection the program makes
    // after a refill is no pick of the learner's.
    connect(LBNames, &QComboBox::activated, this, [this] {
        dialogs::guarded(this, [this] { LBNamesChange(); });
    });
    LBNames->raise();
}

void TfrmLogin::FormActivate()
{
    Flash->setMovie(MovieControl::moviePath(QStringLiteral("login")));
    FillLearnerList();
    LBNames->show();
    if (LBNames->count() > 0)
        LBNames->setCurrentIndex(RememberedUser < LBNames->count() ? RememberedUser : -1);
    frmMain->CurrentUser = RememberedUser;
    frmMain->PushHistory(hkHome, false, 0);
}

bool TfrmLogin::FillLearnerList()
{
    LBNames->clear();
    m_loadFailure.clear();
    try {
        CourseData &xml = frmMain->XML();
        xml.LoadCourseData();
        const pugi::xml_node list = xml.learnerList();
        for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling())
            LBNames->addItem(CourseData::value(CourseData::child(n, "name")));
    } catch (const std::exception &e) {
        // A list that cannot be read closes the screen; the entries added so
        // far stay.
        m_loadFailure = QString::fromUtf8(e.what());
        LBNames->setCurrentIndex(-1);
        closeScreen();
        return false;
    }
    // The combo box picks its first entry by itself; the list starts with none.
    LBNames->setCurrentIndex(-1);
    return true;
}

void TfrmLogin::FlashFSCommand(const QString &command, const QString &)
{
    if (command == QLatin1String("AddNewUser")) {
        AddNewUser();
    } else if (command == QLatin1String("ChangeUser")) {
        ChangeUser();
    } else if (command == QLatin1String("DeleteUser")) {
        DeleteUser();
    } else if (command == QLatin1String("OkPress")) {
        OkPress();
        LBNames->show();
    } else if (command == QLatin1String("CancelPress")) {
        LBNames->show();
    } else if (command == QLatin1String("close")) {
        frmMain->closeMainWindow();
        closeScreen();
    } else if (command == QLatin1String("Enter")) {
        Enter();
    }
}

void TfrmLogin::AddNewUser()
{
    EditMode = false;
    Flash->SetVariable(QStringLiteral("eName"), QString());
    Flash->SetVariable(QStringLiteral("eSourname"), QString());
    Flash->SetVariable(QStringLiteral("eGroup"), QString());
    Flash->SetVariable(QStringLiteral("eMail"), QString());
    Flash->SetVariable(QStringLiteral("radioGroup.m"), QStringLiteral("true"));
    LBNames->hide();
}

void TfrmLogin::ChangeUser()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    EditMode = true;
    QString fields[4];
    static const char *const names[4] = {"name", "sourname", "group", "mail"};
    try {
        const pugi::xml_node record = frmMain->XML().learner(position);
        for (int i = 0; i < 4; ++i)
            fields[i] = CourseData::value(CourseData::child(record, names[i]));
    } catch (const std::exception &) {
        closeScreen();
        return;
    }
    // The program keeps its texts in the 8-bit code page.
    Flash->SetVariable(QStringLiteral("eName"), learners::throughCp1251(fields[0]));
    Flash->SetVariable(QStringLiteral("eSourname"), learners::throughCp1251(fields[1]));
    Flash->SetVariable(QStringLiteral("eGroup"), learners::throughCp1251(fields[2]));
    Flash->SetVariable(QStringLiteral("eMail"), learners::throughCp1251(fields[3]));
    LBNames->hide();
}

void TfrmLogin::DeleteUser()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    if (!dialogs::question(this, kDeleteQuestion))
        return;
    try {
        frmMain->XML().deleteLearner(position);
    } catch (const CourseDataError &e) {
        ReportFailedChange(e.message());
        return;
    }
    FillLearnerList();
}

void TfrmLogin::OkPress()
{
    const QString name = learners::throughCp1251(Flash->GetVariable(QStringLiteral("eName")));
    const QString sourname = Flash->GetVariable(QStringLiteral("eSourname"));
    const QString group = Flash->GetVariable(QStringLiteral("eGroup"));
    const QString mail = Flash->GetVariable(QStringLiteral("eMail"));
    LBNames->show();
    try {
        CourseData &xml = frmMain->XML();
        if (EditMode)
            xml.changeLearner(LBNames->currentIndex(), name, sourname, group, mail);
        else
            xml.registerLearner(name, sourname, group, mail);
    } catch (const CourseDataError &e) {
        ReportFailedChange(e.message());
        return;
    }
    if (FillLearnerList() && LBNames->count() > 0)
        LBNames->setCurrentIndex(LBNames->count() - 1);
}

void TfrmLogin::ReportFailedChange(const QString &message)
{
    // The document took the change back, so the list shows what is on disk;
    // the learner's pick stays, since the learners did not move.
    const int selected = LBNames->currentIndex();
    dialogs::message(this, message);
    if (FillLearnerList() && selected < LBNames->count())
        LBNames->setCurrentIndex(selected);
}

void TfrmLogin::Enter()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    frmMain->CurrentUser = position;
    frmIntro->showModal();
    frmIntro->Flash->GotoFrame(1);
    frmIntro->Flash->Play();
    closeScreen();
}

void TfrmLogin::LBNamesChange()
{
    const int position = LBNames->currentIndex();
    if (position < 0)
        Flash->GotoFrame(kFrameSelectionLost);
    else
        frmMain->CurrentUser = position;
}

void TfrmLogin::ReturnStep()
{
    RememberedUser = frmMain->CurrentUser;
}
