import QtQuick

// The one button of the textbook. The movie wires onClicked to its command;
// this draws the states and answers the mouse, the keyboard (Space as on any
// button, Enter/Return as on a form) and a screen reader's press.
// Built from plain Qt Quick items: loading Qt Quick Controls for a button
// and a field cost the sign-in screen a fifth of its start-up.
Item {
    id: control

    property string text
    // "secondary" | "primary" | "accent" | "danger" | "quiet" | "onDark" | "toolbar"
    property string variant: "secondary"
    property string iconName
    property int fontSize: variant === "toolbar" ? Theme.tiny : Theme.body
    property bool wrapLabel: false
    property bool centered: true
    readonly property bool vertical: variant === "toolbar"

    property real leftPadding: vertical ? 8 : (iconName.length > 0 ? 12 : 16)
    property real rightPadding: vertical ? 8 : 16
    property real topPadding: vertical ? 4 : 6
    property real bottomPadding: vertical ? 4 : 6
    property real spacing: vertical ? 2 : 8
    readonly property real availableWidth: Math.max(0, width - leftPadding - rightPadding)
    readonly property real availableHeight: Math.max(0, height - topPadding - bottomPadding)

    readonly property bool hovered: enabled && pointer.containsMouse
    // Held down by the mouse (while over the button) or by Space.
    readonly property bool pressed: pointer.containsPress || held.key
    readonly property bool down: pressed
    // The focus ring is for the keyboard: focus taken by a click shows none.
    readonly property bool visualFocus: activeFocus && !held.clickFocus

    signal clicked()

    activeFocusOnTab: true
    implicitHeight: vertical ? 45 : 38
    implicitWidth: Math.max(vertical ? 56 : 64, face.implicitWidth + leftPadding + rightPadding)

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.focusable: true
    Accessible.pressed: down
    // A screen reader presses a button through this action; without a
    // handler Qt Quick does nothing for it.
    Accessible.onPressAction: if (enabled) control.clicked()

    QtObject {
        id: held
        property bool key: false
        property bool clickFocus: false
    }
    onActiveFocusChanged: {
        if (!activeFocus) {
            held.clickFocus = false;
            held.key = false; // focus left while Space was held: no click
        }
    }
    onEnabledChanged: if (!enabled) held.key = false

    // Space clicks on release, as on any button; Enter and Return at once.
    Keys.onSpacePressed: (event) => {
        if (!event.isAutoRepeat)
            held.key = true;
    }
    Keys.onReleased: (event) => {
        event.accepted = event.key === Qt.Key_Space;
        if (!event.accepted || event.isAutoRepeat || !held.key)
            return;
        held.key = false;
        control.clicked();
    }
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    readonly property color fillColor: {
        switch (variant) {
        case "primary":
            return down ? Theme.primaryPressed : (hovered ? Theme.primaryHover : Theme.primary);
        case "accent":
            return down ? Theme.accentPressed : (hovered ? Theme.accentHover : Theme.accent);
        case "onDark":
            return down ? Qt.rgba(1, 1, 1, 0.28) : (hovered ? Qt.rgba(1, 1, 1, 0.2) : Qt.rgba(1, 1, 1, 0.1));
        case "quiet":
        case "toolbar":
            return down ? Theme.primarySoft : (hovered ? Theme.primarySofter : "transparent");
        case "danger":
            return down ? "#F6D5D1" : (hovered ? Theme.dangerSoft : Theme.surface);
        default:
            return down ? Theme.primarySoft : (hovered ? Theme.primarySofter : Theme.surface);
        }
    }
    readonly property color labelColor: {
        if (!enabled)
            return "#9AA3AE";
        switch (variant) {
        case "primary":
        case "accent":
        case "onDark":
            return Theme.onDark;
        case "danger":
            return Theme.danger;
        case "toolbar":
            return Theme.ink;
        default:
            return Theme.primary;
        }
    }
    readonly property color iconColor: variant === "toolbar" ? Theme.primary : labelColor

    // A soft lip under raised buttons; flat variants stay flat.
    Rectangle {
        visible: control.variant === "primary" || control.variant === "accent"
        anchors.fill: plate
        anchors.topMargin: 2
        anchors.bottomMargin: -2
        radius: plate.radius
        color: Qt.rgba(0, 0, 0, control.down ? 0 : 0.14)
    }
    Rectangle {
        id: plate
        anchors.fill: parent
        radius: Theme.radius
        color: control.fillColor
        border.width: control.variant === "secondary" || control.variant === "danger" ? 1 : 0
        border.color: control.variant === "danger" ? "#E3B1AB" : Theme.lineStrong
        Behavior on color { ColorAnimation { duration: Theme.quick } }
    }
    Rectangle {
        anchors.fill: parent
        anchors.margins: -3
        radius: Theme.radius + 3
        color: "transparent"
        border.width: 2
        border.color: Theme.focus
        visible: control.visualFocus
    }

    Item {
        id: face
        x: control.leftPadding
        y: control.topPadding
        width: control.availableWidth
        height: control.availableHeight
        implicitWidth: control.vertical ? Math.max(glyph.implicitWidth, label.implicitWidth)
                                        : (glyph.visible ? glyph.width + control.spacing : 0) + label.implicitWidth
        implicitHeight: control.vertical ? glyph.height + control.spacing + label.implicitHeight
                                         : Math.max(glyph.visible ? glyph.height : 0, label.implicitHeight)
        readonly property real lead: !control.centered || control.wrapLabel
                                     ? 0 : Math.max(0, (width - implicitWidth) / 2)

        Icon {
            id: glyph
            visible: control.iconName.length > 0
            name: control.iconName
            color: control.iconColor
            width: control.vertical ? 20 : 18
            height: width
            stroke: control.vertical ? 1.8 : 2
            x: control.vertical ? (parent.width - width) / 2 : face.lead
            y: control.vertical ? 0 : (parent.height - height) / 2
        }
        Text {
            id: label
            text: control.text
            font.family: Theme.font
            font.pixelSize: control.fontSize
            font.bold: control.variant === "primary" || control.variant === "accent"
            color: control.labelColor
            wrapMode: control.wrapLabel ? Text.WordWrap : Text.NoWrap
            elide: control.wrapLabel ? Text.ElideNone : Text.ElideRight
            horizontalAlignment: control.vertical || (control.centered && !glyph.visible)
                                 ? Text.AlignHCenter : Text.AlignLeft
            verticalAlignment: Text.AlignVCenter
            x: control.vertical ? 0 : face.lead + (glyph.visible ? glyph.width + control.spacing : 0)
            y: control.vertical ? glyph.height + control.spacing : (parent.height - height) / 2
            width: control.vertical ? parent.width
                                    : (control.wrapLabel ? parent.width - x
                                                         : Math.min(implicitWidth, parent.width - x))
        }
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        onPressed: {
            held.clickFocus = true;
            control.forceActiveFocus(Qt.MouseFocusReason);
        }
        onClicked: control.clicked()
    }
}
