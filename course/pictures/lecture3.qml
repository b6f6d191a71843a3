import QtQuick
import "components"

// Lecture 3: logic — the half adder adds two bits, one input pair at a time:
// the «=1» element gives the sum digit S, the «&» element the carry P.
Rectangle {
    id: root
    width: 550
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    // Frame n shows step n - 1 at rest; play() runs on from there.
    function play() { scene.run(); }
    onFrameChanged: scene.show(frame - 1)
    Component.onCompleted: play()

    // Steps 0–3 walk the four input pairs; the last step sums up 1 + 1.
    readonly property int row: Math.min(scene.step, 3)
    readonly property int a: row >> 1 & 1
    readonly property int b: row & 1
    readonly property int s: a ^ b
    readonly property int p: a & b

    LectureScene {
        id: scene
        number: 3
        title: "Логика и логические элементы"
        interval: 3200
        captions: [
            "Полусумматор складывает два бита. A = 0, B = 0: элемент «=1» даёт S = A ⊕ B = 0, элемент «&» даёт перенос P = A ∧ B = 0.",
            "A = 0, B = 1. Входы различны, поэтому S = 0 ⊕ 1 = 1; перенос P = 0 ∧ 1 = 0. Сумма 0 + 1 = 01.",
            "A = 1, B = 0. Снова S = 1 ⊕ 0 = 1 и P = 1 ∧ 0 = 0. Сумма 1 + 0 = 01.",
            "A = 1, B = 1. Входы равны, поэтому S = 1 ⊕ 1 = 0; оба входа равны 1, и возникает перенос P = 1 ∧ 1 = 1.",
            "Итог: 1 + 1 = 10 в двоичной системе. S — цифра суммы в этом разряде, P — перенос в следующий, старший разряд."
        ]

        component Lamp: Rectangle {
            property int value
            property string name
            width: 34; height: 34; radius: 17
            color: value ? Theme.accentBright : Theme.surface
            border.width: 2
            border.color: value ? Theme.accent : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 250 } }
            Text {
                anchors.centerIn: parent
                text: parent.value
                font.family: "Liberation Mono"; font.pixelSize: 17; font.bold: true
                color: parent.value ? Theme.primaryDark : Theme.muted
            }
            Text {
                anchors.bottom: parent.top; anchors.bottomMargin: 2
                anchors.horizontalCenter: parent.horizontalCenter
                text: parent.name
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.primary
            }
        }
        // A wire carries its signal: lit when it is 1.
        component Wire: Rectangle {
            property int value
            color: value ? Theme.accent : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 250 } }
        }
        // A gate in the notation of the lecture: a rectangle with its sign.
        component Gate: Rectangle {
            property string sign
            width: 62; height: 76; radius: 4
            color: Theme.surface
            border.width: 2; border.color: Theme.primary
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 8
                text: parent.sign
                font.family: Theme.font; font.pixelSize: 20; font.bold: true
                color: Theme.primary
            }
        }

        Item {
            id: circuit
            width: 290; height: 262

            Lamp { x: 16; y: 24; value: root.a; name: "A" }
            Lamp { x: 16; y: 204; value: root.b; name: "B" }

            // A goes to the upper inputs of both gates, B to the lower ones.
            Wire { value: root.a; x: 50; y: 40; width: 90; height: 2 }
            Wire { value: root.a; x: 86; y: 40; width: 2; height: 142 }
            Wire { value: root.a; x: 86; y: 180; width: 54; height: 2 }
            Wire { value: root.b; x: 50; y: 220; width: 90; height: 2 }
            Wire { value: root.b; x: 110; y: 80; width: 2; height: 142 }
            Wire { value: root.b; x: 110; y: 80; width: 30; height: 2 }
            Rectangle { x: 82; y: 36; width: 10; height: 10; radius: 5; color: root.a ? Theme.accent : Theme.lineStrong }
            Rectangle { x: 106; y: 216; width: 10; height: 10; radius: 5; color: root.b ? Theme.accent : Theme.lineStrong }

            Gate { id: xorGate; sign: "=1"; x: 140; y: 22 }
            Gate { id: andGate; sign: "&"; x: 140; y: 162 }

            Wire { value: root.s; x: 202; y: 60; width: 36; height: 2 }
            Wire { value: root.p; x: 202; y: 200; width: 36; height: 2 }
            Lamp { x: 238; y: 44; value: root.s; name: "S" }
            Lamp { x: 238; y: 184; value: root.p; name: "P" }

            Text {
                x: 140; y: 104
                text: "S = A ⊕ B"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.ink
            }
            Text {
                x: 140; y: 244
                text: "P = A ∧ B"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.ink
            }
        }

        Card {
            x: 300; y: 0; width: 218; height: 252
            Text {
                x: 16; y: 10
                text: "Таблица полусумматора"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Column {
                x: 12; y: 34
                Row {
                    Repeater {
                        model: ["A", "B", "P", "S"]
                        Text {
                            width: 48; height: 26
                            horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                            text: modelData
                            font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
                Repeater {
                    model: 4
                    Rectangle {
                        readonly property int ra: index >> 1 & 1
                        readonly property int rb: index & 1
                        width: 192; height: 30; radius: 6
                        color: root.row === index ? Theme.accentSoft : "transparent"
                        border.width: root.row === index ? 1 : 0
                        border.color: "#EBC39C"
                        Behavior on color { ColorAnimation { duration: 250 } }
                        Row {
                            anchors.verticalCenter: parent.verticalCenter
                            Repeater {
                                model: [parent.parent.ra, parent.parent.rb,
                                        parent.parent.ra & parent.parent.rb, parent.parent.ra ^ parent.parent.rb]
                                Text {
                                    width: 48
                                    horizontalAlignment: Text.AlignHCenter
                                    text: modelData
                                    font.family: "Liberation Mono"; font.pixelSize: 17
                                    font.bold: index >= 2
                                    color: index >= 2 && modelData ? Theme.accent : Theme.ink
                                }
                            }
                        }
                    }
                }
            }
            // The same sum written as a column addition.
            Rectangle {
                x: 16; y: 192; width: 186; height: 56; radius: 8
                color: Theme.primary
                Text {
                    anchors.centerIn: parent
                    text: root.a + " + " + root.b + " = " + root.p + root.s
                    font.family: "Liberation Mono"; font.pixelSize: 24; font.bold: true
                    color: Theme.onDark
                }
            }
        }
    }
}
