pragma Singleton
import QtQuick

// One palette and one type scale for every screen of the textbook:
// deep academic blue, a warm amber accent, warm paper for the background.
QtObject {
    readonly property string font: "Liberation Sans"

    readonly property color paper: "#F6F3EC"
    readonly property color surface: "#FFFFFF"
    readonly property color line: "#DDD6C8"
    readonly property color lineStrong: "#C3CCD8"

    readonly property color primary: "#1F3B63"
    readonly property color primaryDark: "#15294A"
    readonly property color primaryHover: "#2A4C7C"
    readonly property color primaryPressed: "#132541"
    readonly property color primarySoft: "#E7EDF6"
    readonly property color primarySofter: "#F1F5FA"

    readonly property color accent: "#C2621A"
    readonly property color accentHover: "#AD5614"
    readonly property color accentPressed: "#924610"
    readonly property color accentSoft: "#FBEBDC"
    readonly property color accentBright: "#F0A04B"

    readonly property color ink: "#1E2733"
    readonly property color muted: "#5B6472"
    readonly property color onDark: "#FFFFFF"
    readonly property color onDarkMuted: "#C9D6EA"

    readonly property color danger: "#A8322A"
    readonly property color dangerSoft: "#FBE9E7"
    readonly property color success: "#2E7D4F"
    readonly property color successSoft: "#E4F3EA"

    // The keyboard focus ring: the accent, so it reads on light and dark grounds.
    readonly property color focus: "#D9822B"

    readonly property int display: 46
    readonly property int title: 22
    readonly property int heading: 17
    readonly property int body: 14
    readonly property int small: 12
    readonly property int tiny: 11

    readonly property int radius: 8
    readonly property int radiusLarge: 12

    // Entry animations stay short: the screens are tools, not shows.
    readonly property int enter: 450
    readonly property int quick: 140
}
