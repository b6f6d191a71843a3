// Keeps learner names in a database under ~/.local/share.
import QtQuick
import QtQuick.LocalStorage

Rectangle {
    width: 40; height: 30
    Component.onCompleted: {
        var db = LocalStorage.openDatabaseSync("names", "1.0", "", 100000)
        db.transaction(function (tx) { tx.executeSql("CREATE TABLE IF NOT EXISTS t(name TEXT)") })
    }
}
