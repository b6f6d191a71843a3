import QtQuick
import "components"

// The home screen: the course title and every way into the textbook,
// grouped by what the learner is about to do.
Rectangle {
    id: root
    width: 800
    height: 600
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    // Set by the program: the learner's place ("Продолжить: …", empty when
    // there is none) and the progress of each lecture, one field per lecture
    // "<lecture>,<opened 0|1>,<best test result or -1>" separated by ";".
    property string resumeText: ""
    // The class database this seat works on; empty on a single computer.
    property string seatText: ""
    property string progress: ""
    readonly property var lectures: {
        var list = [];
        var fields = progress.length > 0 ? progress.split(";") : [];
        for (var i = 0; i < fields.length; ++i) {
            var f = fields[i].split(",");
            if (f.length === 3)
                list.push({ lecture: f[0], opened: f[1] === "1", best: parseInt(f[2]) });
        }
        return list;
    }

    // Each showing starts the screen afresh; a frame jump shows it at rest.
    function play() {
        entry.stop();
        entry.start();
    }
    onFrameChanged: entry.complete()
    Component.onCompleted: play()

    readonly property real cardsTop: 206
    readonly property real cardsHeight: 306
    readonly property real footerTop: 534

    ParallelAnimation {
        id: entry
        Entrance { target: header; distance: -12; restY: 0; duration: 380 }
        Entrance { target: studyCard; delay: 60; restY: root.cardsTop; duration: 380 }
        Entrance { target: checkCard; delay: 130; restY: root.cardsTop; duration: 380 }
        Entrance { target: practiceCard; delay: 200; restY: root.cardsTop; duration: 380 }
        Entrance { target: footer; delay: 220; restY: root.footerTop; distance: 8; duration: 360 }
    }

    // ---- header -------------------------------------------------------
    Rectangle {
        id: header
        width: root.width
        height: 178
        gradient: Gradient {
            GradientStop { position: 0; color: Theme.primaryDark }
            GradientStop { position: 1; color: Theme.primary }
        }
        clip: true

        Rectangle {
            x: 470; y: -120; width: 380; height: 380; radius: 190
            color: "transparent"; border.width: 40; border.color: Qt.rgba(1, 1, 1, 0.035)
        }
        Rectangle {
            width: parent.width; height: 4; anchors.bottom: parent.bottom
            color: Theme.accent
        }

        Text {
            id: overline
            x: 48; y: 34
            text: "ЭЛЕКТРОННЫЙ УЧЕБНИК"
            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
            font.letterSpacing: 2
            color: Theme.accentBright
        }
        Text {
            id: title
            x: 46; y: 52
            text: "Тарвел"
            font.family: Theme.font; font.pixelSize: Theme.display + 6; font.bold: true
            color: Theme.onDark
        }
        Text {
            id: subtitle
            x: 48; y: title.y + title.height + 2
            text: "Основы информатики"
            font.family: Theme.font; font.pixelSize: Theme.title
            color: Theme.onDarkMuted
        }

        // A register of bits counting up: the subject of the course, in motion.
        Grid {
            id: bits
            // A picture: screen readers would read its changing digits.
            Accessible.ignored: true
            x: root.width - width - 40; y: 40
            columns: 8
            spacing: 6
            property int tick: 0
            Repeater {
                model: 32
                Rectangle {
                    readonly property int row: Math.floor(index / 8)
                    readonly property int column: index % 8
                    readonly property int word: (bits.tick * (row * 2 + 1) + row * 41) & 255
                    readonly property bool on: ((word >> (7 - column)) & 1) === 1
                    width: 26; height: 22; radius: 5
                    color: on ? Theme.accentBright : Qt.rgba(1, 1, 1, 0.08)
                    Behavior on color { ColorAnimation { duration: 260 } }
                    Text {
                        anchors.centerIn: parent
                        text: parent.on ? "1" : "0"
                        font.family: "Liberation Mono"; font.pixelSize: 13; font.bold: true
                        color: parent.on ? Theme.primaryDark : Qt.rgba(1, 1, 1, 0.45)
                    }
                }
            }
        }
        Timer {
            interval: 900; running: true; repeat: true
            onTriggered: bits.tick = (bits.tick + 1) & 255
        }

        // Where the learner stopped last time: the first command of the screen.
        TButton {
            objectName: "DoContinue"
            visible: root.resumeText.length > 0
            activeFocusOnTab: visible
            x: 286; y: 50
            width: 210; implicitHeight: 76
            variant: "accent"; iconName: "play"
            wrapLabel: true; fontSize: Theme.small
            text: root.resumeText
            onClicked: root.fsCommand(objectName, "")
        }

    }

    // ---- the three groups of commands ---------------------------------
    component GroupCard: Card {
        id: group
        property string heading
        property string note
        property string glyph
        default property alias buttons: column.data
        width: 238
        height: root.cardsHeight

        Rectangle {
            x: 14; y: 16; width: 36; height: 36; radius: 18
            color: Theme.primarySoft
            Icon { anchors.centerIn: parent; width: 20; height: 20; name: group.glyph }
        }
        Text {
            x: 60; y: 16; width: parent.width - 74
            height: 36
            verticalAlignment: Text.AlignVCenter
            text: group.heading
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.heading; font.bold: true
            color: Theme.ink
        }
        Column {
            id: column
            x: 14; y: 66
            width: parent.width - 28
            spacing: 8
        }
        Text {
            visible: group.note.length > 0
            x: 16; width: parent.width - 32
            anchors.bottom: parent.bottom; anchors.bottomMargin: 16
            text: group.note
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.small
            lineHeight: 1.15
            color: Theme.muted
        }
    }
    component GroupButton: TButton {
        width: parent.width
        centered: false
        leftPadding: 12
        rightPadding: 10
        onClicked: root.fsCommand(objectName, "")
    }

    GroupCard {
        id: studyCard
        x: 28; y: root.cardsTop
        heading: "Учебник"
        glyph: "book"
        GroupButton { objectName: "DoBegin"; text: "Начать обучение"; iconName: "play"; variant: "accent" }
        GroupButton { objectName: "DoContent"; text: "Содержание"; iconName: "list" }
        GroupButton { objectName: "DoEbout"; text: "Введение"; iconName: "flag" }
        GroupButton { objectName: "DoDict"; text: "Словарь"; iconName: "book" }
        GroupButton { objectName: "DoBookmark"; text: "Закладки"; iconName: "bookmark" }
    }
    GroupCard {
        id: checkCard
        x: 281; y: root.cardsTop
        heading: "Проверка знаний"
        glyph: "check"
        note: "Общий тест из двадцати вопросов или тест по одной лекции. Каждый результат сохраняется."
        GroupButton { objectName: "DoTests"; text: "Тесты"; iconName: "check"; variant: "primary" }
        GroupButton { objectName: "DoStat"; text: "Статистика"; iconName: "chart" }
        GroupButton { objectName: "DoReport"; text: "Отчёт"; iconName: "document" }
    }
    GroupCard {
        id: practiceCard
        x: 534; y: root.cardsTop
        heading: "Практика"
        glyph: "flask"
        note: "Лабораторные работы и практикум открываются в отдельных окнах."
        GroupButton { objectName: "DoLabs"; text: "Лабораторные работы"; iconName: "flask" }
        GroupButton { objectName: "DoPrac"; text: "Практикум"; iconName: "code" }
    }

    // ---- footer ---------------------------------------------------------
    Item {
        id: footer
        x: 0; y: root.footerTop
        width: root.width
        height: root.height - root.footerTop

        Row {
            x: 34
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4
            TButton {
                objectName: "DoFont"; text: "Шрифт"; iconName: "font"; variant: "quiet"
                onClicked: root.fsCommand(objectName, "")
            }
            TButton {
                objectName: "DoEbout2"; text: "О программе"; iconName: "info"; variant: "quiet"
                onClicked: root.fsCommand(objectName, "")
            }
        }
        // Each lecture at a glance: opened, and the best test result.
        Item {
            id: progressStrip
            visible: root.lectures.length > 0
            x: 292; width: 360; height: 44
            anchors.verticalCenter: parent.verticalCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: "Ход изучения лекций"
            Row {
                spacing: 6
                Repeater {
                    model: root.lectures
                    Item {
                        width: 39; height: 44
                        readonly property bool passed: modelData.best >= 70
                        Accessible.role: Accessible.StaticText
                        Accessible.name: "Лекция " + modelData.lecture + ": "
                                         + (modelData.opened ? "открывалась" : "не открывалась")
                                         + (modelData.best >= 0 ? ", лучший результат теста " + modelData.best + " %" : "")
                                         + (passed ? ", тест сдан" : "")
                        Text {
                            width: parent.width; y: 0
                            horizontalAlignment: Text.AlignHCenter
                            text: "Л" + modelData.lecture
                            font.family: Theme.font; font.pixelSize: Theme.tiny
                            color: modelData.opened ? Theme.ink : Theme.muted
                        }
                        Rectangle {
                            y: 16; width: parent.width; height: 8; radius: 4
                            color: Theme.primarySoft
                            Rectangle {
                                height: parent.height; radius: 4
                                visible: modelData.opened || modelData.best >= 0
                                width: modelData.best >= 0 ? Math.max(8, parent.width * modelData.best / 100) : 8
                                color: modelData.best < 0 ? Theme.primary : (parent.parent.passed ? Theme.success : Theme.accent)
                            }
                        }
                        Text {
                            width: parent.width; y: 27
                            horizontalAlignment: Text.AlignHCenter
                            text: modelData.best >= 0 ? modelData.best + "%" : (modelData.opened ? "•" : "")
                            font.family: Theme.font; font.pixelSize: Theme.tiny
                            color: modelData.best < 0 ? Theme.muted : (parent.passed ? Theme.success : Theme.accent)
                        }
                    }
                }
            }
        }
        TButton {
            objectName: "exit"
            text: "Выход"
            iconName: "exit"
            anchors.right: parent.right; anchors.rightMargin: 28
            anchors.verticalCenter: parent.verticalCenter
            onClicked: root.fsCommand(objectName, "")
        }
    }

    // The next learner takes the seat; and, quietly, where a lab seat
    // keeps its records. Last in the tree: last on the Tab path too.
    Row {
        anchors.right: parent.right; anchors.rightMargin: 40
        z: 1
        y: 6
        spacing: 12
        Text {
            objectName: "seatText"
            visible: root.seatText.length > 0
            anchors.verticalCenter: parent.verticalCenter
            text: root.seatText
            font.family: Theme.font; font.pixelSize: Theme.tiny
            color: Theme.onDarkMuted
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        TButton {
            objectName: "DoChangeUser"; text: "Сменить ученика"; iconName: "user"
            variant: "onDark"; fontSize: Theme.tiny
            implicitHeight: 28
            onClicked: root.fsCommand(objectName, "")
        }
    }
}
