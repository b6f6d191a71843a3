import QtQuick
import "components"

// Lecture 3: logic — the gates И, ИЛИ and НЕ over every pair of inputs.
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

    readonly property int a: scene.step >> 1 & 1
    readonly property int b: scene.step & 1

    LectureScene {
        id: scene
        number: 3
        title: "Логика и логические элементы"
        interval: 3000
        captions: [0, 1, 2, 3].map(s => {
            const a = s >> 1 & 1, b = s & 1;
            return "A = " + a + ", B = " + b + ": И даёт " + (a & b) + ", ИЛИ даёт " + (a | b)
                   + ", НЕ A даёт " + (1 - a) + ".";
        })

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
                font.family: "Liberation Mono"; font.pixelSize: 16; font.bold: true
                color: parent.value ? Theme.primaryDark : Theme.muted
            }
            Text {
                anchors.right: parent.left; anchors.rightMargin: 5
                anchors.verticalCenter: parent.verticalCenter
                text: parent.name
                font.family: Theme.font; font.pixelSize: Theme.tiny; font.bold: true
                color: Theme.muted
            }
        }
        component Gate: Item {
            property string label
            property int output
            property bool single: false
            width: 230; height: 70
            Lamp { x: 0; y: parent.single ? 20 : 0; value: root.a; name: "A" }
            Lamp { x: 0; y: 40; value: root.b; name: "B"; visible: !parent.single }
            Rectangle { x: 34; y: parent.single ? 36 : 16; width: 40; height: 2; color: Theme.lineStrong }
            Rectangle { x: 34; y: 56; width: 40; height: 2; color: Theme.lineStrong; visible: !parent.single }
            Rectangle {
                x: 74; y: 4; width: 84; height: 68; radius: 12
                color: Theme.primary
                Text {
                    anchors.centerIn: parent
                    text: parent.parent.label
                    font.family: Theme.font; font.pixelSize: 20; font.bold: true
                    color: Theme.onDark
                }
            }
            Rectangle { x: 158; y: 37; width: 36; height: 2; color: Theme.lineStrong }
            Lamp { x: 194; y: 21; value: parent.output; name: "" }
        }

        Column {
            x: 18; y: 4
            spacing: 14
            Gate { label: "И"; output: root.a & root.b }
            Gate { label: "ИЛИ"; output: root.a | root.b }
            Gate { label: "НЕ"; output: 1 - root.a; single: true }
        }

        Card {
            x: 262; y: 0; width: 256; height: 262
            Text {
                x: 16; y: 12
                text: "Таблица истинности"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Column {
                x: 12; y: 40
                Row {
                    Repeater {
                        model: ["A", "B", "И", "ИЛИ", "НЕ A"]
                        Text {
                            width: 46; height: 30
                            horizontalAlignment: Text.AlignHCenter; verticalAlignment: Text.AlignVCenter
                            text: modelData
                            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
                Repeater {
                    model: 4
                    Rectangle {
                        readonly property int ra: index >> 1 & 1
                        readonly property int rb: index & 1
                        width: 230; height: 40; radius: 6
                        color: scene.step === index ? Theme.accentSoft : "transparent"
                        border.width: scene.step === index ? 1 : 0
                        border.color: "#EBC39C"
                        Behavior on color { ColorAnimation { duration: 250 } }
                        Row {
                            anchors.verticalCenter: parent.verticalCenter
                            Repeater {
                                model: [parent.parent.ra, parent.parent.rb, parent.parent.ra & parent.parent.rb,
                                        parent.parent.ra | parent.parent.rb, 1 - parent.parent.ra]
                                Text {
                                    width: 46
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
        }
    }
}
