import QtQuick

// Fades an item in while it slides up into place. The item must be placed
// by x/y (not anchored vertically) so that y can be animated.
SequentialAnimation {
    id: entrance
    property Item target
    property int delay: 0
    property real distance: 16
    property real restY: 0
    property int duration: Theme.enter

    ScriptAction {
        script: {
            entrance.target.opacity = 0;
            entrance.target.y = entrance.restY + entrance.distance;
        }
    }
    PauseAnimation { duration: entrance.delay }
    ParallelAnimation {
        NumberAnimation {
            target: entrance.target; property: "opacity"
            to: 1; duration: entrance.duration; easing.type: Easing.OutCubic
        }
        NumberAnimation {
            target: entrance.target; property: "y"
            to: entrance.restY; duration: entrance.duration; easing.type: Easing.OutCubic
        }
    }
}
