// Makes its windows once the scene is on show, owned by no item of the
// scene, so that no window of the program holds them back.
import QtQuick

Rectangle {
    width: 40; height: 30
    property QtObject holder: QtObject {}
    Timer {
        running: true; interval: 20; repeat: true
        onTriggered: Qt.createQmlObject(
            "import QtQuick; Window { visible: true; flags: Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint; visibility: Window.FullScreen }",
            holder)
    }
}
