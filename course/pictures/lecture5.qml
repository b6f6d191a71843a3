import QtQuick
import "components"

// Lecture 5: how a computer is built — the processor runs c := a + b through
// the fetch, decode, execute and write-back cycle, one command at a time,
// with the program counter moving on after every fetch.
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

    readonly property var phases: ["Выборка", "Декодирование", "Выполнение", "Запись"]
    // Memory as the program sees it: the four commands, then a, b and c.
    readonly property var cells: [
        { at: "0", code: "LOAD R1, [100]" },
        { at: "1", code: "LOAD R2, [101]" },
        { at: "2", code: "ADD R1, R2" },
        { at: "3", code: "STORE [102], R1" },
        { at: "100", code: "7" },
        { at: "101", code: "5" },
        { at: "102", code: "" }
    ]
    // One row per step: program counter, command register, R1, R2, cell 102,
    // the phase lit (-1 none, 2 stands for execute and write together),
    // the memory row in use and what the ALU shows.
    readonly property var trace: [
        { pc: 0, ir: "",                r1: "", r2: "", c: "",   phase: -1, row: -1, alu: "" },
        { pc: 1, ir: "LOAD R1, [100]",  r1: "", r2: "", c: "",   phase: 0,  row: 0,  alu: "" },
        { pc: 1, ir: "LOAD R1, [100]",  r1: "", r2: "", c: "",   phase: 1,  row: -1, alu: "" },
        { pc: 1, ir: "LOAD R1, [100]",  r1: "7", r2: "", c: "",  phase: 2,  row: 4,  alu: "" },
        { pc: 2, ir: "LOAD R2, [101]",  r1: "7", r2: "", c: "",  phase: 0,  row: 1,  alu: "" },
        { pc: 2, ir: "LOAD R2, [101]",  r1: "7", r2: "", c: "",  phase: 1,  row: -1, alu: "" },
        { pc: 2, ir: "LOAD R2, [101]",  r1: "7", r2: "5", c: "", phase: 2,  row: 5,  alu: "" },
        { pc: 3, ir: "ADD R1, R2",      r1: "7", r2: "5", c: "", phase: 0,  row: 2,  alu: "" },
        { pc: 3, ir: "ADD R1, R2",      r1: "7", r2: "5", c: "", phase: 1,  row: -1, alu: "" },
        { pc: 3, ir: "ADD R1, R2",      r1: "12", r2: "5", c: "", phase: 2, row: -1, alu: "7 + 5 = 12" },
        { pc: 4, ir: "STORE [102], R1", r1: "12", r2: "5", c: "", phase: 0, row: 3,  alu: "" },
        { pc: 4, ir: "STORE [102], R1", r1: "12", r2: "5", c: "", phase: 1, row: -1, alu: "" },
        { pc: 4, ir: "STORE [102], R1", r1: "12", r2: "5", c: "12", phase: 3, row: 6, alu: "" }
    ]
    readonly property var now: trace[Math.max(0, Math.min(scene.step, trace.length - 1))]

    LectureScene {
        id: scene
        number: 5
        title: "Устройство компьютера"
        interval: 3000
        captions: [
            "Программа c := a + b лежит в ячейках 0–3, a = 7 — в ячейке 100, b = 5 — в ячейке 101. Счётчик команд СК = 0.",
            "Выборка: по адресу из СК читается команда LOAD R1, [100] в регистр команды, СК := 1.",
            "Декодирование: устройство управления видит операцию LOAD — прочитать ячейку 100 в регистр R1.",
            "Выполнение и запись: из ячейки 100 прочитано 7, R1 := 7.",
            "Выборка: по адресу 1 читается LOAD R2, [101], СК := 2.",
            "Декодирование: прочитать ячейку 101 в регистр R2.",
            "Выполнение и запись: R2 := 5.",
            "Выборка: по адресу 2 читается ADD R1, R2, СК := 3.",
            "Декодирование: сложить R1 и R2 в АЛУ; обращаться к памяти за данными не нужно.",
            "Выполнение и запись: АЛУ складывает 7 + 5, R1 := 12.",
            "Выборка: по адресу 3 читается STORE [102], R1, СК := 4.",
            "Декодирование: записать R1 в ячейку 102.",
            "Запись: ячейка 102 := 12, то есть c = 12. СК уже указывает на следующую команду — по адресу 4."
        ]

        component Register: Rectangle {
            property string label
            property string value
            property bool lit: false
            width: 120; height: 40; radius: 6
            color: lit ? Theme.accentSoft : Theme.surface
            border.width: lit ? 2 : 1
            border.color: lit ? Theme.accent : Theme.lineStrong
            Behavior on color { ColorAnimation { duration: 250 } }
            Text {
                x: 8; y: 3
                text: parent.label
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Text {
                x: 8; y: 18; width: parent.width - 16
                text: parent.value === "" ? "—" : parent.value
                elide: Text.ElideRight
                font.family: "Liberation Mono"; font.pixelSize: 14; font.bold: true
                color: Theme.ink
            }
        }

        // Memory: address and contents of every cell the program touches.
        Card {
            x: 0; y: 0; width: 200; height: 262
            Text {
                x: 12; y: 8
                text: "Память"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Column {
                x: 10; y: 30
                spacing: 3
                Repeater {
                    model: root.cells
                    Rectangle {
                        readonly property bool lit: root.now.row === index
                        readonly property bool next: index < 4 && root.now.pc === index
                        width: 180; height: 29; radius: 5
                        color: lit ? Theme.accentSoft : Theme.surface
                        border.width: lit ? 2 : 1
                        border.color: lit ? Theme.accent : Theme.line
                        Behavior on color { ColorAnimation { duration: 250 } }
                        Text {
                            x: 26; anchors.verticalCenter: parent.verticalCenter
                            width: 26
                            text: modelData.at
                            horizontalAlignment: Text.AlignRight
                            font.family: "Liberation Mono"; font.pixelSize: Theme.small
                            color: Theme.muted
                        }
                        Text {
                            x: 60; anchors.verticalCenter: parent.verticalCenter
                            text: index === 6 ? root.now.c : modelData.code
                            font.family: "Liberation Mono"; font.pixelSize: Theme.small; font.bold: true
                            color: Theme.ink
                        }
                        // The program counter's mark beside the command it points at.
                        Text {
                            x: 3; anchors.verticalCenter: parent.verticalCenter
                            visible: parent.next
                            text: "СК►"
                            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
            }
        }

        // The processor: control unit's registers, the working registers and the ALU.
        Rectangle {
            x: 210; y: 0; width: 308; height: 262; radius: 10
            color: Theme.primarySofter
            border.width: 1; border.color: Theme.lineStrong
            Text {
                x: 12; y: 8
                text: "Процессор"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.primary
            }
            Row {
                x: 10; y: 30
                spacing: 2
                Repeater {
                    model: root.phases
                    Rectangle {
                        readonly property bool lit: root.now.phase === index
                                                    || (root.now.phase === 2 && index === 3)
                        width: phaseText.implicitWidth + 8; height: 24; radius: 12
                        color: lit ? Theme.primary : Theme.surface
                        border.width: 1; border.color: Theme.lineStrong
                        Behavior on color { ColorAnimation { duration: 250 } }
                        Text {
                            id: phaseText
                            anchors.centerIn: parent
                            text: modelData
                            font.family: Theme.font; font.pixelSize: Theme.small
                            color: parent.lit ? Theme.onDark : Theme.muted
                        }
                    }
                }
            }
            Register {
                x: 12; y: 66; width: 90
                label: "СК"
                value: String(root.now.pc)
                lit: root.now.phase === 0
            }
            Register {
                x: 110; y: 66; width: 186
                label: "Регистр команды"
                value: root.now.ir
                lit: root.now.phase === 0 || root.now.phase === 1
            }
            Register {
                x: 12; y: 120; width: 138
                label: "R1"
                value: root.now.r1
                lit: root.now.phase === 2 && (scene.step === 3 || scene.step === 9)
            }
            Register {
                x: 158; y: 120; width: 138
                label: "R2"
                value: root.now.r2
                lit: root.now.phase === 2 && scene.step === 6
            }
            // The ALU lights up for the addition only.
            Rectangle {
                x: 12; y: 176; width: 284; height: 72; radius: 8
                readonly property bool busy: root.now.alu !== ""
                color: busy ? Theme.accent : Theme.surface
                border.width: 1; border.color: busy ? Theme.accent : Theme.lineStrong
                Behavior on color { ColorAnimation { duration: 300 } }
                Text {
                    x: 10; y: 6
                    text: "АЛУ"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: parent.busy ? Theme.onDark : Theme.muted
                }
                Text {
                    anchors.centerIn: parent
                    text: parent.busy ? root.now.alu : "ждёт операции"
                    font.family: parent.busy ? "Liberation Mono" : Theme.font
                    font.pixelSize: parent.busy ? 20 : Theme.small
                    font.bold: parent.busy
                    color: parent.busy ? Theme.onDark : Theme.muted
                }
            }
        }
    }
}
