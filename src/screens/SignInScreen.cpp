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

#include <algorithm>
#include <utility>

namespace {
// Frames of the login movie the program sends it to.
constexpr int kFrameNoLearner = 41;
constexpr int kFrameSelectionLost = 2;
constexpr int kFrameStart = 1;
// The learner form, for a new learner and for changing the picked one.
constexpr int kFrameNewForm = 10;
constexpr int kFrameChangeForm = 20;

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
const QString TfrmLogin::kEmptyFormNote =
    QStringLiteral("Форма пуста: впишите хотя бы имя ученика.");

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
    m_formOpen = false;
    FillLearnerList();
    LBNames->show();
    if (m_handOver) {
        // The learner before has finished: nobody is picked, so Enter
        // cannot sign the next one in under the old name.
        m_handOver = false;
        RememberedUser = {};
        LBNames->setCurrentIndex(-1);
        m_state.setCurrentUser({});
        Flash->GotoFrame(kFrameSelectionLost);
    } else {
        // The first opening selects the first learner; a later one the
        // learner signed in before, or none when that learner is gone.
        const int row = RememberedUser.isValid() ? rowOf(RememberedUser) : 0;
        if (LBNames->count() > 0)
            LBNames->setCurrentIndex(row < LBNames->count() ? row : -1);
        m_state.setCurrentUser(RememberedUser.isValid() ? RememberedUser : learnerAt(row));
    }
    LBNames->setFocus(Qt::OtherFocusReason);
    m_state.pushHistory(HistoryCommand(hkHome, false, 0));
}

void TfrmLogin::startHandOver()
{
    m_handOver = true;
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
        // Namesakes are told apart by surname and group; the stored names
        // stay as they are. Two that still read the same get their order.
        QHash<QString, int> shown;
        for (int row = 0; row < LBNames->count(); ++row) {
            const QString name = LBNames->itemText(row);
            if (named.value(name) < 2)
                continue;
            const QString detail = LBNames->itemData(row, kDetailRole).toString();
            QString text = detail.isEmpty() ? name : name + QStringLiteral(" (") + detail + u')';
            ++shown[text];
            LBNames->setItemText(row, text);
        }
        QHash<QString, int> numbered;
        for (int row = 0; row < LBNames->count(); ++row) {
            const QString text = LBNames->itemText(row);
            if (shown.value(text) > 1)
                LBNames->setItemText(row, text + QStringLiteral(" — %1").arg(++numbered[text]));
            LBNames->setItemData(row, LBNames->itemText(row), Qt::ToolTipRole);
        }
        // The list drops down wide enough to read every entry whole.
        const int widest = LBNames->view()->sizeHintForColumn(0) + 8;
        LBNames->view()->setMinimumWidth(std::max(LBNames->width(), widest));
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
        // Only an open form is stored: a second click on a form that is
        // closing, or Enter after it closed, stores nothing again.
        if (m_formOpen)
            OkPress();
    } else if (command == QLatin1String("CancelPress")) {
        closeForm();
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
    Flash->SetVariable(QStringLiteral("formNote"), QString());
    m_warned = false;
    LBNames->hide();
    m_formOpen = true;
    focusNameField();
}

void TfrmLogin::closeForm()
{
    m_formOpen = false;
    m_warned = false;
    Flash->SetVariable(QStringLiteral("formNote"), QString());
    LBNames->show();
    // The keyboard leaves the form with it: Enter now means "Войти", never a
    // second "Сохранить" of a form nobody sees.
    if (QQuickItem *root = Flash->rootItem())
        root->forceActiveFocus(Qt::OtherFocusReason);
    LBNames->setFocus(Qt::OtherFocusReason);
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
        // why and stay, so another learner can still be chosen. The movie
        // opened its form by itself: it closes again, and stores nothing.
        Flash->GotoFrame(kFrameStart);
        closeForm();
        ui::message(this, QString::fromUtf8(e.what()));
        return;
    }
    EditMode = true;
    // The form shows what is stored: a text squeezed through the 8-bit code
    // page here would be written back damaged by an unchanged save.
    m_edited = fields;
    Flash->SetVariable(QStringLiteral("eName"), fields.name);
    Flash->SetVariable(QStringLiteral("eSourname"), fields.sourname);
    Flash->SetVariable(QStringLiteral("eGroup"), fields.group);
    Flash->SetVariable(QStringLiteral("eMail"), fields.mail);
    Flash->SetVariable(QStringLiteral("formNote"), QString());
    m_warned = false;
    LBNames->hide();
    m_formOpen = true;
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

QString TfrmLogin::codePageNote(const learners::LearnerFields &form) const
{
    // The first name is kept in the 8-bit code page, and every field goes
    // into the teacher's report in it: one rule for all of them.
    const auto lost = [](const QString &text) {
        QStringList letters;
        for (const char32_t c : text.toUcs4()) {
            const QString letter = QString::fromUcs4(&c, 1);
            if (cp1251::fromUnicode(c) < 0 && !letters.contains(letter))
                letters << letter;
        }
        return letters.join(QStringLiteral(" "));
    };
    // A stored text left as it was is not the learner's typing: it stays.
    const auto typed = [&](const QString &text, const QString &stored) {
        return EditMode && text == stored ? QString() : lost(text);
    };
    QStringList notes;
    const QString inName = typed(form.name, m_edited.name);
    if (!inName.isEmpty())
        notes << QStringLiteral("В имени есть знаки, которых нет в кодировке учебника: %1. "
                                "Имя сохранится с «?» вместо них.")
                     .arg(inName);
    const std::pair<QString, QString> others[] = {
        {QStringLiteral("фамилии"), typed(form.sourname, m_edited.sourname)},
        {QStringLiteral("группе"), typed(form.group, m_edited.group)},
        {QStringLiteral("почте"), typed(form.mail, m_edited.mail)}};
    for (const auto &[where, letters] : others) {
        if (!letters.isEmpty())
            notes << QStringLiteral("В %1 есть знаки, которых нет в кодировке учебника: %2. "
                                    "В отчёте учителю будет «?» вместо них.")
                         .arg(where, letters);
    }
    if (notes.isEmpty())
        return QString();
    return notes.join(u' ') + QStringLiteral(" Исправьте или нажмите «Сохранить» ещё раз.");
}

void TfrmLogin::OkPress()
{
    const learners::LearnerFields typed{Flash->GetVariable(QStringLiteral("eName")),
                                        Flash->GetVariable(QStringLiteral("eSourname")),
                                        Flash->GetVariable(QStringLiteral("eGroup")),
                                        Flash->GetVariable(QStringLiteral("eMail")), QString()};
    // Said in the form, which stays open; the movie closed it by itself.
    const auto keepFormOpen = [&](const QString &note) {
        Flash->SetVariable(QStringLiteral("formNote"), note);
        Flash->GotoFrame(EditMode ? kFrameChangeForm : kFrameNewForm);
        focusNameField();
    };
    // An empty form is no learner: nothing is registered.
    if (typed.name.trimmed().isEmpty() && typed.sourname.trimmed().isEmpty()
        && typed.group.trimmed().isEmpty() && typed.mail.trimmed().isEmpty()) {
        keepFormOpen(kEmptyFormNote);
        return;
    }
    // Letters the code page lacks are named before anything is kept; the
    // same texts saved again are the learner's choice.
    const QString note = codePageNote(typed);
    const bool sameAsWarned = m_warned && typed.name == m_warnedForm.name
                              && typed.sourname == m_warnedForm.sourname
                              && typed.group == m_warnedForm.group && typed.mail == m_warnedForm.mail;
    if (!note.isEmpty() && !sameAsWarned) {
        m_warned = true;
        m_warnedForm = typed;
        keepFormOpen(note);
        return;
    }
    // A new first name keeps only what the 8-bit code page holds; the stored
    // one, left as it was, stays exactly as it is.
    QString name = typed.name;
    if (!EditMode || name != m_edited.name)
        name = cp1251::roundTrip(name);
    closeForm();
    learners::LearnerId stored = learnerAt(LBNames->currentIndex());
    try {
        learners::LearnerStore &store = m_state.learnerStore();
        const learners::LearnerFields form{name, typed.sourname, typed.group, typed.mail, QString()};
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
    // "Сменить ученика" on the home screen: the screen stays for the next
    // learner, with nobody picked.
    if (!m_state.CurrentUser().isValid() && !m_navigator.isClosing()) {
        FormActivate();
        return;
    }
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
