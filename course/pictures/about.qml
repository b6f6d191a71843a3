import QtQuick
import "components"

// About the program: what the textbook is for and what it holds.
Rectangle {
    id: root
    width: 551
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    function play() {
        entry.stop();
        entry.start();
    }
    Component.onCompleted: play()
    // A frame jump shows the screen at rest.
    onFrameChanged: entry.complete()

    ParallelAnimation {
        id: entry
        Entrance { target: text; restY: 0; distance: 14; duration: 400 }
        Entrance { target: features; restY: 196; delay: 120; distance: 14; duration: 400 }
    }

    // ---- emblem ---------------------------------------------------------
    Rectangle {
        id: emblem
        width: 190; height: root.height
        gradient: Gradient {
            GradientStop { position: 0; color: Theme.primaryDark }
            GradientStop { position: 1; color: Theme.primary }
        }
        clip: true

        // Eight lectures circling the book: one dot for each.
        Item {
            id: orbit
            width: 150; height: 150
            anchors.horizontalCenter: parent.horizontalCenter
            y: 90
            Rectangle {
                anchors.fill: parent; radius: width / 2
                color: "transparent"; border.width: 1; border.color: Qt.rgba(1, 1, 1, 0.18)
            }
            Repeater {
                model: 8
                Rectangle {
                    readonly property real angle: index / 8 * Math.PI * 2 + spin.angle
                    width: index === 0 ? 14 : 9; height: width; radius: width / 2
                    x: orbit.width / 2 + Math.cos(angle) * orbit.width / 2 - width / 2
                    y: orbit.height / 2 + Math.sin(angle) * orbit.height / 2 - height / 2
                    color: index === 0 ? Theme.accentBright : Qt.rgba(1, 1, 1, 0.55)
                }
            }
            QtObject {
                id: spin
                property real angle: 0
                NumberAnimation on angle {
                    from: 0; to: Math.PI * 2; duration: 24000; loops: Animation.Infinite
                }
            }
            Rectangle {
                anchors.centerIn: parent
                width: 76; height: 76; radius: 18
                color: Theme.accent
                Text {
                    anchors.centerIn: parent
                    text: "Т"
                    font.family: Theme.font; font.pixelSize: 46; font.bold: true
                    color: Theme.onDark
                }
            }
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            y: 278
            text: "Версия 0.1.0"
            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
            color: Theme.onDarkMuted
        }
    }

    // ---- what it is ----------------------------------------------------
    Item {
        id: text
        x: 0; y: 0
        width: root.width; height: 190
        Text {
            x: 218; y: 28
            text: "Тарвел"
            font.family: Theme.font; font.pixelSize: 36; font.bold: true
            color: Theme.primary
        }
        Text {
            x: 220; y: 76; width: root.width - 250
            text: "Электронный учебник по курсу «Основы информатики»"
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.heading - 1; font.bold: true
            color: Theme.ink
        }
        Text {
            x: 220; y: 124; width: root.width - 250
            text: "Читайте лекции, смотрите анимации, проверяйте себя тестами и передавайте отчёт преподавателю."
            wrapMode: Text.WordWrap
            lineHeight: 1.2
            font.family: Theme.font; font.pixelSize: Theme.small + 1
            color: Theme.muted
        }
    }

    Column {
        id: features
        x: 220; y: 196
        spacing: 9
        Repeater {
            model: [
                { glyph: "book", line: "Восемь лекций с анимациями" },
                { glyph: "check", line: "Тесты по лекциям и общий тест" },
                { glyph: "chart", line: "Статистика результатов" },
                { glyph: "document", line: "Отчёт для преподавателя" }
            ]
            Row {
                spacing: 10
                Rectangle {
                    width: 26; height: 26; radius: 13
                    color: Theme.primarySoft
                    Icon { anchors.centerIn: parent; width: 15; height: 15; name: modelData.glyph }
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: modelData.line
                    font.family: Theme.font; font.pixelSize: Theme.body
                    color: Theme.ink
                }
            }
        }
    }

    TButton {
        objectName: "close"; text: "Закрыть"; iconName: "close"; variant: "primary"
        x: root.width - width - 28
        y: root.height - height - 24
        onClicked: root.fsCommand(objectName, "")
    }
}
