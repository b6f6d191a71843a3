import QtQml
QtObject { property int frame: 0 }
