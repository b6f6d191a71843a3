import QtQuick
Rectangle { width: 10; height: 10; this is not qml
