import QtQuick

// The blank face a screen holds between showings.
Rectangle {
    id: root
    width: 550
    height: 400
    color: "white"

    property int frame: 0
    signal fsCommand(string command, string args)

    function play() {}
}
