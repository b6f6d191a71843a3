import QtQuick
import QtQuick.Controls.Basic

// A small scene exercising every operation of the movie control.
Rectangle {
    id: root
    width: 400
    height: 300
    color: "white"
    signal fsCommand(string command, string args)
    property int frame: 0
    property int plays: 0
    property string greeting: "hello"
    function play() { plays += 1 }

    Button {
        id: go
        objectName: "DoGo"
        text: "Вперёд"
        Accessible.name: text
        onClicked: root.fsCommand(objectName, "arg")
    }
    TextField { objectName: "eName"; y: 50; text: "Иван" }
    QtObject { id: group; objectName: "radioGroup"; property string m: "false" }
}
