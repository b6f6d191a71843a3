import QtQuick
import "components"

// Lecture 4: algorithms — a counting-down loop walked block by block.
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

    // Where the token stands at each step, what n holds and what was printed.
    readonly property var trace: [
        { at: "start", n: "—", out: "" },
        { at: "input", n: "3", out: "" },
        { at: "test", n: "3", out: "" },
        { at: "body", n: "2", out: "3" },
        { at: "test", n: "2", out: "3" },
        { at: "body", n: "1", out: "3 2" },
        { at: "test", n: "1", out: "3 2" },
        { at: "body", n: "0", out: "3 2 1" },
        { at: "test", n: "0", out: "3 2 1" },
        { at: "end", n: "0", out: "3 2 1" }
    ]
    readonly property var now: trace[scene.step]

    LectureScene {
        id: scene
        number: 4
        title: "Алгоритмы"
        interval: 1900
        captions: [
            "Алгоритм — точная последовательность шагов. Выполнение начинается с блока «Начало».",
            "Вводим n = 3.",
            "Проверяем условие n > 0: 3 > 0 — да, идём в тело цикла.",
            "Выводим n и уменьшаем его на 1: теперь n = 2.",
            "2 > 0 — да, цикл повторяется.",
            "Выводим 2, теперь n = 1.",
            "1 > 0 — да, ещё один круг.",
            "Выводим 1, теперь n = 0.",
            "0 > 0 — нет: выходим из цикла.",
            "Конец. Алгоритм вывел 3, 2, 1 — так работает цикл с условием."
        ]

        component Block: Rectangle {
            property string label
            property string key
            readonly property bool current: root.now.at === key
            width: 150; height: 34
            radius: 8
            color: current ? Theme.accentSoft : Theme.surface
            border.width: current ? 2 : 1
            border.color: current ? Theme.accent : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 200 } }
            Text {
                anchors.centerIn: parent
                text: parent.label
                font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                color: Theme.ink
            }
        }
        component Wire: Rectangle { color: Theme.lineStrong }

        Item {
            id: chart
            width: 330; height: 262

            Wire { x: 104; y: 30; width: 2; height: 14 }
            Wire { x: 104; y: 78; width: 2; height: 14 }
            Wire { x: 104; y: 160; width: 2; height: 16 }
            // Back from the body to the test: the loop.
            Wire { x: 180; y: 193; width: 40; height: 2 }
            Wire { x: 218; y: 126; width: 2; height: 69 }
            Wire { x: 150; y: 126; width: 70; height: 2 }
            // Out of the loop when the test fails.
            Wire { x: 30; y: 126; width: 30; height: 2 }
            Wire { x: 30; y: 126; width: 2; height: 119 }
            Wire { x: 30; y: 244; width: 16; height: 2 }
            Text { x: 36; y: 106; text: "нет"; font.family: Theme.font; font.pixelSize: Theme.tiny; color: Theme.muted }
            Text { x: 112; y: 161; text: "да"; font.family: Theme.font; font.pixelSize: Theme.tiny; color: Theme.muted }

            Block { id: start; key: "start"; label: "Начало"; x: 30; y: 0; height: 30; radius: 15 }
            Block { id: input; key: "input"; label: "Ввод n"; x: 30; y: 44 }
            Item {
                id: test
                x: 60; y: 92; width: 90; height: 68
                readonly property bool current: root.now.at === "test"
                Rectangle {
                    anchors.centerIn: parent
                    width: 48; height: 48; rotation: 45
                    color: test.current ? Theme.accentSoft : Theme.surface
                    border.width: test.current ? 2 : 1
                    border.color: test.current ? Theme.accent : Theme.lineStrong
                    transform: Scale { origin.x: 24; origin.y: 24; xScale: 1.3 }
                }
                Text {
                    anchors.centerIn: parent
                    text: "n > 0 ?"
                    font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                    color: Theme.ink
                }
            }
            Block { id: body; key: "body"; label: "Вывод n;  n = n − 1"; x: 30; y: 176; width: 150 }
            Block { id: finish; key: "end"; label: "Конец"; x: 46; y: 230; width: 120; height: 30; radius: 15 }

            // The token that walks the chart.
            Rectangle {
                readonly property Item target: ({ start: start, input: input, test: test, body: body, end: finish })[root.now.at]
                width: 16; height: 16; radius: 8
                color: Theme.accent
                border.width: 2; border.color: Theme.surface
                x: target.x + target.width - 8
                y: target.y + target.height / 2 - 8
                Behavior on x { NumberAnimation { duration: 450; easing.type: Easing.InOutCubic } }
                Behavior on y { NumberAnimation { duration: 450; easing.type: Easing.InOutCubic } }
            }
        }

        Card {
            x: 300; y: 0; width: 218; height: 262
            Text {
                x: 18; y: 14
                text: "Переменная"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Rectangle {
                x: 18; y: 38; width: 182; height: 64; radius: 10
                color: Theme.primary
                Text {
                    anchors.centerIn: parent
                    text: "n = " + root.now.n
                    font.family: "Liberation Mono"; font.pixelSize: 28; font.bold: true
                    color: Theme.onDark
                }
            }
            Text {
                x: 18; y: 124
                text: "Вывод"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Rectangle {
                x: 18; y: 148; width: 182; height: 64; radius: 10
                color: "#17212E"
                Text {
                    x: 14; anchors.verticalCenter: parent.verticalCenter
                    text: root.now.out + (root.now.at === "end" ? "" : "▌")
                    font.family: "Liberation Mono"; font.pixelSize: 24; font.bold: true
                    color: "#8FE3A8"
                }
            }
        }
    }
}
