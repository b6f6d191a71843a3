import QtQuick
import "components"

// Lecture 1: information and its measurement — from one bit to gigabytes,
// the volume of a word by the alphabetical approach, then Hartley's formula
// as halving questions.
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

    LectureScene {
        id: scene
        number: 1
        title: "Информация и её измерение"
        captions: [
            "Бит — наименьшая единица информации. Он принимает одно из двух значений: 0 или 1.",
            "Восемь битов составляют байт: 1 байт = 8 бит.",
            "Одного байта хватает на один символ: в кодировке Windows-1251 буква «Т» имеет код 210, то есть 11010010.",
            "Байты собираются в килобайты: 1 Кбайт = 1024 байт.",
            "1 Мбайт = 1024 Кбайт, 1 Гбайт = 1024 Мбайт: каждая ступень в 1024 раза больше.",
            "Объём текста: в слове «ТЕКСТ» K = 5 символов, и в Windows-1251 каждый весит i = 8 бит.",
            "I = K · i = 5 · 8 = 40 бит, то есть 5 байт: объём зависит от числа символов, а не от смысла.",
            "Формула Хартли: загадана одна из N = 8 равновероятных карточек. Сколько вопросов «да или нет» нужно, чтобы её найти?",
            "Вопрос 1: «Номер больше 4?» — «Да». Осталось 4 карточки из 8: ответ несёт 1 бит.",
            "Вопрос 2: «Номер больше 6?» — «Нет». Осталось 2 карточки: получено уже 2 бита.",
            "Вопрос 3: «Номер больше 5?» — «Да». Это карточка 6. Три ответа — 3 бита: по формуле Хартли 8 = 2³, i = 3."
        ]

        Item {
            id: bits
            width: 518; height: 120
            opacity: scene.step >= 7 ? 0 : 1
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 300 } }
            property int blink: 0
            readonly property string letter: "11010010"
            readonly property string sample: "01100101"
            Timer {
                interval: 600; repeat: true; running: scene.step === 0
                onTriggered: bits.blink = 1 - bits.blink
            }
            Row {
                id: cells
                x: 40; y: 22
                spacing: 8
                Repeater {
                    model: 8
                    Rectangle {
                        readonly property bool shown: index === 0 || scene.step >= 1
                        readonly property string value: scene.step === 0 ? (index === 0 ? String(bits.blink) : "0")
                                                      : scene.step === 1 ? bits.sample[index]
                                                      : bits.letter[index]
                        width: 42; height: 46; radius: 8
                        opacity: shown ? 1 : 0.18
                        color: value === "1" ? Theme.primary : Theme.surface
                        border.width: 2
                        border.color: Theme.primary
                        Behavior on opacity { NumberAnimation { duration: 300 + index * 60 } }
                        Behavior on color { ColorAnimation { duration: 220 } }
                        Text {
                            anchors.centerIn: parent
                            text: parent.value
                            font.family: "Liberation Mono"; font.pixelSize: 24; font.bold: true
                            color: parent.value === "1" ? Theme.onDark : Theme.primary
                        }
                    }
                }
            }
            // The brace under the byte.
            Rectangle {
                x: cells.x; y: cells.y + 56
                width: scene.step >= 1 ? cells.width : 42; height: 3; radius: 1.5
                color: Theme.accent
                Behavior on width { NumberAnimation { duration: 400; easing.type: Easing.OutCubic } }
            }
            Text {
                x: cells.x; y: cells.y + 64
                text: scene.step >= 1 ? "1 байт = 8 бит" : "1 бит"
                font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                color: Theme.accent
            }
            Rectangle {
                x: cells.x + cells.width + 18; y: cells.y
                width: 46; height: 46; radius: 8
                color: Theme.accentSoft
                opacity: scene.step === 2 ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 300 } }
                Text {
                    anchors.centerIn: parent
                    text: "Т"
                    font.family: Theme.font; font.pixelSize: 28; font.bold: true
                    color: Theme.accent
                }
            }
        }

        // The ladder of units: each step is 1024 of the one before.
        Row {
            x: 20; y: 132
            spacing: 0
            Repeater {
                model: [
                    { unit: "байт", from: 3 },
                    { unit: "Кбайт", from: 3 },
                    { unit: "Мбайт", from: 4 },
                    { unit: "Гбайт", from: 4 }
                ]
                Row {
                    readonly property bool shown: scene.step >= modelData.from
                    spacing: 0
                    // The word of the last two steps takes the ladder's place.
                    opacity: scene.step >= 5 ? 0 : shown ? 1 : 0.12
                    Behavior on opacity { NumberAnimation { duration: 400 } }
                    Item {
                        visible: index > 0
                        width: 56; height: 120
                        Text {
                            anchors.centerIn: parent
                            anchors.verticalCenterOffset: 30
                            text: "×1024"
                            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                            color: Theme.accent
                        }
                        Icon {
                            anchors.centerIn: parent; anchors.verticalCenterOffset: 48
                            width: 18; height: 18; name: "forward"; color: Theme.accent
                        }
                    }
                    Item {
                        width: 74; height: 120
                        Rectangle {
                            width: parent.width
                            height: 36 + index * 26
                            anchors.bottom: parent.bottom
                            radius: 8
                            color: ["#E7EDF6", "#BFD0E6", "#4F6F99", Theme.primary][index]
                            border.width: 1
                            border.color: Theme.lineStrong
                            Text {
                                anchors.centerIn: parent
                                text: modelData.unit
                                font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                                color: index >= 2 ? Theme.onDark : Theme.primary
                            }
                        }
                    }
                }
            }
        }

        // The alphabetical approach: a word, its symbols and its volume.
        Item {
            x: 20; y: 132; width: 478; height: 120
            opacity: scene.step >= 5 && scene.step < 7 ? 1 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 400 } }
            Row {
                id: word
                spacing: 8
                Repeater {
                    model: ["Т", "Е", "К", "С", "Т"]
                    Rectangle {
                        width: 54; height: 54; radius: 8
                        color: Theme.accentSoft
                        border.width: 2; border.color: Theme.accent
                        Text {
                            anchors.centerIn: parent; anchors.verticalCenterOffset: -6
                            text: modelData
                            font.family: Theme.font; font.pixelSize: 24; font.bold: true
                            color: Theme.accent
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            anchors.bottom: parent.bottom; anchors.bottomMargin: 3
                            text: "8 бит"
                            font.family: Theme.font; font.pixelSize: Theme.tiny; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
            }
            Text {
                x: word.width + 24; y: 14
                text: "K = 5,  i = 8 бит"
                font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                color: Theme.primary
            }
            Rectangle {
                y: 72; width: 478; height: 44; radius: 10
                color: Theme.primary
                opacity: scene.step >= 6 ? 1 : 0.15
                Behavior on opacity { NumberAnimation { duration: 400 } }
                Text {
                    anchors.centerIn: parent
                    text: "I = K · i = 5 · 8 = 40 бит = 5 байт"
                    font.family: Theme.font; font.pixelSize: 20; font.bold: true
                    color: Theme.onDark
                }
            }
        }
            // Hartley's formula: every answer halves the cards still possible.
        Item {
            id: hartley
            x: 10; y: 8; width: 498; height: 240
            opacity: scene.step >= 7 ? 1 : 0
            visible: opacity > 0
            Behavior on opacity { NumberAnimation { duration: 400 } }
            // Answers given so far, and the cards each leaves.
            readonly property int answers: Math.max(0, scene.step - 7)
            readonly property var low: [1, 5, 5, 6]
            readonly property var high: [8, 8, 6, 6]
            Row {
                id: cards
                x: (parent.width - width) / 2
                spacing: 10
                Repeater {
                    model: 8
                    Rectangle {
                        readonly property int number: index + 1
                        readonly property bool open: number >= hartley.low[hartley.answers]
                                                     && number <= hartley.high[hartley.answers]
                        width: 50; height: 70; radius: 8
                        color: open ? (hartley.answers === 3 ? Theme.accent : Theme.primary) : Theme.surface
                        border.width: 2
                        border.color: open ? Theme.primary : Theme.line
                        opacity: open ? 1 : 0.45
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Behavior on opacity { NumberAnimation { duration: 300 } }
                        Text {
                            anchors.centerIn: parent
                            text: parent.number
                            font.family: Theme.font; font.pixelSize: 24; font.bold: true
                            color: parent.open ? Theme.onDark : Theme.muted
                        }
                    }
                }
            }
            Column {
                x: cards.x; y: 88
                spacing: 6
                Repeater {
                    model: ["1-й ответ: осталось 4 карточки — 1 бит",
                            "2-й ответ: осталось 2 карточки — 2 бита",
                            "3-й ответ: осталась 1 карточка — 3 бита"]
                    Text {
                        text: modelData
                        opacity: index < hartley.answers ? 1 : 0
                        Behavior on opacity { NumberAnimation { duration: 300 } }
                        font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                        color: Theme.primary
                    }
                }
            }
            Rectangle {
                y: 190; width: parent.width; height: 44; radius: 10
                color: Theme.primary
                opacity: hartley.answers === 3 ? 1 : 0.15
                Behavior on opacity { NumberAnimation { duration: 400 } }
                Text {
                    anchors.centerIn: parent
                    textFormat: Text.RichText
                    text: "N = 2<sup>i</sup>&nbsp;&nbsp;→&nbsp;&nbsp;8 = 2<sup>3</sup>, i = 3 бита"
                    font.family: Theme.font; font.pixelSize: 20; font.bold: true
                    color: Theme.onDark
                }
            }
        }
    }
}
