import QtQuick
import "components"

// Lecture 7: networks and the Internet — a message split into packets that
// find their own ways to the server; one arrives damaged, fails its checksum
// and is sent again.
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

    readonly property var nodes: ({
        pc: Qt.point(50, 135), r1: Qt.point(200, 62), r2: Qt.point(200, 200),
        r3: Qt.point(340, 135), server: Qt.point(468, 135)
    })
    readonly property var links: [["pc", "r1"], ["pc", "r2"], ["r1", "r2"], ["r1", "r3"],
                                  ["r2", "r3"], ["r3", "server"]]
    // Where each packet is at each step.
    readonly property var route: [
        ["pc", "pc", "pc"],
        ["r1", "r2", "pc"],
        ["r3", "r3", "r1"],
        ["server", "server", "r3"],
        ["server", "pc", "server"],
        ["server", "r2", "server"],
        ["server", "r3", "server"],
        ["server", "server", "server"],
        ["server", "server", "server"]
    ]
    readonly property int damagedStep: 3
    readonly property int homeStep: 8

    LectureScene {
        id: scene
        number: 7
        title: "Компьютерные сети и Интернет"
        interval: 2200
        captions: [
            "Сообщение «ПРИВЕТ» делится на пакеты. На каждом пакете — адрес получателя, номер и контрольная сумма.",
            "Маршрутизаторы передают пакеты дальше, выбирая свободный путь.",
            "Пакеты идут разными путями и могут обгонять друг друга.",
            "Пакет 2 искажён помехами: контрольная сумма не сошлась, и сервер его отбрасывает.",
            "TCP замечает, что пакета 2 нет, и компьютер посылает его ещё раз.",
            "Повторный пакет 2 идёт своим путём, как любой другой.",
            "Пакеты 1 и 3 ждут у сервера, пакет 2 почти дошёл.",
            "Все пакеты дошли целыми: контрольные суммы сошлись.",
            "Сервер собирает пакеты по номерам и получает сообщение «ПРИВЕТ»."
        ]

        Item {
            id: net
            width: 518; height: 262

            Repeater {
                model: root.links
                Rectangle {
                    readonly property point a: root.nodes[modelData[0]]
                    readonly property point b: root.nodes[modelData[1]]
                    x: a.x; y: a.y - 1.5
                    width: Math.hypot(b.x - a.x, b.y - a.y); height: 3
                    transformOrigin: Item.Left
                    rotation: Math.atan2(b.y - a.y, b.x - a.x) * 180 / Math.PI
                    color: Theme.lineStrong
                }
            }
            Repeater {
                model: [
                    { key: "pc", label: "Компьютер", glyph: "user" },
                    { key: "r1", label: "Маршрутизатор", glyph: "forward" },
                    { key: "r2", label: "Маршрутизатор", glyph: "forward" },
                    { key: "r3", label: "Маршрутизатор", glyph: "forward" },
                    { key: "server", label: "Сервер", glyph: "drive" }
                ]
                Item {
                    readonly property point at: root.nodes[modelData.key]
                    x: at.x - 24; y: at.y - 24
                    width: 48; height: 48
                    Rectangle {
                        anchors.fill: parent; radius: modelData.key[0] === "r" ? 24 : 10
                        color: modelData.key[0] === "r" ? Theme.surface : Theme.primary
                        border.width: 2; border.color: Theme.primary
                        Icon {
                            anchors.centerIn: parent; width: 24; height: 24
                            name: modelData.glyph
                            color: modelData.key[0] === "r" ? Theme.primary : Theme.onDark
                        }
                    }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        y: 52
                        text: modelData.label
                        font.family: Theme.font; font.pixelSize: Theme.tiny; font.bold: true
                        color: Theme.muted
                    }
                }
            }

            Repeater {
                model: ["1 ПР", "2 ИВ", "3 ЕТ"]
                Rectangle {
                    readonly property point at: root.nodes[root.route[scene.step][index]]
                    readonly property bool home: scene.step >= root.homeStep
                    readonly property bool damaged: index === 1 && scene.step === root.damagedStep
                    width: 48; height: 22; radius: 5
                    color: damaged ? Theme.danger : Theme.accent
                    border.width: 1; border.color: Theme.surface
                    x: home ? 336 + index * 52 : at.x - 24 + index * 6
                    y: home ? 234 : at.y - 36 - index * 8
                    Behavior on x { NumberAnimation { duration: 900; easing.type: Easing.InOutQuad } }
                    Behavior on y { NumberAnimation { duration: 900; easing.type: Easing.InOutQuad } }
                    Text {
                        anchors.centerIn: parent
                        text: parent.damaged ? "2 ✗" : modelData
                        font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                        color: Theme.onDark
                    }
                }
            }
            Text {
                x: 336; y: 208
                text: "ПРИВЕТ"
                opacity: scene.step >= root.homeStep ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 500 } }
                font.family: Theme.font; font.pixelSize: Theme.heading; font.bold: true; font.letterSpacing: 4
                color: Theme.success
            }
        }
    }
}
