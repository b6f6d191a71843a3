import QtQuick
import "components"

// Lecture 2: number systems — 13 turned into binary by halving, then
// –13 in a byte as two's complement.
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

    // Each halving of 13: the dividend, the quotient and the remainder.
    readonly property var rows: {
        const out = [];
        for (let n = 13; n > 0; n = Math.floor(n / 2))
            out.push({ n: n, q: Math.floor(n / 2), r: n % 2 });
        return out;
    }

    LectureScene {
        id: scene
        number: 2
        title: "Системы счисления"
        captions: [
            "Переведём число 13 в двоичную систему: будем делить его на 2 и запоминать остатки.",
            "13 : 2 = 6, остаток 1.",
            "6 : 2 = 3, остаток 0.",
            "3 : 2 = 1, остаток 1.",
            "1 : 2 = 0, остаток 1. Частное стало нулём — деление закончено.",
            "Читаем остатки снизу вверх: 13₁₀ = 1101₂.",
            "Проверка: 1·8 + 1·4 + 0·2 + 1·1 = 13.",
            "Дополнительный код: запишем –13 в байте. Сначала модуль, 13, в восьми битах: 00001101.",
            "Заменим каждый бит на противоположный — получится обратный код 11110010.",
            "Прибавим единицу: дополнительный код –13 равен 11110011. Старший бит 1 — число отрицательное.",
            "Проверка: 00001101 + 11110011 = 1 00000000. Девятый бит в байт не помещается, остаётся 0 = 13 + (–13)."
        ]

        Card {
            x: 0; y: 0; width: 250; height: 252
            opacity: scene.step >= 7 ? 0 : 1
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300 } }
            Text {
                x: 16; y: 12
                text: "Деление на 2"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Column {
                x: 16; y: 40
                spacing: 8
                Repeater {
                    model: root.rows
                    Rectangle {
                        readonly property bool shown: scene.step >= index + 1
                        width: 218; height: 40; radius: 8
                        color: scene.step === index + 1 ? Theme.accentSoft : Theme.primarySofter
                        opacity: shown ? 1 : 0
                        Behavior on opacity { NumberAnimation { duration: 350 } }
                        Text {
                            x: 12; anchors.verticalCenter: parent.verticalCenter
                            text: modelData.n + " : 2 = " + modelData.q
                            font.family: "Liberation Mono"; font.pixelSize: 17
                            color: Theme.ink
                        }
                        Rectangle {
                            anchors.right: parent.right; anchors.rightMargin: 6
                            anchors.verticalCenter: parent.verticalCenter
                            width: 30; height: 30; radius: 15
                            color: scene.step >= 5 ? Theme.accent : Theme.primary
                            Behavior on color { ColorAnimation { duration: 300 } }
                            Text {
                                anchors.centerIn: parent
                                text: modelData.r
                                font.family: "Liberation Mono"; font.pixelSize: 17; font.bold: true
                                color: Theme.onDark
                            }
                        }
                    }
                }
            }
            // The arrow that reads the remainders from the bottom up.
            Rectangle {
                x: 250 - 14; y: 44
                width: 3; height: 184; radius: 1.5
                color: Theme.accent
                opacity: scene.step >= 5 ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 300 } }
                Icon {
                    x: -8; y: -14; width: 19; height: 19
                    name: "forward"; color: Theme.accent
                    rotation: -90
                }
            }
        }

        Item {
            x: 270; y: 0; width: 248; height: 252
            opacity: scene.step >= 7 ? 0 : 1
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300 } }
            Text {
                x: 0; y: 40; width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: "13₁₀ ="
                font.family: Theme.font; font.pixelSize: 26; font.bold: true
                color: Theme.primary
            }
            Row {
                id: digits
                anchors.horizontalCenter: parent.horizontalCenter
                y: 90
                spacing: 8
                Repeater {
                    model: 4
                    Column {
                        spacing: 6
                        // Digit i of 1101 comes from the remainder of row 3 - i.
                        readonly property bool shown: scene.step >= 5
                        Rectangle {
                            width: 46; height: 54; radius: 8
                            color: parent.shown ? Theme.primary : Theme.surface
                            border.width: 2; border.color: Theme.primary
                            Behavior on color { ColorAnimation { duration: 300 + index * 120 } }
                            Text {
                                anchors.centerIn: parent
                                text: parent.parent.shown ? root.rows[3 - index].r : "?"
                                font.family: "Liberation Mono"; font.pixelSize: 26; font.bold: true
                                color: parent.parent.shown ? Theme.onDark : Theme.lineStrong
                            }
                        }
                        Text {
                            width: 46
                            horizontalAlignment: Text.AlignHCenter
                            text: "·" + (8 >> index)
                            opacity: scene.step >= 6 ? 1 : 0
                            Behavior on opacity { NumberAnimation { duration: 300 } }
                            font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                            color: Theme.accent
                        }
                    }
                }
            }
            // The base of the result.
            Text {
                x: digits.x + digits.width + 4; y: digits.y + 34
                text: "2"
                opacity: scene.step >= 5 ? 1 : 0
                font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                color: Theme.primary
            }
            Text {
                x: 0; y: 190; width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: "8 + 4 + 0 + 1 = 13"
                opacity: scene.step >= 6 ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 400 } }
                font.family: Theme.font; font.pixelSize: Theme.title; font.bold: true
                color: Theme.success
            }
        }
        // Two's complement of –13: the magnitude, its inversion, plus one, and the check.
        Item {
            id: complement
            x: 0; y: 0; width: 518; height: 250
            opacity: scene.step >= 7 ? 1 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 400 } }
            readonly property var lines: [
                { label: "13", bits: "00001101", from: 7 },
                { label: "обратный", bits: "11110010", from: 8 },
                { label: "–13", bits: "11110011", from: 9 },
                { label: "13 + (–13)", bits: "00000000", from: 10 }
            ]
            Column {
                spacing: 10
                Repeater {
                    model: complement.lines
                    Row {
                        spacing: 6
                        opacity: scene.step >= modelData.from ? 1 : 0.12
                        Behavior on opacity { NumberAnimation { duration: 300 } }
                        Text {
                            width: 112; height: 46
                            verticalAlignment: Text.AlignVCenter
                            horizontalAlignment: Text.AlignRight
                            text: modelData.label
                            font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                            color: index === 2 ? Theme.accent : Theme.primary
                        }
                        // The ninth bit that the byte drops.
                        Rectangle {
                            width: 34; height: 46; radius: 8
                            color: "transparent"
                            border.width: index === 3 ? 2 : 0
                            border.color: Theme.lineStrong
                            Text {
                                anchors.centerIn: parent
                                text: index === 3 ? "1" : ""
                                font.family: "Liberation Mono"; font.pixelSize: 22; font.bold: true
                                font.strikeout: true
                                color: Theme.muted
                            }
                        }
                        Repeater {
                            model: 8
                            Rectangle {
                                readonly property string value: complement.lines[parent.lineIndex].bits[index]
                                width: 38; height: 46; radius: 8
                                color: value === "1" ? (parent.lineIndex === 2 ? Theme.accent : Theme.primary) : Theme.surface
                                border.width: 2
                                border.color: parent.lineIndex === 2 ? Theme.accent : Theme.primary
                                Text {
                                    anchors.centerIn: parent
                                    text: parent.value
                                    font.family: "Liberation Mono"; font.pixelSize: 22; font.bold: true
                                    color: parent.value === "1" ? Theme.onDark : Theme.primary
                                }
                            }
                        }
                        readonly property int lineIndex: index
                    }
                }
            }
        }
    }
}
