import QtQuick

// The floor of the start-up figure: one scene with a little text.
Rectangle {
    width: 542
    height: 373
    color: "white"
    Text {
        anchors.centerIn: parent
        text: "Тарвел"
        font.pixelSize: 24
    }
}
