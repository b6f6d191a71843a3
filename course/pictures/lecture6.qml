import QtQuick
import "components"

// Lecture 6: operating systems and files — the system's three jobs in turn:
// it shares one processor core between processes by quanta, gives each
// process its own pages of memory (and moves one out to the swap file when
// memory runs short), and finds a file by its path, from the root and then
// from the current folder through "..".
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

    // Which of the three jobs a step shows: 0 processes, 1 memory, 2 files.
    readonly property int act: scene.step <= 4 ? 0 : scene.step <= 7 ? 1 : 2

    // Processes: per step, who runs, who is ready (in queue order), who waits,
    // and the quanta given so far.
    readonly property var names: ["Редактор", "Браузер", "Плеер"]
    readonly property var procColors: [Theme.accent, Theme.primary, Theme.success]
    readonly property var cpu: [
        { run: -1, ready: [0, 1, 2], wait: [], quanta: [] },
        { run: 0, ready: [1, 2], wait: [], quanta: [0] },
        { run: 1, ready: [2, 0], wait: [], quanta: [0, 1] },
        { run: 2, ready: [0], wait: [1], quanta: [0, 1, 2] },
        { run: 0, ready: [2, 1], wait: [], quanta: [0, 1, 2, 0] }
    ]
    readonly property var cpuNow: cpu[Math.max(0, Math.min(scene.step, 4))]

    // Memory: the frames of physical memory, per step of the memory act.
    // owner -1 is a free frame; page is the page number inside the process.
    readonly property var frames: [
        [{ owner: -1, page: 0 }, { owner: -1, page: 0 }, { owner: -1, page: 0 }, { owner: -1, page: 0 }, { owner: -1, page: 0 }, { owner: -1, page: 0 }],
        [{ owner: 1, page: 0 }, { owner: 0, page: 1 }, { owner: 0, page: 0 }, { owner: 1, page: 1 }, { owner: 0, page: 2 }, { owner: -1, page: 0 }],
        [{ owner: 1, page: 0 }, { owner: 0, page: 1 }, { owner: 0, page: 0 }, { owner: 1, page: 1 }, { owner: 2, page: 1 }, { owner: 2, page: 0 }]
    ]
    // The page table of the editor, as the system keeps it.
    readonly property var pageTable: [
        "у каждого процесса свои страницы 0, 1, 2…; где лежит каждая, записано в таблице страниц",
        "таблица «Редактора»:\nстр. 0 → кадр 2\nстр. 1 → кадр 1\nстр. 2 → кадр 4",
        "таблица «Редактора»:\nстр. 0 → кадр 2\nстр. 1 → кадр 1\nстр. 2 → на диске"
    ]
    readonly property var framesNow: frames[act === 1 ? scene.step - 5 : 0]

    // Files: the tree in reading order.
    readonly property var tree: [
        { depth: 0, name: "C:\\", kind: "drive" },
        { depth: 1, name: "Учёба", kind: "folder" },
        { depth: 2, name: "Информатика", kind: "folder" },
        { depth: 3, name: "лекция1.txt", kind: "document" },
        { depth: 2, name: "Математика", kind: "folder" },
        { depth: 1, name: "Фото", kind: "folder" }
    ]
    readonly property int current: 4
    readonly property var walk: [
        { rows: [], path: "", kind: "" },
        { rows: [0, 1, 2, 3], path: "C:\\Учёба\\Информатика\\лекция1.txt", kind: "abs" },
        { rows: [], path: "текущая папка: C:\\Учёба\\Математика", kind: "rel" },
        { rows: [1, 2, 3], path: "..\\Информатика\\лекция1.txt", kind: "rel" }
    ]
    readonly property var walkNow: walk[act === 2 ? scene.step - 8 : 0]
    // A path breaks only after a separator, never inside a folder's name.
    function breakable(path) { return path.split("\\").join("\\\u200B"); }

    LectureScene {
        id: scene
        number: 6
        title: "Операционные системы и файлы"
        interval: 3200
        captions: [
            "Операционная система делит между программами процессор, память и диск. Начнём с процессора: готовы три процесса, а ядро одно.",
            "Планировщик даёт квант времени «Редактору»: он выполняется, остальные ждут в очереди готовых.",
            "Квант истёк: «Редактор» встаёт в конец очереди, процессор получает «Браузер».",
            "«Браузер» ждёт данных из сети и переходит в ожидание, не занимая процессор. Выполняется «Плеер».",
            "Данные пришли — «Браузер» снова готов. Кванты по нескольку миллисекунд сменяются так часто, что программы кажутся одновременными.",
            "Память делится на страницы по 4 Кбайт. Сейчас она пуста.",
            "Страницы процессов лежат в кадрах физической памяти вразброс; где какая, знает только система. Чужие страницы процессу недоступны.",
            "Памяти не хватило «Плееру»: редко нужная страница 2 «Редактора» вытеснена в файл подкачки на диске.",
            "Файлы система хранит в дереве папок и находит по пути.",
            "Абсолютный путь идёт от корня диска через все папки до файла.",
            "Программа работает в папке «Математика»: это её текущая папка.",
            "Относительный путь идёт от текущей папки: «..» — папка уровнем выше, «Учёба», дальше — к тому же файлу."
        ]

        Card {
            x: 0; y: 0; width: 290; height: 262

            // Act 0: the core, the queue of ready processes, the waiting ones
            // and the quanta along a time line.
            Item {
                anchors.fill: parent
                opacity: root.act === 0 ? 1 : 0
                visible: opacity > 0
                Behavior on opacity { NumberAnimation { duration: 300 } }

                Text {
                    x: 14; y: 10
                    text: "Ядро процессора"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Rectangle {
                    x: 14; y: 30; width: 262; height: 40; radius: 8
                    color: root.cpuNow.run >= 0 ? root.procColors[root.cpuNow.run] : Theme.primarySofter
                    border.width: 1; border.color: Theme.lineStrong
                    Behavior on color { ColorAnimation { duration: 300 } }
                    Text {
                        anchors.centerIn: parent
                        text: root.cpuNow.run >= 0 ? "выполняется: " + root.names[root.cpuNow.run] : "свободно"
                        font.family: Theme.font; font.pixelSize: Theme.body; font.bold: true
                        color: root.cpuNow.run >= 0 ? Theme.onDark : Theme.muted
                    }
                }
                Text {
                    x: 14; y: 80
                    text: "Готовы (очередь)"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Row {
                    x: 14; y: 98; spacing: 6
                    Repeater {
                        model: root.cpuNow.ready
                        Rectangle {
                            width: 84; height: 28; radius: 6
                            color: Theme.surface
                            border.width: 2; border.color: root.procColors[modelData]
                            Text {
                                anchors.centerIn: parent
                                text: root.names[modelData]
                                font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                                color: Theme.ink
                            }
                        }
                    }
                }
                Text {
                    x: 14; y: 136
                    text: "Ожидание"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Row {
                    x: 14; y: 154; spacing: 6
                    Repeater {
                        model: root.cpuNow.wait
                        Rectangle {
                            width: 84; height: 28; radius: 6
                            color: Theme.surface
                            border.width: 2; border.color: root.procColors[modelData]
                            Text {
                                anchors.centerIn: parent
                                text: root.names[modelData]
                                font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                                color: Theme.ink
                            }
                        }
                    }
                }
                Text {
                    x: 14; y: 192
                    text: "Кванты по порядку"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Row {
                    x: 14; y: 210; spacing: 2
                    Repeater {
                        model: root.cpuNow.quanta
                        Rectangle {
                            width: 64; height: 30; radius: 4
                            color: root.procColors[modelData]
                            Text {
                                anchors.centerIn: parent
                                text: root.names[modelData]
                                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                                color: Theme.onDark
                            }
                        }
                    }
                }
            }

            // Act 1: the frames of physical memory and the swap file.
            Item {
                anchors.fill: parent
                opacity: root.act === 1 ? 1 : 0
                visible: opacity > 0
                Behavior on opacity { NumberAnimation { duration: 300 } }

                Text {
                    x: 14; y: 10
                    text: "Физическая память (кадры по 4 Кбайт)"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Column {
                    x: 14; y: 30; spacing: 4
                    Repeater {
                        model: root.framesNow
                        Rectangle {
                            width: 262; height: 26; radius: 5
                            color: modelData.owner >= 0 ? root.procColors[modelData.owner] : Theme.primarySofter
                            border.width: 1; border.color: Theme.lineStrong
                            Behavior on color { ColorAnimation { duration: 300 } }
                            Text {
                                x: 8; anchors.verticalCenter: parent.verticalCenter
                                text: "кадр " + index
                                font.family: Theme.font; font.pixelSize: Theme.small
                                color: modelData.owner >= 0 ? Theme.onDark : Theme.muted
                            }
                            Text {
                                anchors.right: parent.right; anchors.rightMargin: 8
                                anchors.verticalCenter: parent.verticalCenter
                                text: modelData.owner >= 0 ? root.names[modelData.owner] + ", стр. " + modelData.page : "свободен"
                                font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: modelData.owner >= 0
                                color: modelData.owner >= 0 ? Theme.onDark : Theme.muted
                            }
                        }
                    }
                }
                Text {
                    x: 14; y: 214
                    text: "Диск, файл подкачки:"
                    font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                    color: Theme.muted
                }
                Rectangle {
                    x: 150; y: 208; width: 126; height: 28; radius: 5
                    color: scene.step === 7 ? Theme.accent : Theme.surface
                    border.width: 1; border.color: Theme.lineStrong
                    Text {
                        anchors.centerIn: parent
                        text: scene.step === 7 ? "Редактор, стр. 2" : "пусто"
                        font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: scene.step === 7
                        color: scene.step === 7 ? Theme.onDark : Theme.muted
                    }
                }
            }

            // Act 2: the folder tree with the path being walked.
            Column {
                x: 12; y: 12
                spacing: 4
                opacity: root.act === 2 ? 1 : 0
                visible: opacity > 0
                Behavior on opacity { NumberAnimation { duration: 300 } }
                Repeater {
                    model: root.tree
                    Rectangle {
                        readonly property bool lit: root.walkNow.rows.indexOf(index) >= 0
                        readonly property bool here: scene.step >= 10 && index === root.current
                        width: 266; height: 30
                        radius: 6
                        color: lit ? Theme.accentSoft : here ? Theme.primarySoft : "transparent"
                        border.width: here ? 1 : 0
                        border.color: Theme.primary
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Icon {
                            x: 8 + modelData.depth * 22; y: 5
                            width: 20; height: 20
                            name: modelData.kind
                            color: modelData.kind === "folder" ? Theme.accent : Theme.primary
                        }
                        Text {
                            x: 34 + modelData.depth * 22
                            anchors.verticalCenter: parent.verticalCenter
                            text: modelData.name
                            font.family: Theme.font; font.pixelSize: Theme.body
                            font.bold: parent.lit
                            color: Theme.ink
                        }
                        Text {
                            anchors.right: parent.right; anchors.rightMargin: 8
                            anchors.verticalCenter: parent.verticalCenter
                            visible: parent.here
                            text: "текущая"
                            font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                            color: Theme.primary
                        }
                    }
                }
            }
        }

        Item {
            x: 304; y: 0; width: 214; height: 262
            Text {
                x: 0; y: 4; width: parent.width
                text: "Операционная система"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            // The job being shown is filled; the others stay readable as outlines.
            Column {
                y: 26
                spacing: 6
                Repeater {
                    model: ["управляет процессами", "распределяет память", "хранит файлы"]
                    Rectangle {
                        readonly property bool active: index === root.act
                        width: 214; height: 30; radius: 6
                        color: active ? Theme.primary : Theme.surface
                        border.width: 1; border.color: active ? Theme.primary : Theme.lineStrong
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Text {
                            x: 12; anchors.verticalCenter: parent.verticalCenter
                            text: modelData
                            font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: parent.active
                            color: parent.active ? Theme.onDark : Theme.ink
                        }
                    }
                }
            }
            Text {
                x: 0; y: 140; width: parent.width
                text: root.act === 0 ? "Состояния процесса"
                    : root.act === 1 ? "Виртуальная память"
                    : root.walkNow.kind === "rel" ? "Относительный путь" : "Абсолютный путь"
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Rectangle {
                y: 162; width: 214; height: 96; radius: 8
                color: root.act === 2 ? "#17212E" : Theme.surface
                border.width: root.act === 2 ? 0 : 1; border.color: Theme.lineStrong
                Text {
                    x: 10; y: 8; width: parent.width - 20
                    text: root.act === 0 ? "готов → выполняется → готов, когда истёк квант;\nвыполняется → ожидание → готов, когда пришли данные"
                        : root.act === 1 ? root.pageTable[scene.step - 5]
                        : root.walkNow.path === "" ? "путь ещё не начат" : root.breakable(root.walkNow.path)
                    wrapMode: Text.Wrap
                    font.family: root.act === 2 ? "Liberation Mono" : Theme.font
                    font.pixelSize: root.act === 2 ? 14 : Theme.small + 1
                    font.bold: root.act === 2
                    color: root.act === 2 ? "#8FE3A8" : Theme.ink
                }
            }
        }
    }
}
