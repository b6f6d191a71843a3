// Sends learner data out through a socket, past the network manager.
import QtQuick
import QtWebSockets

Rectangle {
    width: 40; height: 30
    WebSocket {
        url: "ws://127.0.0.1:@PORT@/"
        active: true
        onStatusChanged: if (status === WebSocket.Open) sendTextMessage("Пётр Иванов")
    }
}
