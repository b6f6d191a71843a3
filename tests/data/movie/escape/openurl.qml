// Hands learner data to another program in an address.
import QtQuick

Rectangle {
    width: 40; height: 30
    Component.onCompleted: Qt.openUrlExternally("http://127.0.0.1:@PORT@/?learner=Пётр")
}
