#include "movie/MovieControl.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSignalSpy>
#include <QTest>

namespace {

struct Control
{
    QString command;
    QString label;
};
using Controls = QList<Control>;

QString picture(const QString &name)
{
    return QStringLiteral(TARVEL_COURSE_DIR "/pictures/") + name + QStringLiteral(".qml");
}

QString accessibleName(const QObject *object)
{
    // The Accessible attached object is parented to the item it describes.
    for (const QObject *child : object->children())
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child->property("name").toString();
    return {};
}

QList<QQuickItem *> focusChain(QQuickItem *root)
{
    QList<QQuickItem *> chain;
    for (QQuickItem *item = root->nextItemInFocusChain(); item && item != root;
         item = item->nextItemInFocusChain()) {
        if (chain.contains(item))
            break;
        chain.append(item);
    }
    return chain;
}

qreal shownOpacity(const QQuickItem *item)
{
    qreal opacity = 1;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

// The drawn text of a control: a visible Text inside it that shows the label.
QQuickItem *labelItem(QQuickItem *control, const QString &label)
{
    const auto items = control->findChildren<QQuickItem *>();
    for (QQuickItem *item : items)
        if (item->inherits("QQuickText") && item->isVisible() &&
            item->property("text").toString() == label)
            return item;
    return nullptr;
}

QRectF sceneRect(QQuickItem *root, QQuickItem *item)
{
    return item->mapRectToItem(root, QRectF(0, 0, item->width(), item->height()));
}

} // namespace

Q_DECLARE_METATYPE(Controls)

class TestMovies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void controls_data();
    void controls();
    void scenes_data();
    void scenes();
    void homeOffersToContinue();
    void screensStartOnWhatTheLearnerCameFor_data();
    void screensStartOnWhatTheLearnerCameFor();
    void keyboardActivates_data();
    void keyboardActivates();
    void loginVariables_data();
    void loginVariables();
    void loginFrames_data();
    void loginFrames();
    void loginForm_data();
    void loginForm();
    void buttonAnswers_data();
    void buttonAnswers();
    void disabledButtonIgnoresPresses();
    void fieldIsAnEditableText();
    void toolbarTellsItsKeys();

private:
    void load(movie::MovieControl &movie, const QString &name);
    QStringList m_warnings;
};

void TestMovies::initTestCase()
{
    connect(movie::MovieControl::engine(), &QQmlEngine::warnings, this,
            [this](const QList<QQmlError> &warnings) {
                for (const QQmlError &warning : warnings)
                    m_warnings.append(warning.toString());
            });
}

void TestMovies::init() { m_warnings.clear(); }

void TestMovies::load(movie::MovieControl &movie, const QString &name)
{
    movie.show();
    QVERIFY(QTest::qWaitForWindowExposed(&movie));
    movie.setMovie(picture(name));
    QVERIFY2(movie.rootItem(), qPrintable(name + ": " + m_warnings.join('\n')));
}

void TestMovies::controls_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frame");
    QTest::addColumn<Controls>("controls");
    QTest::addColumn<QStringList>("absent");
    // Where the program lays a native list or view over the movie.
    QTest::addColumn<QRectF>("reserved");

    QTest::newRow("home") << "Main" << QSize(800, 600) << 1
        << Controls{{"exit", "Выход"}, {"DoBookmark", "Закладки"}, {"DoContent", "Содержание"},
                    {"DoEbout", "Введение"}, {"DoBegin", "Начать обучение"}, {"DoTests", "Тесты"},
                    {"DoReport", "Отчёт"}, {"DoStat", "Статистика"},
                    {"DoLabs", "Лабораторные работы"}, {"DoPrac", "Практикум"},
                    {"DoDict", "Словарь"}, {"DoEbout2", "О программе"}, {"DoFont", "Шрифт"}}
        << QStringList{"DoContinue"} << QRectF();
    const Controls toolbar{{"DoHome", "Главная"}, {"DoMenu", "Разделы"},
                           {"DoBookmark", "Добавить закладку"}, {"DoPlus", "Крупнее"},
                           {"DoMinus", "Мельче"}, {"DoDict", "Словарь"}, {"DoHelp", "Справка"},
                           {"DoSearch", "Поиск"}, {"DoBack", "Назад"}};
    QTest::newRow("toolbar of a lecture") << "buttons" << QSize(780, 51) << 0
        << (Controls(toolbar) << Control{"DoPlayer", "Видеолекция"}) << QStringList() << QRectF();
    QTest::newRow("toolbar of the information page") << "buttons" << QSize(780, 51) << 4
        << toolbar << QStringList{"DoPlayer"} << QRectF();
    QTest::newRow("sign-in") << "login" << QSize(542, 373) << 1
        << Controls{{"AddNewUser", "Новый ученик"}, {"ChangeUser", "Изменить"},
                    {"DeleteUser", "Удалить"}, {"Enter", "Войти"}, {"close", "Закрыть"}}
        << QStringList{"OkPress", "CancelPress", "eName"} << QRectF(48, 88, 161, 24);
    QTest::newRow("sign-in form") << "login" << QSize(542, 373) << 10
        << Controls{{"OkPress", "Сохранить"}, {"CancelPress", "Отмена"}, {"close", "Закрыть"}}
        << QStringList{"AddNewUser", "Enter"} << QRectF(48, 88, 161, 24);
    QTest::newRow("bookmarks") << "bookmark" << QSize(550, 400) << 1
        << Controls{{"close", "Закрыть"}, {"DoJump", "Перейти"}, {"DoDel", "Удалить"}}
        << QStringList() << QRectF(27, 100, 502, 277);
    QTest::newRow("font") << "font" << QSize(550, 400) << 1
        << Controls{{"close", "Закрыть"}, {"DoChange", "Выбрать шрифт"},
                    {"DoDefoult", "Размеры по умолчанию"},
                    {"DoColumn", "Колонка: во всю ширину"}}
        << QStringList() << QRectF(16, 24, 401, 345);
    QTest::newRow("about") << "about" << QSize(551, 400) << 1
        << Controls{{"close", "Закрыть"}} << QStringList() << QRectF();
    QTest::newRow("report") << "report" << QSize(550, 400) << 1
        << Controls{{"Generate", "Создать отчёт"}, {"close", "Закрыть"}} << QStringList()
        << QRectF();
}

void TestMovies::controls()
{
    QFETCH(QString, movie);
    QFETCH(QSize, size);
    QFETCH(int, frame);
    QFETCH(Controls, controls);
    QFETCH(QStringList, absent);
    QFETCH(QRectF, reserved);

    movie::MovieControl control;
    control.resize(size);
    load(control, movie);
    if (QTest::currentTestFailed())
        return;
    QQuickItem *root = control.rootItem();
    QCOMPARE(root->size(), QSizeF(size));
    control.GotoFrame(frame);
    for (const Control &expected : controls) {
        auto *item = qobject_cast<QQuickItem *>(control.findControl(expected.command));
        QVERIFY2(item, qPrintable(expected.command));
        QTRY_VERIFY2(item->isVisible() && item->isEnabled() && shownOpacity(item) > 0.99,
                     qPrintable(expected.command));
    }

    const QList<QQuickItem *> chain = focusChain(root);
    for (const Control &expected : controls) {
        auto *item = qobject_cast<QQuickItem *>(control.findControl(expected.command));
        QCOMPARE(item->property("text").toString(), expected.label);
        QCOMPARE(accessibleName(item), expected.label);
        QVERIFY(item->activeFocusOnTab());
        QVERIFY2(chain.contains(item), qPrintable(expected.command + " is not reached by Tab"));
        QVERIFY2(QRectF(QPointF(0, 0), QSizeF(size)).contains(sceneRect(root, item)),
                 qPrintable(expected.command + " lies outside the scene"));

        // The whole label is drawn: not elided, not cut by the button.
        QQuickItem *label = labelItem(item, expected.label);
        QVERIFY2(label, qPrintable(expected.command + " draws no label"));
        QVERIFY2(!label->property("truncated").toBool(), qPrintable(expected.command));
        QVERIFY2(label->property("contentHeight").toReal() <= item->height(),
                 qPrintable(expected.command));
    }
    for (const QString &name : absent) {
        auto *item = qobject_cast<QQuickItem *>(control.findControl(name));
        QVERIFY2(item, qPrintable(name));
        QVERIFY2(!item->isVisible() || !item->isEnabled(), qPrintable(name));
        QVERIFY2(!chain.contains(item), qPrintable(name + " is reached by Tab"));
    }
    if (!reserved.isEmpty()) {
        for (QQuickItem *item : chain)
            QVERIFY2(!sceneRect(root, item).intersects(reserved),
                     qPrintable(item->objectName() + " lies where the program's list goes"));
    }

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    for (const Control &expected : controls) {
        commands.clear();
        QVERIFY(control.click(expected.command));
        QTRY_COMPARE(commands.size(), 1);
        QCOMPARE(commands.at(0).at(0).toString(), expected.command);
        control.GotoFrame(frame); // a button may move the movie on; come back for the next one
    }
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));
}

void TestMovies::homeOffersToContinue()
{
    movie::MovieControl control;
    control.resize(800, 600);
    load(control, QStringLiteral("Main"));
    if (QTest::currentTestFailed())
        return;
    const QString text = QStringLiteral(
        "Продолжить: Логика и логические элементы, 3.3 Логические выражения и таблицы истинности");
    control.SetVariable(QStringLiteral("resumeText"), text);
    control.SetVariable(QStringLiteral("progress"), QStringLiteral("1,1,85;2,1,-1;3,0,40"));
    control.GotoFrame(1);
    auto *item = qobject_cast<QQuickItem *>(control.findControl(QStringLiteral("DoContinue")));
    QVERIFY(item);
    QTRY_VERIFY(item->isVisible() && shownOpacity(item) > 0.99);
    QCOMPARE(accessibleName(item), text);
    // The first command reached by Tab, its whole label drawn.
    const QList<QQuickItem *> chain = focusChain(control.rootItem());
    QVERIFY(!chain.isEmpty());
    QCOMPARE(chain.first(), item);
    QQuickItem *label = labelItem(item, text);
    QVERIFY(label);
    QVERIFY(label->property("contentHeight").toReal() <= item->height());
    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    QVERIFY(control.click(QStringLiteral("DoContinue")));
    QTRY_COMPARE(commands.size(), 1);
    QCOMPARE(commands.at(0).at(0).toString(), QStringLiteral("DoContinue"));
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));
}

void TestMovies::screensStartOnWhatTheLearnerCameFor_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("first");
    QTest::newRow("home") << "Main" << QSize(800, 600) << "DoBegin";
    QTest::newRow("report") << "report" << QSize(550, 400) << "Generate";
    QTest::newRow("font") << "font" << QSize(550, 400) << "DoChange";
}

// A screen starts on its first control in Tab order: that is its main
// command, not Закрыть.
void TestMovies::screensStartOnWhatTheLearnerCameFor()
{
    QFETCH(QString, movie);
    QFETCH(QSize, size);
    QFETCH(QString, first);
    movie::MovieControl control;
    control.resize(size);
    load(control, movie);
    if (QTest::currentTestFailed())
        return;
    control.GotoFrame(1);
    const QList<QQuickItem *> chain = focusChain(control.rootItem());
    QVERIFY(!chain.isEmpty());
    QCOMPARE(chain.first()->objectName(), first);
}


void TestMovies::scenes_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QSize>("size");
    QTest::newRow("zero") << "zero" << QSize(550, 400);
    for (int lecture = 1; lecture <= 8; ++lecture)
        QTest::newRow(qPrintable(QStringLiteral("lecture %1").arg(lecture)))
            << QStringLiteral("lecture%1").arg(lecture) << QSize(550, 400);
}

// Scenes without commands: they load cleanly, answer frames and play, and
// nothing in them ever sends a command.
void TestMovies::scenes()
{
    QFETCH(QString, movie);
    QFETCH(QSize, size);

    movie::MovieControl control;
    control.resize(size);
    load(control, movie);
    if (QTest::currentTestFailed())
        return;
    QQuickItem *root = control.rootItem();
    QCOMPARE(root->size(), QSizeF(size));
    QVERIFY(root->metaObject()->indexOfMethod("play()") >= 0);
    QVERIFY(root->metaObject()->indexOfProperty("frame") >= 0);

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    control.GotoFrame(1);
    control.Play();
    QStringList names;
    for (QQuickItem *item : focusChain(root)) {
        names.append(item->objectName());
        QVERIFY(!item->property("text").toString().isEmpty());
        QCOMPARE(accessibleName(item), item->property("text").toString());
        QVERIFY(control.click(item->objectName()));
    }
    QCoreApplication::sendPostedEvents();
    QCOMPARE(commands.size(), 0);
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));

    // A lecture's walk through its steps can be stopped, stepped and resumed.
    QQuickItem *scene = nullptr;
    for (QQuickItem *item : root->findChildren<QQuickItem *>())
        if (item->metaObject()->indexOfProperty("captions") >= 0)
            scene = item;
    if (!scene) {
        QVERIFY(names.isEmpty());
        return;
    }
    QCOMPARE(names, (QStringList{"pause", "step", "replay"}));
    // In the reader the panel's frame and its pull strip (the last 10 px of
    // the 400 px panel) cover the movie's bottom edge; the caption and the
    // buttons must stay above it, at the size the reader gives the movie too.
    for (const QSize shown : {size, QSize(548, 398)}) {
        control.resize(shown);
        QCoreApplication::processEvents();
        for (const char *name : {"pause", "step", "replay"}) {
            const QRectF button = sceneRect(
                root, qobject_cast<QQuickItem *>(control.findControl(QLatin1String(name))));
            QVERIFY2(button.bottom() <= 389 && button.right() <= shown.width(),
                     qPrintable(QStringLiteral("%1 at %2x%3 ends at y %4")
                                    .arg(QLatin1String(name)).arg(shown.width())
                                    .arg(shown.height()).arg(button.bottom())));
        }
    }
    control.resize(size);
    const int count = scene->property("count").toInt();
    QVERIFY2(count >= 4, "a lecture movie shows its process in several steps");
    auto *pause = control.findControl(QStringLiteral("pause"));
    const auto isRunning = [scene] { return scene->property("running").toBool(); };
    const auto step = [scene] { return scene->property("step").toInt(); };

    control.GotoFrame(2);
    QCOMPARE(step(), 1);
    QVERIFY(!isRunning());
    QCOMPARE(pause->property("text").toString(), QStringLiteral("Продолжить"));
    QVERIFY(control.click(QStringLiteral("step")));
    QCOMPARE(step(), 2);
    QVERIFY(!isRunning());
    QVERIFY(control.click(QStringLiteral("pause")));
    QVERIFY(isRunning());
    QCOMPARE(pause->property("text").toString(), QStringLiteral("Пауза"));
    QCOMPARE(accessibleName(qobject_cast<QQuickItem *>(pause)), QStringLiteral("Пауза"));
    QVERIFY(control.click(QStringLiteral("pause")));
    QVERIFY(!isRunning());
    QCOMPARE(step(), 2);

    // After the last step the step button comes back to the first.
    control.GotoFrame(count);
    QCOMPARE(step(), count - 1);
    QVERIFY(control.click(QStringLiteral("step")));
    QCOMPARE(step(), 0);

    control.GotoFrame(3);
    QVERIFY(control.click(QStringLiteral("replay")));
    QCOMPARE(step(), 0);
    QVERIFY(isRunning());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(commands.size(), 0);
}

void TestMovies::keyboardActivates_data()
{
    QTest::addColumn<QString>("movie");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("key");
    QTest::newRow("home, Return") << "Main" << "DoBegin" << int(Qt::Key_Return);
    QTest::newRow("home, Space") << "Main" << "exit" << int(Qt::Key_Space);
    QTest::newRow("toolbar, Enter") << "buttons" << "DoBack" << int(Qt::Key_Enter);
    QTest::newRow("sign-in, Return") << "login" << "Enter" << int(Qt::Key_Return);
    QTest::newRow("bookmarks, Space") << "bookmark" << "DoJump" << int(Qt::Key_Space);
}

void TestMovies::keyboardActivates()
{
    QFETCH(QString, movie);
    QFETCH(QString, command);
    QFETCH(int, key);

    movie::MovieControl control;
    control.resize(800, 600);
    load(control, movie);
    if (QTest::currentTestFailed())
        return;
    auto *view = control.findChild<QQuickWidget *>();
    QVERIFY(view);
    control.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&control));
    view->setFocus(Qt::TabFocusReason);

    auto *button = qobject_cast<QQuickItem *>(control.findControl(command));
    QVERIFY(button);
    button->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(button->hasActiveFocus());
    QVERIFY(button->property("visualFocus").toBool()); // the focus ring is on

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    QTest::keyClick(view, Qt::Key(key));
    QTRY_COMPARE(commands.size(), 1);
    QCOMPARE(commands.at(0).at(0).toString(), command);
}

void TestMovies::loginVariables_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::newRow("first name") << "eName" << "Имя" << "Иван";
    QTest::newRow("surname") << "eSourname" << "Фамилия" << "Петров-Водкин";
    QTest::newRow("group") << "eGroup" << "Группа" << "10 «А»";
    QTest::newRow("mail") << "eMail" << "Электронная почта" << "ivan@school.ru";
    QTest::newRow("empty") << "eName" << "Имя" << "";
    QTest::newRow("new learner") << "radioGroup.m" << "" << "true";
    QTest::newRow("changed learner") << "radioGroup.m" << "" << "false";
}

void TestMovies::loginVariables()
{
    QFETCH(QString, variable);
    QFETCH(QString, label);
    QFETCH(QString, value);

    movie::MovieControl control;
    control.resize(542, 373);
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    control.click("AddNewUser");
    control.SetVariable(variable, QStringLiteral("старое"));
    control.SetVariable(variable, value);
    QCOMPARE(control.GetVariable(variable), value);

    if (!label.isEmpty()) {
        auto *field = qobject_cast<QQuickItem *>(control.findControl(variable));
        QVERIFY(field);
        QCOMPARE(accessibleName(field), label);
        QVERIFY(field->activeFocusOnTab());
        QTRY_VERIFY(field->isVisible() && shownOpacity(field) > 0.99);
        QVERIFY(focusChain(control.rootItem()).contains(field));
    }
}

void TestMovies::loginFrames_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("warning");
    QTest::newRow("start") << 1 << "Выберите себя в списке и нажмите «Войти»" << false;
    QTest::newRow("selection emptied") << 2 << "Выберите ученика из списка или добавьте нового"
                                       << false;
    QTest::newRow("learner needed") << 41 << "Сначала выберите ученика из списка" << true;
}

void TestMovies::loginFrames()
{
    QFETCH(int, frame);
    QFETCH(QString, message);
    QFETCH(bool, warning);

    movie::MovieControl control;
    control.resize(542, 373);
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    QObject *form = control.findControl("learnerForm");
    QVERIFY(form);

    // From the open form too: a frame of the list view closes it.
    for (int before : {0, 10}) {
        control.GotoFrame(before);
        control.GotoFrame(frame);
        auto *text = qobject_cast<QQuickItem *>(control.findControl("message"));
        QVERIFY(text);
        QCOMPARE(text->property("text").toString(), message);
        QTRY_VERIFY(text->isVisible() && shownOpacity(text) > 0.99);
        QCOMPARE(control.rootItem()->property("warning").toBool(), warning);
        QTRY_VERIFY(!qobject_cast<QQuickItem *>(form)->isVisible());
    }
}

void TestMovies::loginForm_data()
{
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("closer");
    QTest::addColumn<QString>("marker");
    QTest::newRow("register, save") << "AddNewUser" << "OkPress" << "true";
    QTest::newRow("register, cancel") << "AddNewUser" << "CancelPress" << "true";
    QTest::newRow("change, save") << "ChangeUser" << "OkPress" << "false";
    QTest::newRow("change, cancel") << "ChangeUser" << "CancelPress" << "false";
}

// The movie opens and closes its form by itself and still reports both presses.
void TestMovies::loginForm()
{
    QFETCH(QString, opener);
    QFETCH(QString, closer);
    QFETCH(QString, marker);

    movie::MovieControl control;
    control.resize(542, 373);
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    auto *form = qobject_cast<QQuickItem *>(control.findControl("learnerForm"));
    QVERIFY(form);
    QVERIFY(!form->isVisible());
    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);

    QVERIFY(control.click(opener));
    QTRY_VERIFY(form->isVisible() && shownOpacity(form) > 0.99);
    QCOMPARE(control.GetVariable("radioGroup.m"), marker);
    QVERIFY(!control.findControl("Enter")->property("enabled").toBool());

    QVERIFY(control.click(closer));
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(control.findControl("Enter")->property("enabled").toBool());
    QTRY_COMPARE(commands.size(), 2);
    QCOMPARE(commands.at(0).at(0).toString(), opener);
    QCOMPARE(commands.at(1).at(0).toString(), closer);
}

namespace {

QAccessibleInterface *accessibleOf(QQuickItem *item)
{
    QAccessible::setActive(true); // as with a screen reader running
    return QAccessible::queryAccessibleInterface(item);
}

bool pressForScreenReader(QQuickItem *item)
{
    QAccessibleInterface *face = accessibleOf(item);
    if (!face || !face->actionInterface() ||
        !face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()))
        return false;
    face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    return true;
}

void sendKey(QWidget *view, QEvent::Type type, Qt::Key key, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Space ? QStringLiteral(" ") : QString(),
                    autoRepeat);
    QApplication::sendEvent(view, &event);
}

// Typed letters, Cyrillic ones too (QTest's key clicks know only ASCII).
void type(QWidget *view, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(view, &release);
    }
}

} // namespace

void TestMovies::buttonAnswers_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("mouse") << "mouse";
    QTest::newRow("Space, held and repeated") << "space";
    QTest::newRow("screen reader's press") << "reader";
}

// One press, one command, whichever way the button is pressed; the focus
// ring only for focus that came from the keyboard.
void TestMovies::buttonAnswers()
{
    QFETCH(QString, way);

    movie::MovieControl control;
    control.resize(800, 600); // scaled up from the scene's own size
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    auto *view = control.findChild<QQuickWidget *>();
    QVERIFY(view);
    control.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&control));
    view->setFocus(Qt::OtherFocusReason);
    auto *button = qobject_cast<QQuickItem *>(control.findControl("Enter"));
    QVERIFY(button);
    QTRY_VERIFY(shownOpacity(button) > 0.99);

    QAccessibleInterface *face = accessibleOf(button);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::Button);
    QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Войти"));
    QVERIFY(face->state().focusable);

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    if (way == "mouse") {
        const QPoint centre = button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
        // Pressed, then let go elsewhere: no command.
        QTest::mousePress(view, Qt::LeftButton, {}, centre);
        QTRY_VERIFY(button->property("down").toBool());
        QTest::mouseMove(view, centre + QPoint(0, 200));
        QTRY_VERIFY(!button->property("down").toBool());
        QTest::mouseRelease(view, Qt::LeftButton, {}, centre + QPoint(0, 200));
        QTest::qWait(50);
        QCOMPARE(commands.size(), 0);

        QTest::mousePress(view, Qt::LeftButton, {}, centre);
        QTRY_VERIFY(button->property("down").toBool());
        QCOMPARE(commands.size(), 0); // a click is a press and a release
        QTest::mouseRelease(view, Qt::LeftButton, {}, centre);
        QTRY_COMPARE(commands.size(), 1);
        QVERIFY(button->hasActiveFocus());
        QVERIFY(!button->property("visualFocus").toBool()); // no ring after a click
    } else if (way == "space") {
        button->forceActiveFocus(Qt::TabFocusReason);
        QTRY_VERIFY(button->hasActiveFocus());
        QVERIFY(button->property("visualFocus").toBool());
        sendKey(view, QEvent::KeyPress, Qt::Key_Space);
        sendKey(view, QEvent::KeyPress, Qt::Key_Space, true);
        sendKey(view, QEvent::KeyRelease, Qt::Key_Space, true);
        sendKey(view, QEvent::KeyPress, Qt::Key_Space, true);
        QVERIFY(button->property("down").toBool());
        QTest::qWait(50);
        QCOMPARE(commands.size(), 0); // held: nothing yet
        sendKey(view, QEvent::KeyRelease, Qt::Key_Space);
        QVERIFY(!button->property("down").toBool());
        QTRY_COMPARE(commands.size(), 1);
        QVERIFY(button->property("visualFocus").toBool());
    } else {
        QVERIFY(pressForScreenReader(button));
        QTRY_COMPARE(commands.size(), 1);
    }
    QCOMPARE(commands.at(0).at(0).toString(), QStringLiteral("Enter"));
    QTest::qWait(50);
    QCOMPARE(commands.size(), 1);
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));
}

// Behind the open learner form the list's buttons are greyed and deaf, to
// a screen reader's press as well.
void TestMovies::disabledButtonIgnoresPresses()
{
    movie::MovieControl control;
    control.resize(542, 373);
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    auto *button = qobject_cast<QQuickItem *>(control.findControl("DeleteUser"));
    QVERIFY(button);
    const QColor enabledLabel = button->property("labelColor").value<QColor>();
    control.GotoFrame(10);
    QTRY_VERIFY(!button->isEnabled());
    QVERIFY(button->property("labelColor").value<QColor>() != enabledLabel);
    QVERIFY(!focusChain(control.rootItem()).contains(button));

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    pressForScreenReader(button);
    QTest::qWait(50);
    QCOMPARE(commands.size(), 0);
}

// The learner form's fields: typed into from the keyboard, read by the
// program by name, seen by a screen reader as editable texts with their
// labels, and Enter saves.
void TestMovies::fieldIsAnEditableText()
{
    movie::MovieControl control;
    control.resize(542, 373);
    load(control, "login");
    if (QTest::currentTestFailed())
        return;
    auto *view = control.findChild<QQuickWidget *>();
    QVERIFY(view);
    control.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&control));
    view->setFocus(Qt::OtherFocusReason);

    QSignalSpy commands(&control, &movie::MovieControl::fsCommand);
    QVERIFY(control.click("AddNewUser"));
    auto *name = qobject_cast<QQuickItem *>(control.findControl("eName"));
    QVERIFY(name);
    QVERIFY(name->inherits("QQuickTextInput"));
    QTRY_VERIFY(name->isVisible() && name->isEnabled());
    name->forceActiveFocus(Qt::TabFocusReason); // as the sign-in screen does when the form opens
    QTRY_VERIFY(name->hasActiveFocus());

    type(view, QStringLiteral("Анна"));
    QCOMPARE(control.GetVariable("eName"), QStringLiteral("Анна"));
    QAccessibleInterface *face = accessibleOf(name);
    QVERIFY(face);
    QCOMPARE(face->role(), QAccessible::EditableText);
    QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Имя"));
    QVERIFY(face->textInterface());
    QCOMPARE(face->textInterface()->text(0, face->textInterface()->characterCount()),
             QStringLiteral("Анна"));

    // Tab goes on to the next field.
    QTest::keyClick(view, Qt::Key_Tab);
    auto *surname = qobject_cast<QQuickItem *>(control.findControl("eSourname"));
    QTRY_VERIFY(surname->hasActiveFocus());
    type(view, QStringLiteral("Ли"));
    QCOMPARE(control.GetVariable("eSourname"), QStringLiteral("Ли"));
    QCOMPARE(control.GetVariable("eName"), QStringLiteral("Анна"));

    QTest::keyClick(view, Qt::Key_Return);
    QTRY_COMPARE(commands.size(), 2);
    QCOMPARE(commands.at(1).at(0).toString(), QStringLiteral("OkPress"));
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));
}

// A toolbar command with a key of its own names that key while it is
// hovered or has keyboard focus.
void TestMovies::toolbarTellsItsKeys()
{
    movie::MovieControl control;
    control.resize(780, 51);
    load(control, "buttons");
    if (QTest::currentTestFailed())
        return;
    auto *view = control.findChild<QQuickWidget *>();
    QVERIFY(view);
    control.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&control));
    view->setFocus(Qt::OtherFocusReason);
    auto *tip = control.rootItem()->findChild<QQuickItem *>("toolTip");
    QVERIFY(tip);
    QVERIFY(!tip->isVisible());

    auto *bookmark = qobject_cast<QQuickItem *>(control.findControl("DoBookmark"));
    QVERIFY(bookmark);
    QCOMPARE(accessibleOf(bookmark)->text(QAccessible::Description), QStringLiteral("Клавиши: Ctrl+D"));
    bookmark->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(tip->isVisible());
    QCOMPARE(tip->property("text").toString(), QStringLiteral("Добавить закладку (Ctrl+D)"));
    const QRectF shown = sceneRect(control.rootItem(), tip);
    QVERIFY(QRectF(0, 0, 780, 51).contains(shown));

    // A command without keys of its own shows none; the mouse shows them too.
    auto *home = qobject_cast<QQuickItem *>(control.findControl("DoHome"));
    home->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!tip->isVisible());
    auto *help = qobject_cast<QQuickItem *>(control.findControl("DoHelp"));
    QTest::mouseMove(view, help->mapToScene(QPointF(help->width() / 2, help->height() / 2)).toPoint());
    QTRY_VERIFY(tip->isVisible());
    QCOMPARE(tip->property("text").toString(), QStringLiteral("Справка (F1)"));
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.join('\n')));
}

QTEST_MAIN(TestMovies)
#include "tst_movies.moc"
