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
        // The key that does the same from anywhere in the reader, if any.
        property string keys
        variant: "toolbar"
        fontSize: Theme.small
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
        onClicked: root.fsCommand(objectName, "")
        readonly property bool tipWanted: keys.length > 0 && (hovered || visualFocus)
        onTipWantedChanged: root.showTip(this, tipWanted)
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

    // The keys of the hovered or focused command, after a short wait: above
    // the button where the scene has room, else below, else over the bar.
    function showTip(button, wanted) {
        if (wanted) {
            tip.owner = button;
            tip.visible = false;
            tipDelay.restart();
        } else if (tip.owner === button) {
            tipDelay.stop();
            tip.visible = false;
            tip.owner = null;
        }
    }
    Timer {
        id: tipDelay
        interval: 600
        onTriggered: {
            const button = tip.owner;
            if (!button)
                return;
            const at = button.mapToItem(root, 0, 0);
            const margin = 6;
            tip.x = Math.max(margin, Math.min(root.width - margin - tip.width,
                                              at.x + (button.width - tip.width) / 2));
            let y = at.y - tip.height - 3;
            if (y < margin)
                y = at.y + button.height + 3;
            if (y + tip.height > root.height - margin)
                y = Math.max(margin, Math.min(root.height - margin - tip.height, at.y - tip.height - 3));
            tip.y = y;
            tip.visible = true;
        }
    }
    Rectangle {
        id: tip
        objectName: "toolTip"
        property Item owner: null
        readonly property string text: owner ? owner.text + " (" + owner.keys + ")" : ""
        visible: false
        z: 100
        width: Math.min(tipText.implicitWidth, root.width - 24) + 12
        height: tipText.implicitHeight + 12
        color: palette.toolTipBase
        border.color: palette.dark
        Accessible.role: Accessible.ToolTip
        Accessible.name: text
        Text {
            id: tipText
            x: 6; y: 6
            width: parent.width - 12
            text: tip.text
            wrapMode: Text.Wrap
            color: tip.palette.toolTipText
        }
    }
}
