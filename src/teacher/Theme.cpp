#include "teacher/Theme.h"

namespace teacher::theme {

QString styleSheet()
{
    return QStringLiteral(R"(
QMainWindow, #page { background: #F6F3EC; }
QWidget { font-family: "Liberation Sans"; font-size: 14px; color: #1E2733; }
#header { background: #1F3B63; }
#header QLabel { color: #FFFFFF; }
#headerTitle { font-size: 22px; font-weight: bold; }
#headerNote { color: #C9D6EA; font-size: 12px; }
QPushButton {
    background: #FFFFFF; border: 1px solid #C3CCD8; border-radius: 8px;
    padding: 6px 14px; color: #1F3B63;
}
QPushButton:hover { background: #F1F5FA; }
QPushButton:pressed { background: #E7EDF6; }
QPushButton:focus { border: 2px solid #D9822B; }
QPushButton:disabled { color: #9AA3AF; border-color: #DDD6C8; }
QPushButton#primary { background: #C2621A; border-color: #C2621A; color: #FFFFFF; font-weight: bold; }
QPushButton#primary:hover { background: #AD5614; }
QPushButton#primary:pressed { background: #924610; }
QPushButton#primary:disabled { background: #E7C9B1; border-color: #E7C9B1; }
QComboBox {
    background: #FFFFFF; border: 1px solid #C3CCD8; border-radius: 6px; padding: 4px 8px;
    min-width: 9em;
}
QComboBox:focus { border: 2px solid #D9822B; }
QTableView {
    background: #FFFFFF; alternate-background-color: #F1F5FA; border: 1px solid #DDD6C8;
    border-radius: 8px; gridline-color: #DDD6C8;
    selection-background-color: #E7EDF6; selection-color: #15294A;
}
QTableView:focus { border: 2px solid #D9822B; }
QHeaderView::section {
    background: #E7EDF6; color: #15294A; border: none; border-right: 1px solid #DDD6C8;
    padding: 6px; font-weight: bold;
}
QTextBrowser { background: #FFFFFF; border: 1px solid #DDD6C8; border-radius: 8px; }
QTextBrowser:focus { border: 2px solid #D9822B; }
#card { background: #FFFFFF; border: 1px solid #DDD6C8; border-radius: 12px; }
#hint { color: #5B6472; font-size: 17px; }
#sectionTitle { color: #1F3B63; font-size: 17px; font-weight: bold; }
QSplitter::handle { background: #F6F3EC; }
)");
}

} // namespace teacher::theme
