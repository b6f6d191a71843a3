import QtQuick
import "components"

// Lecture 7: networks and the Internet — a message split into packets that
// find their own ways to the server; one arrives damaged, fails its checksum
// and is dropped there, and the computer sends a copy of it again.
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
        pc: Qt.point(56, 150), r1: Qt.point(200, 70), r2: Qt.point(200, 212),
        r3: Qt.point(340, 150), server: Qt.point(462, 150)
    })
    readonly property var links: [["pc", "r1"], ["pc", "r2"], ["r1", "r2"], ["r1", "r3"],
                                  ["r2", "r3"], ["r3", "server"]]
    // The packets: three parts of the message and the copy of the second
    // one that the computer sends again. Each is labelled with its TCP
    // sequence number, the number of its first byte in the message.
    readonly property var packets: [
        { label: "0: ПР" }, { label: "2: ИВ" }, { label: "4: ЕТ" }, { label: "2: ИВ" }
    ]
    // Where each packet is at each step; a name starting with "-" keeps the
    // packet out of sight there (the copy before it is sent, the damaged
    // packet once the server has dropped it).
    readonly property var route: [
        ["pc", "pc", "pc", "-pc"],
        ["r1", "r2", "pc", "-pc"],
        ["r3", "r3", "r1", "-pc"],
        ["server", "server", "r3", "-pc"],
        ["server", "-server", "server", "pc"],
        ["server", "-server", "server", "r2"],
        ["server", "-server", "server", "r3"],
        ["server", "-server", "server", "server"],
        ["server", "-server", "server", "server"]
    ]
    readonly property int damagedStep: 3
    readonly property int homeStep: 8
    // Packets resting at one node stack upwards, so no label hides another.
    function slot(step, index) {
        const here = route[step][index];
        let n = 0;
        for (let k = 0; k < index; ++k)
            if (route[step][k] === here) ++n;
        return n;
    }

    LectureScene {
        id: scene
        number: 7
        title: "Компьютерные сети и Интернет"
        interval: 2200
        captions: [
            "Сообщение «ПРИВЕТ» делится на пакеты. В заголовках — адрес сервера, порядковый номер (номер первого байта) и контрольная сумма.",
            "Маршрутизаторы передают пакеты дальше, каждый выбирает свободный путь.",
            "Пакеты идут разными путями и могут обгонять друг друга.",
            "Пакет с номером 2 искажён помехами: контрольная сумма не сошлась, и сервер его отбрасывает.",
            "Сервер не подтверждает байты с номера 2, и компьютер посылает копию этого пакета заново.",
            "Копия идёт своим путём, как любой другой пакет.",
            "Пакеты 0 и 4 ждут у сервера, копия пакета 2 почти дошла.",
            "Все пакеты дошли целыми: контрольные суммы сошлись.",
            "Сервер раскладывает данные по порядковым номерам 0, 2, 4 и получает «ПРИВЕТ»."
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
                        font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                        color: Theme.muted
                    }
                }
            }

            Repeater {
                model: root.packets
                Rectangle {
                    readonly property string where: root.route[scene.step][index]
                    readonly property bool shown: where[0] !== "-"
                    readonly property point at: root.nodes[shown ? where : where.slice(1)]
                    readonly property bool home: scene.step >= root.homeStep
                    readonly property bool damaged: index === 1 && scene.step === root.damagedStep
                    width: 56; height: 24; radius: 5
                    color: damaged ? Theme.danger : index === 3 ? Theme.primary : Theme.accent
                    border.width: 1; border.color: Theme.surface
                    opacity: shown ? 1 : 0
                    x: home ? 300 + [0, 0, 2, 1][index] * 62 : at.x - 28
                    y: home ? 232 : at.y - 52 - root.slot(scene.step, index) * 28
                    Behavior on x { NumberAnimation { duration: 900; easing.type: Easing.InOutQuad } }
                    Behavior on y { NumberAnimation { duration: 900; easing.type: Easing.InOutQuad } }
                    Behavior on opacity { NumberAnimation { duration: 500 } }
                    Text {
                        anchors.centerIn: parent
                        text: parent.damaged ? "2: ✗" : modelData.label
                        font.family: Theme.font; font.pixelSize: Theme.small + 1; font.bold: true
                        color: Theme.onDark
                    }
                }
            }
            Text {
                x: 300; y: 204
                text: "ПРИВЕТ"
                opacity: scene.step >= root.homeStep ? 1 : 0
                Behavior on opacity { NumberAnimation { duration: 500 } }
                font.family: Theme.font; font.pixelSize: Theme.heading; font.bold: true; font.letterSpacing: 4
                color: Theme.success
            }
        }
    }
}
