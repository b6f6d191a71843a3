import QtQuick
import "components"

// Sign-in. The program lays its learner list over the framed place under
// "Ученик:" and hides it while the learner form is open.
//
// Frames: 1 the start; 2 the list lost its selection; 41 a command needed a
// learner and none was picked; 10 the form for a new learner; 20 the form
// for changing the picked one. The buttons move the movie between frames
// themselves, so a repeated 41 from the program is always seen as a change.
Rectangle {
    id: root
    width: 542
    height: 373
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)
    // What the program says about the form's texts before storing them.
    property string formNote: ""

    readonly property bool formShown: frame === 10 || frame === 20
    readonly property bool warning: frame === 41
    readonly property string message: {
        switch (frame) {
        case 41:
            return "Сначала выберите ученика из списка";
        case 2:
            return "Выберите ученика из списка или добавьте нового";
        default:
            return "Выберите себя в списке и нажмите «Войти»";
        }
    }

    function play() {
        entry.stop();
        entry.start();
    }
    Component.onCompleted: play()

    function send(command, nextFrame) {
        if (nextFrame !== undefined)
            frame = nextFrame;
        fsCommand(command, "");
    }

    onFrameChanged: {
        entry.complete();
        if (formShown) {
            Qt.callLater(() => nameField.input.forceActiveFocus());
        } else if (form.activeFocus) {
            root.forceActiveFocus();
        }
        if (warning)
            nudge.restart();
    }

    ParallelAnimation {
        id: entry
        Entrance { target: side; restY: 0; distance: 12; duration: 380 }
        Entrance { target: welcome; restY: 66; delay: 90; duration: 380 }
    }

    // ---- header ---------------------------------------------------------
    Rectangle {
        id: header
        width: parent.width
        height: 52
        color: Theme.primary
        Rectangle { width: parent.width; height: 3; anchors.bottom: parent.bottom; color: Theme.accent }

        Rectangle {
            x: 24; y: 12; width: 26; height: 26; radius: 6
            color: Theme.accent
            Text {
                anchors.centerIn: parent
                text: "Т"
                font.family: Theme.font; font.pixelSize: 16; font.bold: true
                color: Theme.onDark
            }
        }
        Text {
            x: 60; y: 9
            text: "Тарвел"
            font.family: Theme.font; font.pixelSize: 18; font.bold: true
            color: Theme.onDark
        }
        Text {
            x: 60; y: 29
            text: "Вход в учебник «Основы информатики»"
            font.family: Theme.font; font.pixelSize: Theme.tiny
            color: Theme.onDarkMuted
        }
    }

    // ---- learner choice ------------------------------------------------
    Item {
        id: side
        x: 0; y: 0
        width: 222; height: root.height
        enabled: !root.formShown
        opacity: root.formShown ? 0 : 1
        Behavior on opacity { NumberAnimation { duration: 200 } }

        Text {
            x: 48; y: 66
            text: "Ученик:"
            font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
            color: Theme.ink
        }
        // The bed for the program's drop-down list; it lights up when a
        // command asks for a learner first.
        Rectangle {
            id: listBed
            x: 45; y: 85; width: 167; height: 30
            radius: 6
            color: Theme.surface
            border.width: root.warning ? 2 : 1
            border.color: root.warning ? Theme.accent : Theme.lineStrong
        }
        Column {
            x: 48; y: 128
            width: 161
            spacing: 8
            TButton {
                objectName: "AddNewUser"; text: "Новый ученик"; iconName: "userAdd"
                width: parent.width; centered: false
                onClicked: {
                    radioGroup.m = "true";
                    root.send(objectName, 10);
                }
            }
            TButton {
                objectName: "ChangeUser"; text: "Изменить"; iconName: "edit"
                width: parent.width; centered: false
                onClicked: {
                    radioGroup.m = "false";
                    root.send(objectName, 20);
                }
            }
            TButton {
                objectName: "DeleteUser"; text: "Удалить"; iconName: "trash"; variant: "danger"
                width: parent.width; centered: false
                onClicked: root.send(objectName, 1)
            }
        }
        Text {
            x: 48; y: 316; width: 161
            text: "Новый ученик появится в конце списка."
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.tiny
            color: Theme.muted
        }
    }

    Card {
        id: welcome
        x: 236; y: 66
        width: 282; height: 284
        enabled: !root.formShown
        opacity: root.formShown ? 0 : 1
        Behavior on opacity { NumberAnimation { duration: 200 } }

        Rectangle {
            x: 20; y: 20; width: 44; height: 44; radius: 22
            color: Theme.primarySoft
            Icon { anchors.centerIn: parent; width: 24; height: 24; name: "user" }
        }
        Text {
            x: 76; y: 20; height: 44
            verticalAlignment: Text.AlignVCenter
            text: "Добро пожаловать!"
            font.family: Theme.font; font.pixelSize: Theme.heading + 1; font.bold: true
            color: Theme.ink
        }
        Text {
            x: 20; y: 78; width: parent.width - 40
            text: "Найдите себя в списке учеников и войдите в учебник. Если вы здесь впервые, нажмите «Новый ученик»."
            wrapMode: Text.WordWrap
            lineHeight: 1.2
            font.family: Theme.font; font.pixelSize: Theme.small + 1
            color: Theme.muted
        }
        Banner {
            id: banner
            x: 20; y: 150; width: parent.width - 40
            text: root.message
            warning: root.warning
            label.objectName: "message"
            transform: Translate { id: shake }
        }
        TButton {
            objectName: "Enter"; text: "Войти"; iconName: "enter"; variant: "accent"
            x: 20; width: parent.width - 40
            anchors.bottom: parent.bottom; anchors.bottomMargin: 20
            implicitHeight: 42
            onClicked: root.send(objectName, 1)
        }
    }

    SequentialAnimation {
        id: nudge
        NumberAnimation { target: shake; property: "x"; to: -6; duration: 60 }
        NumberAnimation { target: shake; property: "x"; to: 6; duration: 90 }
        NumberAnimation { target: shake; property: "x"; to: -3; duration: 80 }
        NumberAnimation { target: shake; property: "x"; to: 0; duration: 70 }
    }

    // ---- learner form --------------------------------------------------
    Card {
        id: form
        objectName: "learnerForm"
        x: 24; y: root.formShown ? 62 : 76
        width: 494; height: 298
        // Fading out it is only a picture: no focus, no clicks, and no
        // buttons for a screen reader to find.
        enabled: root.formShown
        Accessible.ignored: !root.formShown
        visible: root.formShown || opacity > 0
        opacity: root.formShown ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 220; easing.type: Easing.OutCubic } }
        Behavior on y { NumberAnimation { duration: 260; easing.type: Easing.OutCubic } }

        Keys.onEscapePressed: cancel.clicked()

        Rectangle {
            x: 20; y: 24; width: 52; height: 52; radius: 26
            color: Theme.accentSoft
            Icon {
                anchors.centerIn: parent; width: 28; height: 28
                name: radioGroup.m === "true" ? "userAdd" : "edit"
                color: Theme.accent
            }
        }
        Text {
            id: formTitle
            x: 20; y: 92; width: 180
            text: radioGroup.m === "true" ? "Новый ученик" : "Изменение данных"
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.title - 2; font.bold: true
            color: Theme.ink
        }
        Text {
            objectName: "formNote"
            visible: root.formNote.length > 0
            x: 20; width: 180
            anchors.top: formTitle.bottom; anchors.topMargin: 10
            text: root.formNote
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
            color: Theme.accent
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }
        Text {
            visible: root.formNote.length === 0
            x: 20; width: 180
            anchors.top: formTitle.bottom; anchors.topMargin: 10
            text: "Имя будет показано в списке учеников. Остальные поля можно оставить пустыми."
            wrapMode: Text.WordWrap
            lineHeight: 1.2
            font.family: Theme.font; font.pixelSize: Theme.small
            color: Theme.muted
        }

        // Which way the form stores: a new record ("true") or the picked one.
        Rectangle {
            id: radioGroup
            objectName: "radioGroup"
            property string m: "true"
            x: 20; y: 246
            width: choices.width + 6; height: 30
            radius: 15
            color: Theme.primarySofter
            border.width: 1
            border.color: Theme.lineStrong
            Row {
                id: choices
                x: 3; y: 3
                Repeater {
                    model: [{ label: "Новый", on: true }, { label: "Изменение", on: false }]
                    Rectangle {
                        readonly property bool chosen: (radioGroup.m === "true") === modelData.on
                        width: mark.implicitWidth + 24; height: 24
                        radius: 12
                        color: chosen ? Theme.primary : "transparent"
                        Behavior on color { ColorAnimation { duration: Theme.quick } }
                        Text {
                            id: mark
                            anchors.centerIn: parent
                            text: modelData.label
                            font.family: Theme.font; font.pixelSize: Theme.tiny; font.bold: true
                            color: parent.chosen ? Theme.onDark : Theme.muted
                        }
                    }
                }
            }
        }

        Rectangle { x: 216; y: 20; width: 1; height: parent.height - 40; color: Theme.line }

        Column {
            x: 236; y: 16
            width: 238
            spacing: 5
            // Enter in any field saves, as in any form.
            Field { id: nameField; width: parent.width; label: "Имя"; fieldName: "eName"; onAccepted: ok.clicked() }
            Field { width: parent.width; label: "Фамилия"; fieldName: "eSourname"; onAccepted: ok.clicked() }
            Field { width: parent.width; label: "Группа"; fieldName: "eGroup"; onAccepted: ok.clicked() }
            Field { width: parent.width; label: "Электронная почта"; fieldName: "eMail"; onAccepted: ok.clicked() }
        }
        Row {
            anchors.right: parent.right; anchors.rightMargin: 20
            anchors.bottom: parent.bottom; anchors.bottomMargin: 18
            spacing: 10
            TButton {
                id: cancel
                objectName: "CancelPress"; text: "Отмена"
                onClicked: root.send(objectName, 1)
            }
            TButton {
                id: ok
                objectName: "OkPress"; text: "Сохранить"; iconName: "ok"; variant: "primary"
                onClicked: root.send(objectName, 1)
            }
        }
    }

    TButton {
        objectName: "close"; text: "Закрыть"; iconName: "close"; variant: "onDark"
        x: root.width - width - 14; y: 9
        implicitHeight: 34
        onClicked: root.send(objectName)
    }
}
