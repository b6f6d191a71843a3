#include "screens/SignInScreen.h"

#include "core/Cp1251.h"
#include "learners/LearnerStore.h"
#include "movie/MovieControl.h"
#include "reader/ReaderState.h"
#include "ui/Dialogs.h"
#include "ui/Navigator.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QHash>
#include <QComboBox>
#include <QKeyEvent>
#include <QQuickItem>
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

namespace {
// What goes with the record, said before the learner answers.
const QString kDeleteConsequence =
    QStringLiteral("\n\nВместе с учеником будут удалены его результаты тестов и закладки.");
} // namespace

TfrmLogin *frmLogin = nullptr;

TfrmLogin::TfrmLogin(reader::ReaderState &state, ui::Navigator &navigator, QWidget *parent)
    : movie::MovieScreen(
          {QStringLiteral("frmLogin"), QStringLiteral("Тарвел"), QSize(542, 373), QPoint(278, 193)},
          parent),
      m_state(state), m_navigator(navigator)
{
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
        ui::guarded(this, [this] { LBNamesChange(); });
    });
    LBNames->raise();
    // Enter on the picked learner signs in, as "Войти" does.
    LBNames->installEventFilter(this);
}

bool TfrmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LBNames && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !LBNames->view()->isVisible()) {
            ui::guarded(this, [this] { Enter(); });
            return true;
        }
    }
    return ui::ModalScreen::eventFilter(watched, event);
}

void TfrmLogin::FormActivate()
{
    Flash->setMovie(movie::MovieControl::moviePath(QStringLiteral("login")));
    FillLearnerList();
    LBNames->show();
    // The first opening selects the first learner; a later one the learner
    // signed in before, or none when that learner is gone.
    const int row = RememberedUser.isValid() ? rowOf(RememberedUser) : 0;
    if (LBNames->count() > 0)
        LBNames->setCurrentIndex(row < LBNames->count() ? row : -1);
    m_state.setCurrentUser(RememberedUser.isValid() ? RememberedUser : learnerAt(row));
    m_state.pushHistory(HistoryCommand(hkHome, false, 0));
}

namespace {
// The surname and group of a list entry, for telling namesakes apart.
constexpr int kDetailRole = Qt::UserRole + 1;
} // namespace

bool TfrmLogin::FillLearnerList()
{
    LBNames->clear();
    m_loadFailure.clear();
    try {
        learners::LearnerStore &store = m_state.learnerStore();
        store.open();
        QHash<QString, int> named;
        store.readLearners([&](const learners::LearnerEntry &entry) {
            LBNames->addItem(entry.name, QVariant::fromValue(entry.id));
            QStringList more;
            for (const QString &part : {entry.sourname.trimmed(), entry.group.trimmed()}) {
                if (!part.isEmpty())
                    more << part;
            }
            LBNames->setItemData(LBNames->count() - 1, more.join(QStringLiteral(", ")), kDetailRole);
            ++named[entry.name];
        });
        // Namesakes are told apart by surname and group where the store
        // lists them (the class database); dect.chh lists first names only.
        for (int row = 0; row < LBNames->count(); ++row) {
            const QString detail = LBNames->itemData(row, kDetailRole).toString();
            if (named.value(LBNames->itemText(row)) > 1 && !detail.isEmpty())
                LBNames->setItemText(row, LBNames->itemText(row) + QStringLiteral(" (") + detail + u')');
        }
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

learners::LearnerId TfrmLogin::learnerAt(int row) const
{
    if (row < 0 || row >= LBNames->count())
        return {};
    return LBNames->itemData(row).value<learners::LearnerId>();
}

int TfrmLogin::rowOf(learners::LearnerId learner) const
{
    return learner.isValid() ? LBNames->findData(QVariant::fromValue(learner)) : -1;
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
        focusListAfterForm();
    } else if (command == QLatin1String("CancelPress")) {
        LBNames->show();
        focusListAfterForm();
    } else if (command == QLatin1String("close")) {
        m_navigator.closeMainWindow();
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
    focusNameField();
}

void TfrmLogin::focusNameField()
{
    // The form opens with the caret in "Имя", however the button was
    // pressed (keys, mouse or assistive technology): the keys must reach
    // the movie, and inside it the field.
    Flash->setFocus(Qt::OtherFocusReason);
    if (auto *field = qobject_cast<QQuickItem *>(Flash->findControl(QStringLiteral("eName"))))
        field->forceActiveFocus(Qt::OtherFocusReason);
}

void TfrmLogin::focusListAfterForm()
{
    // The closed form took the focus with it: the learner goes on from the
    // list, where the learner just saved is shown (and a screen reader says so).
    if (Flash->GetVariable(QStringLiteral("formShown")) != QLatin1String("true") && LBNames->isVisible())
        LBNames->setFocus(Qt::OtherFocusReason);
}

void TfrmLogin::ChangeUser()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    learners::LearnerFields fields;
    try {
        fields = m_state.learnerStore().learnerFormFields(learnerAt(position));
    } catch (const std::exception &e) {
        // Closing here would leave the learner before an empty reader; say
        // why and stay, so another learner can still be chosen.
        ui::message(this, QString::fromUtf8(e.what()));
        return;
    }
    EditMode = true;
    // The form shows what is stored: a text squeezed through the 8-bit code
    // page here would be written back damaged by an unchanged save.
    m_editedName = fields.name;
    Flash->SetVariable(QStringLiteral("eName"), fields.name);
    Flash->SetVariable(QStringLiteral("eSourname"), fields.sourname);
    Flash->SetVariable(QStringLiteral("eGroup"), fields.group);
    Flash->SetVariable(QStringLiteral("eMail"), fields.mail);
    LBNames->hide();
    focusNameField();
}

void TfrmLogin::DeleteUser()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    if (!ui::question(this, kDeleteQuestion + kDeleteConsequence))
        return;
    try {
        m_state.learnerStore().deleteLearner(learnerAt(position));
    } catch (const learners::StoreError &e) {
        ReportFailedChange(e.message());
        return;
    }
    FillLearnerList();
}

void TfrmLogin::OkPress()
{
    // A new first name keeps only what the 8-bit code page holds; the stored
    // one, left as it was, stays exactly as it is.
    QString name = Flash->GetVariable(QStringLiteral("eName"));
    if (!EditMode || name != m_editedName)
        name = cp1251::roundTrip(name);
    const QString sourname = Flash->GetVariable(QStringLiteral("eSourname"));
    const QString group = Flash->GetVariable(QStringLiteral("eGroup"));
    const QString mail = Flash->GetVariable(QStringLiteral("eMail"));
    LBNames->show();
    learners::LearnerId stored = learnerAt(LBNames->currentIndex());
    try {
        learners::LearnerStore &store = m_state.learnerStore();
        const learners::LearnerFields form{name, sourname, group, mail, QString()};
        if (EditMode)
            store.changeLearner(stored, form);
        else
            stored = store.registerLearner(form);
    } catch (const learners::StoreError &e) {
        ReportFailedChange(e.message());
        return;
    }
    if (!FillLearnerList() || LBNames->count() == 0)
        return;
    // A new learner is the last entry; a changed one keeps its place, so
    // "Войти" signs in the learner just stored and nobody else.
    const int row = rowOf(stored);
    LBNames->setCurrentIndex(row >= 0 ? row : LBNames->count() - 1);
}

void TfrmLogin::ReportFailedChange(const QString &message)
{
    // The store took the change back, so the list shows what is kept; the
    // learner's pick stays.
    const learners::LearnerId selected = learnerAt(LBNames->currentIndex());
    ui::message(this, message);
    if (FillLearnerList())
        LBNames->setCurrentIndex(rowOf(selected));
}

void TfrmLogin::Enter()
{
    const int position = LBNames->currentIndex();
    if (position < 0) {
        Flash->GotoFrame(kFrameNoLearner);
        return;
    }
    const learners::LearnerId learner = learnerAt(position);
    try {
        m_state.learnerStore().claimLearner(learner);
    } catch (const learners::StoreError &e) {
        // Gone meanwhile: say so and stay. At work at another seat (a
        // computer lab): the learner may move here, once asked.
        if (e.kind() != learners::StoreError::Kind::InUse) {
            ui::message(this, e.message());
            return;
        }
        if (!ui::question(this, e.message() + QStringLiteral("\n\nПродолжить работу на этом "
                                                                  "компьютере? На том компьютере "
                                                                  "работа ученика прервётся.")))
            return;
        try {
            m_state.learnerStore().claimLearner(learner, true);
        } catch (const learners::StoreError &again) {
            ui::message(this, again.message());
            return;
        }
    }
    m_state.setCurrentUser(learner);
    m_navigator.showHome(true);
    closeScreen();
}

void TfrmLogin::LBNamesChange()
{
    const int position = LBNames->currentIndex();
    if (position < 0)
        Flash->GotoFrame(kFrameSelectionLost);
    else
        m_state.setCurrentUser(learnerAt(position));
}

void TfrmLogin::closeEvent(QCloseEvent *event)
{
    // The window manager's close (title bar, Alt+F4) is the movie's "close":
    // a screen merely hidden would leave the learner before an empty reader.
    if (ui::ModalScreen::programEnding()) {
        ui::ModalScreen::closeEvent(event);
        return;
    }
    event->ignore();
    FlashFSCommand(QStringLiteral("close"), QString());
}

void TfrmLogin::playFromStart()
{
    Flash->GotoFrame(1);
    Flash->Play();
}

void TfrmLogin::ReturnStep()
{
    RememberedUser = m_state.CurrentUser();
}
