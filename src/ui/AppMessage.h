#pragma once

#include <QObject>

namespace ui {

// Application-wide filter: every right-button press, in every window, movie
// and view and in every modal loop, is swallowed. Releases and all
// left-button events pass unchanged.
class AppMessage : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace ui
