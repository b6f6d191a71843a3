import QtQuick
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
        variant: "toolbar"
        fontSize: Theme.small
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
        onClicked: root.fsCommand(objectName, "")
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
            ToolButton { objectName: "DoMenu"; text: "Разделы"; iconName: "sidebar" }
            ToolButton {
                objectName: "DoPlayer"; text: "Видеолекция"; iconName: "video"
                visible: root.hasLecture
                activeFocusOnTab: visible
            }
            Divider {}
            ToolButton { objectName: "DoBookmark"; text: "Добавить закладку"; iconName: "bookmark" }
            Divider {}
            ToolButton { objectName: "DoPlus"; text: "Крупнее"; iconName: "zoomIn" }
            ToolButton { objectName: "DoMinus"; text: "Мельче"; iconName: "zoomOut" }
            Divider {}
            ToolButton { objectName: "DoDict"; text: "Словарь"; iconName: "book" }
            ToolButton { objectName: "DoHelp"; text: "Справка"; iconName: "help" }
            Divider {}
            ToolButton { objectName: "DoSearch"; text: "Поиск"; iconName: "search" }
        }

        ToolButton {
            objectName: "DoBack"; text: "Назад"; iconName: "back"
            anchors.right: parent.right
            anchors.rightMargin: 4
        }
    }
}
