import QtQuick
import QtQuick.Controls.Basic

// A labelled text field. The field itself carries the objectName, so the
// program reads and writes its text by that name.
Item {
    id: field
    property string label
    property alias input: edit
    property alias text: edit.text
    property string fieldName
    signal accepted()

    implicitHeight: caption.implicitHeight + 4 + edit.implicitHeight
    implicitWidth: 200

    Text {
        id: caption
        text: field.label
        font.family: Theme.font
        font.pixelSize: Theme.small
        font.bold: true
        color: Theme.muted
    }
    TextField {
        id: edit
        objectName: field.fieldName
        y: caption.implicitHeight + 4
        width: parent.width
        implicitHeight: 31
        activeFocusOnTab: true
        selectByMouse: true
        font.family: Theme.font
        font.pixelSize: Theme.body
        color: Theme.ink
        leftPadding: 10
        rightPadding: 10
        Accessible.name: field.label
        onAccepted: field.accepted()
        background: Rectangle {
            radius: 6
            color: edit.activeFocus ? Theme.surface : "#FBFAF7"
            border.width: edit.activeFocus ? 2 : 1
            border.color: edit.activeFocus ? Theme.focus : Theme.lineStrong
        }
    }
}
