// A whole application window as the scene.
import QtQuick
import QtQuick.Controls.Basic

ApplicationWindow {
    visible: true
    flags: Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    visibility: Window.FullScreen
}
