import QtQuick
import "components"

// Lecture 4: algorithms — Euclid's algorithm (the subtraction variant of
// fig. 4.3) finds НОД(21, 15); each step lights the blocks it passes and
// adds a row to the trace table.
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

    // The blocks each step passes, and a and b after it.
    readonly property var trace: [
        { path: ["start", "input"], a: 21, b: 15 },
        { path: ["differ", "greater", "takeB"], a: 6, b: 15 },
        { path: ["differ", "greater", "takeA"], a: 6, b: 9 },
        { path: ["differ", "greater", "takeA"], a: 6, b: 3 },
        { path: ["differ", "greater", "takeB"], a: 3, b: 3 },
        { path: ["differ"], a: 3, b: 3 },
        { path: ["output", "end"], a: 3, b: 3 }
    ]
    readonly property var now: trace[scene.step]
    function lit(key) { return now.path.indexOf(key) >= 0; }

    LectureScene {
        id: scene
        number: 4
        title: "Алгоритмы"
        interval: 3200
        captions: [
            "Алгоритм Евклида ищет наибольший общий делитель. Начало: вводим a = 21 и b = 15.",
            "a ≠ b (21 ≠ 15) и a > b, поэтому выполняем a := a – b. Теперь a = 6, b = 15.",
            "6 ≠ 15, но условие a > b ложно, поэтому b := b – a. Теперь a = 6, b = 9.",
            "6 ≠ 9, условие a > b снова ложно: b := b – a. Теперь a = 6, b = 3.",
            "6 ≠ 3 и a > b: a := a – b. Теперь a = 3, b = 3.",
            "Условие a ≠ b ложно: 3 = 3, и цикл заканчивается.",
            "Выводим a: НОД(21, 15) = 3. Проверка: 21 = 3 · 7, 15 = 3 · 5."
        ]

        component Block: Rectangle {
            property string label
            property string key
            readonly property bool current: root.lit(key)
            width: 120; height: 26
            radius: 6
            color: current ? Theme.accentSoft : Theme.surface
            border.width: current ? 2 : 1
            border.color: current ? Theme.accent : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 200 } }
            Text {
                anchors.centerIn: parent
                text: parent.label
                font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                color: Theme.ink
            }
        }
        component Decision: Item {
            property string label
            property string key
            readonly property bool current: root.lit(key)
            width: 110; height: 44
            Rectangle {
                anchors.centerIn: parent
                width: 31; height: 31; rotation: 45
                color: parent.current ? Theme.accentSoft : Theme.surface
                border.width: parent.current ? 2 : 1
                border.color: parent.current ? Theme.accent : Theme.lineStrong
                transform: Scale { origin.x: 15.5; origin.y: 15.5; xScale: 2.3 }
            }
            Text {
                anchors.centerIn: parent
                text: parent.label
                font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                color: Theme.ink
            }
        }
        component Note: Text {
            font.family: Theme.font; font.pixelSize: Theme.tiny; color: Theme.muted
        }

        Item {
            id: chart
            width: 290; height: 260

            // The flow lines, each ending in an arrowhead. The loop comes back
            // above the test a ≠ b and enters it from the top, as a flowchart draws it.
            Canvas {
                anchors.fill: parent
                readonly property var paths: [
                    [[145, 20], [145, 28]],
                    [[145, 50], [145, 62]],
                    [[145, 106], [145, 116]],
                    [[90, 138], [75, 138], [75, 168]],
                    [[200, 138], [215, 138], [215, 168]],
                    [[75, 192], [75, 200], [282, 200], [282, 56], [147, 56]],
                    [[215, 192], [215, 200]],
                    [[90, 84], [8, 84], [8, 223], [85, 223]],
                    [[145, 234], [145, 242]]
                ]
                onPaint: {
                    const ctx = getContext("2d");
                    ctx.reset();
                    ctx.strokeStyle = Theme.muted;
                    ctx.fillStyle = Theme.muted;
                    ctx.lineWidth = 2;
                    for (let k = 0; k < paths.length; ++k) {
                        const path = paths[k];
                        ctx.beginPath();
                        ctx.moveTo(path[0][0], path[0][1]);
                        for (let i = 1; i < path.length; ++i)
                            ctx.lineTo(path[i][0], path[i][1]);
                        ctx.stroke();
                        // The arrowhead points along the last segment.
                        const [x0, y0] = path[path.length - 2];
                        const [x1, y1] = path[path.length - 1];
                        if (k === 6)
                            continue;  // joins the loop line, no arrow of its own
                        const angle = Math.atan2(y1 - y0, x1 - x0);
                        ctx.beginPath();
                        ctx.moveTo(x1, y1);
                        ctx.lineTo(x1 - 8 * Math.cos(angle - 0.45), y1 - 8 * Math.sin(angle - 0.45));
                        ctx.lineTo(x1 - 8 * Math.cos(angle + 0.45), y1 - 8 * Math.sin(angle + 0.45));
                        ctx.closePath();
                        ctx.fill();
                    }
                }
            }
            Note { x: 14; y: 66; text: "нет" }
            Note { x: 151; y: 104; text: "да" }
            Note { x: 64; y: 121; text: "да" }
            Note { x: 203; y: 121; text: "нет" }

            Block { key: "start"; label: "Начало"; x: 85; y: 0; height: 20; radius: 10 }
            Block { key: "input"; label: "Ввод a, b"; x: 85; y: 28; height: 22 }
            Decision { key: "differ"; label: "a ≠ b ?"; x: 90; y: 62 }
            Decision { key: "greater"; label: "a > b ?"; x: 90; y: 116 }
            Block { key: "takeB"; label: "a := a – b"; x: 16; y: 168; width: 118; height: 24 }
            Block { key: "takeA"; label: "b := b – a"; x: 156; y: 168; width: 118; height: 24 }
            Block { key: "output"; label: "Вывод a"; x: 85; y: 212; height: 22 }
            Block { key: "end"; label: "Конец"; x: 85; y: 242; height: 18; radius: 9 }
        }

        Card {
            x: 300; y: 0; width: 218; height: 252
            Row {
                x: 16; y: 12; spacing: 10
                Repeater {
                    model: [{ name: "a", value: root.now.a }, { name: "b", value: root.now.b }]
                    Rectangle {
                        width: 88; height: 56; radius: 10
                        color: Theme.primary
                        Text {
                            anchors.centerIn: parent
                            text: modelData.name + " = " + modelData.value
                            font.family: "Liberation Mono"; font.pixelSize: 21; font.bold: true
                            color: Theme.onDark
                        }
                    }
                }
            }
            Text {
                x: 16; y: 78
                text: "Трассировочная таблица"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Column {
                x: 16; y: 98
                Repeater {
                    // One row per pair the algorithm has held so far.
                    model: Math.min(scene.step + 1, 5)
                    Text {
                        readonly property var at: root.trace[index]
                        width: 186; height: 26
                        verticalAlignment: Text.AlignVCenter
                        text: "a = " + at.a + "   b = " + at.b
                        font.family: "Liberation Mono"; font.pixelSize: 15
                        font.bold: index === Math.min(scene.step, 4)
                        color: index === Math.min(scene.step, 4) ? Theme.accent : Theme.ink
                    }
                }
            }
        }
    }
}
