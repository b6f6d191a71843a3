import QtQuick
import "components"

// Bookmarks. The program's list of bookmarks lies in the framed field;
// the commands sit above it, where nothing of the list can cover them.
Rectangle {
    id: root
    width: 550
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)

    function play() {
        entry.stop();
        entry.start();
    }
    Component.onCompleted: play()
    // A frame jump shows the screen at rest.
    onFrameChanged: entry.complete()

    ParallelAnimation {
        id: entry
        Entrance { target: top; restY: 0; distance: -10; duration: 360 }
        Entrance { target: field; restY: 96; delay: 80; distance: 12; duration: 380 }
    }

    Item {
        id: top
        width: root.width; height: 96

        Rectangle {
            x: 27; y: 16; width: 38; height: 38; radius: 19
            color: Theme.accentSoft
            Icon { anchors.centerIn: parent; width: 20; height: 20; name: "bookmark"; color: Theme.accent }
        }
        Text {
            x: 76; y: 16; height: 38
            verticalAlignment: Text.AlignVCenter
            text: "Закладки"
            font.family: Theme.font; font.pixelSize: Theme.title; font.bold: true
            color: Theme.ink
        }
        TButton {
            objectName: "close"; text: "Закрыть"; iconName: "close"; variant: "quiet"
            x: root.width - width - 21; y: 16
            onClicked: root.fsCommand(objectName, "")
        }
        Text {
            x: 27; y: 62; height: 30
            verticalAlignment: Text.AlignVCenter
            text: "Выберите закладку в списке"
            font.family: Theme.font; font.pixelSize: Theme.small + 1
            color: Theme.muted
        }
        Row {
            x: root.width - width - 21; y: 58
            spacing: 8
            TButton {
                objectName: "DoDel"; text: "Удалить"; iconName: "trash"; variant: "danger"
                implicitHeight: 34
                onClicked: root.fsCommand(objectName, "")
            }
            TButton {
                objectName: "DoJump"; text: "Перейти"; iconName: "forward"; variant: "primary"
                implicitHeight: 34
                onClicked: root.fsCommand(objectName, "")
            }
        }
    }

    // The bed of the program's list (27, 100, 502 x 277).
    Card {
        id: field
        x: 21; y: 96
        width: 508 + 4; height: 285
        radius: Theme.radius
    }
}
