import QtQuick

// A one-line notice: a calm hint, or a warning that asks for an action first.
Rectangle {
    id: banner
    property string text
    property bool warning: false
    property alias label: caption

    implicitHeight: Math.max(36, caption.implicitHeight + 14)
    radius: Theme.radius
    color: warning ? Theme.accentSoft : Theme.primarySofter
    border.width: 1
    border.color: warning ? "#EBC39C" : "#D3DEEC"
    Behavior on color { ColorAnimation { duration: 200 } }

    Icon {
        id: mark
        name: banner.warning ? "warning" : "info"
        color: banner.warning ? Theme.accent : Theme.primary
        width: 18; height: 18
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.verticalCenter: parent.verticalCenter
    }
    Text {
        id: caption
        text: banner.text
        anchors.left: mark.right
        anchors.leftMargin: 8
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        wrapMode: Text.WordWrap
        font.family: Theme.font
        font.pixelSize: Theme.small + 1
        font.bold: banner.warning
        color: banner.warning ? "#7A3A0C" : Theme.ink
    }
}
