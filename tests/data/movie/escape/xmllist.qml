// Reads the learners' data file.
import QtQuick
import QtQml.XmlListModel

Rectangle {
    width: 40; height: 30
    XmlListModel {
        source: "../dect.chh"
        query: "/dect/registred_users/registred_user"
        XmlListModelRole { name: "name"; elementName: "name" }
    }
}
