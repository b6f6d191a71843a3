import QtQuick
import "components"

// Reading font. The program shows a preview of the dictionary in the framed
// field on the left; the choices live in the column on the right.
Rectangle {
    id: root
    width: 550
    height: 400
    color: Theme.paper

    property int frame: 0
    signal fsCommand(string command, string args)
    // Set by the program: "1" while the page text stands in a narrow column.
    property string narrow: "0"

    function play() {
        entry.stop();
        entry.start();
    }
    Component.onCompleted: play()
    // A frame jump shows the screen at rest.
    onFrameChanged: entry.complete()

    ParallelAnimation {
        id: entry
        Entrance { target: field; restY: 20; distance: 10; duration: 380 }
        Entrance { target: side; restY: 0; delay: 90; distance: 14; duration: 380 }
    }

    // The bed of the program's preview (16, 24, 401 x 345).
    Card {
        id: field
        x: 12; y: 20
        width: 409; height: 353
        radius: Theme.radius
    }
    Text {
        x: 16; y: 378
        text: "Образец: так будет выглядеть текст лекций"
        font.family: Theme.font; font.pixelSize: Theme.tiny
        color: Theme.muted
    }

    Item {
        id: side
        x: 0; y: 0
        width: root.width; height: root.height

        Rectangle {
            x: 432; y: 20; width: 38; height: 38; radius: 19
            color: Theme.primarySoft
            Icon { anchors.centerIn: parent; width: 22; height: 22; name: "font" }
        }
        Text {
            x: 432; y: 66; width: 106
            text: "Выбор шрифта"
            wrapMode: Text.WordWrap
            font.family: Theme.font; font.pixelSize: Theme.heading + 1; font.bold: true
            color: Theme.ink
        }
        Text {
            x: 432; y: 118; width: 106
            text: "Выбор запоминается для вас."
            wrapMode: Text.WordWrap
            lineHeight: 1.15
            font.family: Theme.font; font.pixelSize: Theme.tiny
            color: Theme.muted
        }
        Column {
            x: 430; y: 160
            width: 110
            spacing: 6
            TButton {
                objectName: "DoChange"; text: "Выбрать шрифт"; variant: "primary"
                width: parent.width; implicitHeight: 50; wrapLabel: true
                leftPadding: 8; rightPadding: 8
                onClicked: root.fsCommand(objectName, "")
            }
            TButton {
                objectName: "DoDefoult"; text: "Размеры по умолчанию"
                width: parent.width; implicitHeight: 50; wrapLabel: true
                leftPadding: 8; rightPadding: 8
                onClicked: root.fsCommand(objectName, "")
            }
            // The page text edge to edge, or in a centred column of about
            // ninety characters; the label says which it is now.
            TButton {
                objectName: "DoColumn"
                text: root.narrow === "1" ? "Колонка: узкая" : "Колонка: во всю ширину"
                width: parent.width; implicitHeight: 50; wrapLabel: true
                leftPadding: 8; rightPadding: 8
                onClicked: root.fsCommand(objectName, "")
            }
        }
        TButton {
            objectName: "close"; text: "Закрыть"; iconName: "close"; variant: "quiet"
            x: 430; width: 110
            y: 335
            onClicked: root.fsCommand(objectName, "")
        }
    }
}
