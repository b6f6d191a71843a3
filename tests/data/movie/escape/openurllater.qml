// The same, once the scene is on show, with a file of the course.
import QtQuick

Rectangle {
    width: 40; height: 30
    Timer {
        running: true; interval: 50
        onTriggered: Qt.openUrlExternally("openurllater.qml?learner=Пётр")
    }
}
