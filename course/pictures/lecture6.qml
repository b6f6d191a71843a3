import QtQuick
import "components"

// Lecture 6: operating systems and files — the system finds a file by its
// path: first from the root, folder by folder, then from the current folder
// through "..".
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

    // The tree, in reading order: depth, name, kind and the step it appears on.
    readonly property var tree: [
        { depth: 0, name: "C:\\", kind: "drive", from: 0 },
        { depth: 1, name: "Учёба", kind: "folder", from: 1 },
        { depth: 2, name: "Информатика", kind: "folder", from: 2 },
        { depth: 3, name: "лекция1.txt", kind: "document", from: 3 },
        { depth: 3, name: "задачи.txt", kind: "document", from: 3 },
        { depth: 2, name: "Математика", kind: "folder", from: 2 },
        { depth: 1, name: "Фото", kind: "folder", from: 1 },
        { depth: 1, name: "Программы", kind: "folder", from: 1 }
    ]
    readonly property int current: 5
    // Per step: the rows walked so far, the path written so far and its kind.
    readonly property var walk: [
        { rows: [], path: "", kind: "" },
        { rows: [], path: "", kind: "" },
        { rows: [], path: "", kind: "" },
        { rows: [], path: "", kind: "" },
        { rows: [0], path: "C:\\", kind: "abs" },
        { rows: [0, 1], path: "C:\\Учёба", kind: "abs" },
        { rows: [0, 1, 2], path: "C:\\Учёба\\Информатика", kind: "abs" },
        { rows: [0, 1, 2, 3], path: "C:\\Учёба\\Информатика\\лекция1.txt", kind: "abs" },
        { rows: [], path: "", kind: "rel" },
        { rows: [1], path: "..", kind: "rel" },
        { rows: [1, 2], path: "..\\Информатика", kind: "rel" },
        { rows: [1, 2, 3], path: "..\\Информатика\\лекция1.txt", kind: "rel" }
    ]
    readonly property var now: walk[Math.max(0, Math.min(scene.step, walk.length - 1))]

    LectureScene {
        id: scene
        number: 6
        title: "Операционные системы и файлы"
        interval: 2800
        captions: [
            "Операционная система хранит данные на дисках в виде файлов и папок и находит их по пути.",
            "У диска C: есть корневой каталог C:\\. В нём лежат папки «Учёба», «Фото», «Программы».",
            "Папки вкладываются друг в друга — получается дерево каталогов.",
            "В папке «Информатика» лежат файлы. Часть имени после последней точки — расширение: .txt — текст.",
            "Абсолютный путь начинается от корня: C:\\",
            "Из корня — в папку «Учёба»: C:\\Учёба",
            "Дальше — в папку «Информатика»: C:\\Учёба\\Информатика",
            "И наконец файл: C:\\Учёба\\Информатика\\лекция1.txt — путь от корня до файла.",
            "Теперь программа работает в папке «Математика»: это текущая папка.",
            "Относительный путь начинается от текущей папки. «..» — папка уровнем выше, «Учёба».",
            "Из «Учёбы» — в «Информатику»: ..\\Информатика",
            "И к файлу: ..\\Информатика\\лекция1.txt ведёт к тому же файлу, что и абсолютный путь."
        ]

        Card {
            x: 0; y: 0; width: 290; height: 262
            Column {
                x: 12; y: 12
                spacing: 2
                Repeater {
                    model: root.tree
                    Rectangle {
                        readonly property bool shown: scene.step >= modelData.from
                        readonly property bool lit: root.now.rows.indexOf(index) >= 0
                        readonly property bool here: scene.step >= 8 && index === root.current
                        width: 266; height: shown ? 28 : 0
                        clip: true
                        radius: 6
                        color: lit ? Theme.accentSoft : here ? Theme.primarySoft : "transparent"
                        border.width: here ? 1 : 0
                        border.color: Theme.primary
                        opacity: shown ? 1 : 0
                        Behavior on height { NumberAnimation { duration: 300; easing.type: Easing.OutCubic } }
                        Behavior on opacity { NumberAnimation { duration: 300 } }
                        Behavior on color { ColorAnimation { duration: 300 } }
                        Icon {
                            x: 8 + modelData.depth * 22; y: 4
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
                            font.family: Theme.font; font.pixelSize: Theme.tiny; font.bold: true
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
            Column {
                y: 26
                spacing: 6
                Repeater {
                    model: ["запускает программы", "управляет устройствами", "хранит файлы"]
                    Rectangle {
                        width: 214; height: 30; radius: 6
                        color: Theme.primary
                        opacity: scene.step === 0 || index === 2 ? 1 : 0.35
                        Behavior on opacity { NumberAnimation { duration: 300 } }
                        Text {
                            x: 12; anchors.verticalCenter: parent.verticalCenter
                            text: modelData
                            font.family: Theme.font; font.pixelSize: Theme.small + 1
                            color: Theme.onDark
                        }
                    }
                }
            }
            Text {
                x: 0; y: 140; width: parent.width
                text: root.now.kind === "rel" ? "Относительный путь" : "Абсолютный путь"
                opacity: root.now.kind !== "" ? 1 : 0
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Rectangle {
                y: 162; width: 214; height: 84; radius: 8
                color: "#17212E"
                opacity: root.now.kind !== "" ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 400 } }
                Text {
                    x: 10; y: 8; width: parent.width - 20
                    text: root.now.kind === "rel" && root.now.path === "" ? "(от папки «Математика»)" : root.now.path
                    wrapMode: Text.WrapAnywhere
                    font.family: "Liberation Mono"; font.pixelSize: 14; font.bold: true
                    color: "#8FE3A8"
                }
            }
        }
    }
}
