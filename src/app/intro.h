#pragma once

#include "app/Screen.h"

#include <QSize>
#include <functional>

class MovieControl;

// The home screen: a borderless window over the work area whose home movie
// sends the commands that lead everywhere else.
class TfrmIntro : public TModalScreen
{
    Q_OBJECT
public:
    explicit TfrmIntro(QWidget *parent = nullptr);

    void FlashFSCommand(const QString &command, const QString &args);
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);

    MovieControl *Flash = nullptr;

    // Seams for tests: the size of the virtual desktop, and how a companion
    // program is started (returns whether it started).
    static void setDesktopSizeSource(std::function<QSize()> source);
    static void setProgramStarter(std::function<bool(const QString &)> starter);

protected:
    void FormActivate() override;
    void FormDeactivate() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startCompanion(const QString &relativePath);
    bool m_keyPreview = false;
};
