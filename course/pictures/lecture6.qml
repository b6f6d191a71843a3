import QtQuick
import "components"

// Lecture 6: operating systems and files — a folder tree opening to a file.
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

    // The tree, in reading order: depth, name, kind, the step it appears on,
    // and whether it lies on the way to the file.
    readonly property var tree: [
        { depth: 0, name: "C:", kind: "drive", from: 0, path: true },
        { depth: 1, name: "Учёба", kind: "folder", from: 1, path: true },
        { depth: 2, name: "Информатика", kind: "folder", from: 2, path: true },
        { depth: 3, name: "лекция1.txt", kind: "document", from: 3, path: true },
        { depth: 3, name: "задачи.txt", kind: "document", from: 3, path: false },
        { depth: 2, name: "Математика", kind: "folder", from: 2, path: false },
        { depth: 1, name: "Фото", kind: "folder", from: 1, path: false },
        { depth: 1, name: "Программы", kind: "folder", from: 1, path: false }
    ]

    LectureScene {
        id: scene
        number: 6
        title: "Операционная система и файлы"
        captions: [
            "Операционная система управляет устройствами и программами и хранит данные в файлах на дисках.",
            "Файлы собраны в папки. На диске C: лежат папки «Учёба», «Фото», «Программы».",
            "Папки вкладываются друг в друга — получается дерево.",
            "В папке «Информатика» лежат файлы. Имя файла заканчивается расширением: .txt — текст.",
            "Путь к файлу перечисляет папки от корня: C:\\Учёба\\Информатика\\лекция1.txt"
        ]

        Card {
            x: 0; y: 0; width: 300; height: 262
            Column {
                x: 14; y: 14
                spacing: 2
                Repeater {
                    model: root.tree
                    Rectangle {
                        readonly property bool shown: scene.step >= modelData.from
                        readonly property bool lit: scene.step >= 4 && modelData.path
                        width: 272; height: shown ? 28 : 0
                        clip: true
                        radius: 6
                        color: lit ? Theme.accentSoft : "transparent"
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
                    }
                }
            }
        }

        Item {
            x: 318; y: 0; width: 200; height: 262
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
                        width: 200; height: 30; radius: 6
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
                x: 0; y: 150; width: parent.width
                text: "Путь к файлу"
                opacity: scene.step >= 4 ? 1 : 0
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.muted
            }
            Rectangle {
                y: 172; width: 200; height: 64; radius: 8
                color: "#17212E"
                opacity: scene.step >= 4 ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 400 } }
                Text {
                    x: 10; y: 8; width: parent.width - 20
                    text: "C:\\Учёба\\Информатика\\лекция1.txt"
                    wrapMode: Text.WrapAnywhere
                    font.family: "Liberation Mono"; font.pixelSize: 14; font.bold: true
                    color: "#8FE3A8"
                }
            }
        }
    }
}
