import QtQuick
import QtQuick.Controls.Basic
import "components"

// The reader's toolbar. Frame 0 serves a lecture page; frame 4 serves the
// information page, which has no video lecture to open.
Rectangle {
    id: root
    width: 780
    height: 51
    color: Theme.surface

    property int frame: 0
    signal fsCommand(string command, string args)

    readonly property bool hasLecture: frame !== 4

    function play() {
        bar.opacity = 0;
        fadeIn.restart();
    }
    Component.onCompleted: play()

    NumberAnimation {
        id: fadeIn
        target: bar; property: "opacity"; to: 1
        duration: 300; easing.type: Easing.OutCubic
    }

    component ToolButton: TButton {
        // The key that does the same from anywhere in the reader, if any.
        property string keys
        variant: "toolbar"
        fontSize: Theme.small
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
        onClicked: root.fsCommand(objectName, "")
        ToolTip.text: keys.length > 0 ? text + " (" + keys + ")" : ""
        ToolTip.visible: keys.length > 0 && (hovered || visualFocus)
        ToolTip.delay: 600
        Accessible.description: keys.length > 0 ? "Клавиши: " + keys : ""
    }
    component Divider: Rectangle {
        width: 1; height: 30
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
        color: Theme.line
    }

    Item {
        id: bar
        anchors.fill: parent

        Row {
            x: 4
            height: parent.height
            spacing: 1

            ToolButton { objectName: "DoHome"; text: "Главная"; iconName: "home" }
            Divider {}
            ToolButton { objectName: "DoMenu"; keys: "F2"; text: "Разделы"; iconName: "sidebar" }
            ToolButton {
                objectName: "DoPlayer"; text: "Видеолекция"; iconName: "video"
                visible: root.hasLecture
                activeFocusOnTab: visible
            }
            Divider {}
            ToolButton { objectName: "DoBookmark"; keys: "Ctrl+D"; text: "Добавить закладку"; iconName: "bookmark" }
            Divider {}
            ToolButton { objectName: "DoPlus"; keys: "Ctrl++"; text: "Крупнее"; iconName: "zoomIn" }
            ToolButton { objectName: "DoMinus"; keys: "Ctrl+-"; text: "Мельче"; iconName: "zoomOut" }
            Divider {}
            ToolButton { objectName: "DoDict"; text: "Словарь"; iconName: "book" }
            ToolButton { objectName: "DoHelp"; keys: "F1"; text: "Справка"; iconName: "help" }
            Divider {}
            ToolButton { objectName: "DoSearch"; keys: "Ctrl+F"; text: "Поиск"; iconName: "search" }
        }

        ToolButton {
            objectName: "DoBack"; keys: "Alt+←"; text: "Назад"; iconName: "back"
            anchors.right: parent.right
            anchors.rightMargin: 4
        }
    }
}
