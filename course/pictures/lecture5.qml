import QtQuick
import "components"

// Lecture 5: how a computer is built — numbers travel over the bus.
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

    readonly property var trace: [
        { at: "", data: "" },
        { at: "input", data: "5, 3" },
        { at: "memory", data: "5, 3" },
        { at: "cpu", data: "5 + 3" },
        { at: "memory", data: "8" },
        { at: "output", data: "8" }
    ]
    readonly property var now: trace[scene.step]

    LectureScene {
        id: scene
        number: 5
        title: "Устройство компьютера"
        captions: [
            "Процессор, память и устройства ввода и вывода связаны общей шиной.",
            "С клавиатуры вводятся два числа: 5 и 3.",
            "По шине числа попадают в оперативную память.",
            "Процессор берёт числа из памяти и складывает их.",
            "Результат 8 записывается обратно в память.",
            "Из памяти результат по шине уходит на монитор."
        ]

        component Unit: Rectangle {
            property string label
            property string note
            property string key
            readonly property bool current: root.now.at === key
            width: 170; height: 76; radius: 10
            color: current ? Theme.primary : Theme.surface
            border.width: 1
            border.color: current ? Theme.primary : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 250 } }
            Text {
                x: 14; y: 14
                text: parent.label
                font.family: Theme.font; font.pixelSize: Theme.body + 1; font.bold: true
                color: parent.current ? Theme.onDark : Theme.ink
            }
            Text {
                x: 14; y: 38; width: parent.width - 28
                text: parent.note
                wrapMode: Text.WordWrap
                font.family: Theme.font; font.pixelSize: Theme.tiny
                color: parent.current ? Theme.onDarkMuted : Theme.muted
            }
        }

        // The bus and the taps of every unit onto it.
        Rectangle {
            x: 40; y: 124; width: 438; height: 14; radius: 7
            color: Theme.primarySoft
            border.width: 1; border.color: Theme.lineStrong
            Text {
                anchors.centerIn: parent
                text: "ШИНА"
                font.family: Theme.font; font.pixelSize: 9; font.bold: true; font.letterSpacing: 3
                color: Theme.primary
            }
        }
        Repeater {
            model: [[125, 86], [393, 86], [125, 138], [393, 138]]
            Rectangle { x: modelData[0] - 2; y: modelData[1]; width: 4; height: 38; color: Theme.lineStrong }
        }

        Unit { id: cpu; key: "cpu"; x: 40; y: 10; label: "Процессор"; note: "выполняет команды и вычисления" }
        Unit { id: memory; key: "memory"; x: 308; y: 10; label: "Память"; note: "хранит программы и данные" }
        Unit { id: input; key: "input"; x: 40; y: 176; label: "Ввод"; note: "клавиатура, мышь" }
        Unit { id: output; key: "output"; x: 308; y: 176; label: "Вывод"; note: "монитор, принтер" }

        // What the monitor shows once the result arrives.
        Rectangle {
            x: output.x + output.width - 58; y: output.y + 14
            width: 44; height: 34; radius: 4
            color: "#17212E"
            visible: scene.step >= 5
            Text {
                anchors.centerIn: parent
                text: "8"
                font.family: "Liberation Mono"; font.pixelSize: 20; font.bold: true
                color: "#8FE3A8"
            }
        }

        // The data on its way.
        Rectangle {
            readonly property Item target: ({ cpu: cpu, memory: memory, input: input, output: output })[root.now.at] || input
            width: chip.implicitWidth + 20; height: 28; radius: 14
            color: Theme.accent
            opacity: root.now.at ? 1 : 0
            x: target.x + target.width - width - 10
            // Top units wear it on their lower edge, bottom units on their upper one.
            y: target.y < 100 ? target.y + target.height - 12 : target.y - height + 12
            Behavior on x { NumberAnimation { duration: 700; easing.type: Easing.InOutCubic } }
            Behavior on y { NumberAnimation { duration: 700; easing.type: Easing.InOutCubic } }
            Behavior on opacity { NumberAnimation { duration: 300 } }
            Text {
                id: chip
                anchors.centerIn: parent
                text: root.now.data
                font.family: "Liberation Mono"; font.pixelSize: 14; font.bold: true
                color: Theme.onDark
            }
        }
    }
}
