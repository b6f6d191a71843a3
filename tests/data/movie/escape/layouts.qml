// A Qt module the course does not use.
import QtQuick
import QtQuick.Layouts

RowLayout { width: 40; height: 30 }
