import QtQuick

// A white sheet lying on the paper background, with a soft drop under it.
Item {
    id: card
    default property alias content: body.data
    property alias color: sheet.color
    property alias border: sheet.border
    property real radius: Theme.radiusLarge
    property bool raised: true

    Rectangle {
        visible: card.raised
        anchors.fill: sheet
        anchors.topMargin: 3
        anchors.bottomMargin: -3
        radius: card.radius
        color: Qt.rgba(0.12, 0.18, 0.28, 0.07)
    }
    Rectangle {
        id: sheet
        anchors.fill: parent
        radius: card.radius
        color: Theme.surface
        border.width: 1
        border.color: Theme.line
    }
    Item {
        id: body
        anchors.fill: parent
    }
}
