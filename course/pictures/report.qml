import QtQuick
import "components"

// Report for the teacher: explains what the .rep file is before the
// learner is asked where to save it.
Rectangle {
    id: root
    width: 550
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    // The three steps light up in turn, so the way of the file reads at a glance.
    property int lit: 0

    function play() {
        entry.stop();
        entry.start();
        lit = 0;
        stepper.restart();
    }
    Component.onCompleted: play()
    // A frame jump shows the screen at rest.
    onFrameChanged: entry.complete()

    ParallelAnimation {
        id: entry
        Entrance { target: intro; restY: 0; distance: 12; duration: 380 }
        Entrance { target: steps; restY: 176; delay: 100; distance: 14; duration: 400 }
    }
    Timer {
        id: stepper
        interval: 700; repeat: true
        onTriggered: {
            root.lit += 1;
            if (root.lit >= 3)
                stop();
        }
    }

    Item {
        id: intro
        x: 0; y: 0
        width: root.width; height: 170

        Rectangle {
            x: 32; y: 28; width: 44; height: 44; radius: 22
            color: Theme.primarySoft
            Icon { anchors.centerIn: parent; width: 24; height: 24; name: "document" }
        }
        Text {
            x: 90; y: 28; height: 44
            verticalAlignment: Text.AlignVCenter
            text: "Отчёт для преподавателя"
            font.family: Theme.font; font.pixelSize: Theme.title; font.bold: true
            color: Theme.ink
        }
        Text {
            x: 32; y: 90; width: root.width - 64
            text: "Отчёт собирает ваши данные и результаты тестов в один файл .rep для программы преподавателя. Строки в нём закодированы, чтобы файл не прочитали и не изменили случайно."
            wrapMode: Text.WordWrap
            lineHeight: 1.2
            font.family: Theme.font; font.pixelSize: Theme.body
            color: Theme.muted
        }
    }

    Row {
        id: steps
        x: 32; y: 176
        spacing: 0
        Repeater {
            model: [
                { glyph: "download", line: "Создайте отчёт" },
                { glyph: "document", line: "Сохраните файл .rep" },
                { glyph: "user", line: "Передайте его преподавателю" }
            ]
            Row {
                spacing: 0
                Rectangle {
                    visible: index > 0
                    width: 24; height: 2
                    anchors.verticalCenter: parent.verticalCenter
                    color: root.lit >= index ? Theme.accent : Theme.line
                    Behavior on color { ColorAnimation { duration: 300 } }
                }
                Card {
                    width: 146; height: 106
                    raised: root.lit >= index
                    border.color: root.lit >= index ? "#EBC39C" : Theme.line
                    Rectangle {
                        x: 14; y: 14; width: 32; height: 32; radius: 16
                        color: root.lit >= index ? Theme.accent : Theme.primarySoft
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Icon {
                            anchors.centerIn: parent; width: 18; height: 18
                            name: modelData.glyph
                            color: root.lit >= index ? Theme.onDark : Theme.primary
                        }
                    }
                    Text {
                        x: 56; y: 14; height: 32
                        verticalAlignment: Text.AlignVCenter
                        text: (index + 1) + ""
                        font.family: Theme.font; font.pixelSize: Theme.title; font.bold: true
                        color: root.lit >= index ? Theme.accent : Theme.lineStrong
                    }
                    Text {
                        x: 14; y: 54; width: parent.width - 28
                        text: modelData.line
                        wrapMode: Text.WordWrap
                        font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                        color: Theme.ink
                    }
                }
            }
        }
    }

    Row {
        anchors.right: parent.right; anchors.rightMargin: 32
        y: root.height - 38 - 30
        spacing: 10
        // The screen starts on its first control: the report, what the
        // learner came for; it is drawn on the right, Закрыть beside it.
        layoutDirection: Qt.RightToLeft
        TButton {
            objectName: "Generate"; text: "Создать отчёт"; iconName: "download"; variant: "accent"
            onClicked: root.fsCommand(objectName, "")
        }
        TButton {
            objectName: "close"; text: "Закрыть"; iconName: "close"
            onClicked: root.fsCommand(objectName, "")
        }
    }
}
