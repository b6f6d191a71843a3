// A module named only in a string, past any reading of the file's imports.
import QtQuick

Rectangle {
    width: 40; height: 30
    property bool made: false
    Component.onCompleted: {
        try {
            Qt.createQmlObject("import QtQuick.Layouts; RowLayout {}", this)
            made = true
        } catch (e) {
        }
    }
}
