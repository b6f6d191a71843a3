import QtQuick

// The frame every lecture movie shares: a title band, a stage for the
// drawing, and a caption that walks through the steps. The drawing binds to
// `step`; the scene advances it and starts over after the last one.
// A learner may stop the walk to read a step, go on one step at a time, or
// start over; none of these buttons is a command of the program.
Item {
    id: scene

    property int number: 1
    property string title
    property var captions: []
    property int interval: 2600
    property int step: 0
    readonly property int count: captions.length
    readonly property bool running: ticker.running
    default property alias stage: stageArea.data

    // The scene fills the movie, whatever size the reader's panel gives it;
    // the panel's pull strip lies over the bottom `handle` pixels, so nothing
    // is drawn there.
    width: parent ? parent.width : 550
    height: parent ? parent.height : 400
    readonly property int handle: 12

    // Shows step n without moving on.
    function show(n) {
        ticker.stop();
        step = Math.max(0, Math.min(n, count - 1));
    }
    // Runs on from the step shown.
    function run() {
        ticker.restart();
        reveal.restart();
    }
    function restart() {
        show(0);
        run();
    }
    function pause() { ticker.stop(); }
    // Stops the walk and shows the next step; after the last comes the first.
    function stepOn() {
        ticker.stop();
        step = (step + 1) % Math.max(1, count);
    }

    Timer {
        id: ticker
        interval: scene.step === scene.count - 1 ? scene.interval * 1.6 : scene.interval
        repeat: true
        onTriggered: scene.step = (scene.step + 1) % Math.max(1, scene.count)
    }
    NumberAnimation {
        id: reveal
        target: stageArea; property: "opacity"; from: 0; to: 1
        duration: Theme.enter; easing.type: Easing.OutCubic
    }

    Rectangle {
        id: band
        width: parent.width; height: 44
        color: Theme.primary
        Rectangle {
            id: badge
            x: 16; anchors.verticalCenter: parent.verticalCenter
            width: badgeText.implicitWidth + 20; height: 24; radius: 12
            color: Theme.accent
            Text {
                id: badgeText
                anchors.centerIn: parent
                text: "Лекция " + scene.number
                font.family: Theme.font; font.pixelSize: Theme.small; font.bold: true
                color: Theme.onDark
            }
        }
        Text {
            anchors.left: badge.right; anchors.leftMargin: 12
            anchors.right: parent.right; anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            text: scene.title
            elide: Text.ElideRight
            font.family: Theme.font; font.pixelSize: Theme.heading; font.bold: true
            color: Theme.onDark
        }
    }

    Item {
        id: stageArea
        x: 16; y: band.height + 6
        width: parent.width - 32; height: captionCard.y - 4 - y
    }

    Card {
        id: captionCard
        x: 16; y: scene.height - scene.handle - height
        width: parent.width - 32; height: 72
        radius: Theme.radius
        raised: false

        Text {
            id: caption
            x: 14; y: 5
            width: parent.width - 28
            height: 36
            verticalAlignment: Text.AlignVCenter
            text: scene.captions[scene.step] || ""
            wrapMode: Text.WordWrap
            maximumLineCount: 2
            // A long caption gets a smaller type rather than losing its end.
            fontSizeMode: Text.Fit
            minimumPixelSize: Theme.tiny
            font.family: Theme.font; font.pixelSize: Theme.small + 1
            color: Theme.ink
            // Told to a screen reader as each step comes, while the learner
            // is in the movie.
            Accessible.role: Accessible.Notification
            onTextChanged: { opacity = 0; fade.restart(); }
            NumberAnimation { id: fade; target: caption; property: "opacity"; to: 1; duration: 300 }
        }
        Row {
            x: 14; anchors.verticalCenter: controls.verticalCenter
            spacing: 5
            Repeater {
                model: scene.count
                Rectangle {
                    width: index === scene.step ? 16 : 6; height: 6; radius: 3
                    color: index <= scene.step ? Theme.accent : Theme.line
                    Behavior on width { NumberAnimation { duration: 200 } }
                }
            }
        }
        Row {
            id: controls
            anchors.right: parent.right; anchors.rightMargin: 6
            y: 42
            spacing: 2
            TButton {
                id: pauseButton
                objectName: "pause"
                text: scene.running ? "Пауза" : "Продолжить"
                iconName: scene.running ? "pause" : "play"
                variant: "quiet"; fontSize: Theme.tiny
                height: 26; topPadding: 2; bottomPadding: 2; leftPadding: 8; rightPadding: 10
                onClicked: scene.running ? scene.pause() : scene.run()
            }
            TButton {
                id: stepButton
                objectName: "step"
                text: "Шаг"
                iconName: "step"
                variant: "quiet"; fontSize: Theme.tiny
                height: 26; topPadding: 2; bottomPadding: 2; leftPadding: 8; rightPadding: 10
                onClicked: scene.stepOn()
            }
            TButton {
                id: replay
                objectName: "replay"
                text: "Повторить"
                iconName: "replay"
                variant: "quiet"; fontSize: Theme.tiny
                height: 26; topPadding: 2; bottomPadding: 2; leftPadding: 8; rightPadding: 10
                onClicked: scene.restart()
            }
        }
    }
}
