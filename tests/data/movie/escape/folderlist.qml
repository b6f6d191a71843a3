// Lists a folder outside the course.
import QtQuick
import Qt.labs.folderlistmodel

Rectangle {
    width: 40; height: 30
    ListView {
        anchors.fill: parent
        model: FolderListModel { folder: "file:///etc" }
        delegate: Text { text: fileName }
    }
}
