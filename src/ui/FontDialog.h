#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace ui {

// A font dialog with colour, underline, strike-out and an Apply button: face
// (every screen font, or a typed name), size (any whole point size), style,
// colour, effects and a live sample. It keeps the font and colour chosen
// with OK or Apply for its next showing; Cancel leaves them as they were.
class FontDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FontDialog(QWidget *parent = nullptr);

    // The kept font and colour, which the next showing starts from.
    QFont chosenFont() const { return m_font; }
    QColor chosenColor() const { return m_color; }
    void setChosenFont(const QFont &font);
    void setChosenColor(const QColor &color);

    // Shows the dialog modally from the kept font; true for OK.
    bool Execute();

    // The selection in the controls, as it stands.
    QFont selectedFont() const;
    QColor selectedColor() const { return m_selectedColor; }

    // The controls, by name, for keyboard order and tests.
    QComboBox *faceBox = nullptr;
    QSpinBox *sizeBox = nullptr;
    QListWidget *sizeList = nullptr;
    QComboBox *styleBox = nullptr;
    QPushButton *colorButton = nullptr;
    QCheckBox *underlineBox = nullptr;
    QCheckBox *strikeOutBox = nullptr;
    QLabel *sample = nullptr;
    QDialogButtonBox *buttons = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *applyButton = nullptr;

    // Test seam: while set, it answers in place of the colour dialog
    // (given the current colour; an invalid colour means Cancel).
    using ColorHook = std::function<QColor(const QColor &current)>;
    static void setColorHook(ColorHook hook);

signals:
    // Apply was pressed; the selection has been copied into the kept font.
    void applied();

private:
    // The constructor's steps: the controls, the button row, their places
    // and keyboard order, their signals.
    void createControls();
    void createButtons();
    void arrangeControls();
    void connectControls();
    void loadControls();
    void takeSelection();
    void chooseColor();
    void setSelectedColor(const QColor &color);
    void updateSample();

    QFont m_font;
    QColor m_color;
    QColor m_selectedColor;
};

} // namespace ui
