import QtQuick

// A labelled text field. The field itself carries the objectName, so the
// program reads and writes its text by that name. The editor is a plain
// TextInput (no Qt Quick Controls to load): a screen reader sees an
// editable text, or a password field when echoMode says so.
Item {
    id: field
    property string label
    property alias input: edit
    property alias text: edit.text
    property alias placeholderText: hint.text
    property alias maximumLength: edit.maximumLength
    property alias validator: edit.validator
    property alias echoMode: edit.echoMode
    property string fieldName
    signal accepted()

    implicitHeight: caption.implicitHeight + 4 + edit.height
    implicitWidth: 200

    Text {
        id: caption
        text: field.label
        font.family: Theme.font
        font.pixelSize: Theme.small
        font.bold: true
        color: Theme.muted
    }
    TextInput {
        id: edit
        objectName: field.fieldName
        y: caption.implicitHeight + 4
        width: parent.width
        height: 31
        leftPadding: 10
        rightPadding: 10
        topPadding: 6
        bottomPadding: 6
        verticalAlignment: TextInput.AlignVCenter
        clip: true
        activeFocusOnTab: true
        selectByMouse: true
        font.family: Theme.font
        font.pixelSize: Theme.body
        color: Theme.ink
        selectionColor: palette.highlight
        selectedTextColor: palette.highlightedText
        Accessible.name: field.label
        Accessible.description: hint.text
        Accessible.focusable: true
        onAccepted: field.accepted()

        Rectangle {
            z: -1
            anchors.fill: parent
            radius: 6
            color: edit.activeFocus ? Theme.surface : "#FBFAF7"
            border.width: edit.activeFocus ? 2 : 1
            border.color: edit.activeFocus ? Theme.focus : Theme.lineStrong
        }
        // Shown while nothing is typed.
        Text {
            id: hint
            x: edit.leftPadding
            width: edit.width - edit.leftPadding - edit.rightPadding
            height: edit.height
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            visible: text.length > 0 && edit.length === 0 && edit.preeditText.length === 0
            font: edit.font
            color: edit.palette.placeholderText
            Accessible.ignored: true
        }
    }
}
