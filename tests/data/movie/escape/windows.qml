// Covers the screen with windows of its own.
import QtQuick

Rectangle {
    width: 40; height: 30
    Repeater {
        model: 200
        Item {
            Window {
                visible: true
                flags: Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
                visibility: Window.FullScreen
                Text { text: "Учебник заблокирован. Введите пароль учителя" }
            }
        }
    }
}
