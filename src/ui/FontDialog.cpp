#include "ui/FontDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace ui {

namespace {

FontDialog::ColorHook g_colorHook;

// The largest size the classic font dialogs accept; anything below it goes.
constexpr int kMaxPointSize = 1638;

const int kCommonSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

enum Style { Regular, Italic, Bold, BoldItalic };

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(color.isValid() ? color : QColor(Qt::black));
    QPainter painter(&pixmap);
    painter.setPen(Qt::gray);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

void FontDialog::setColorHook(ColorHook hook)
{
    g_colorHook = std::move(hook);
}

FontDialog::FontDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgFont"));
    setWindowTitle(QStringLiteral("Шрифт"));
    setSizeGripEnabled(true);
    createControls();
    createButtons();
    arrangeControls();
    connectControls();
    m_font = QFont(QStringLiteral("MS Sans Serif"), 8);
    m_color = palette().color(QPalette::WindowText);
    loadControls();
}

void FontDialog::createControls()
{
    faceBox = new QComboBox(this);
    faceBox->setObjectName(QStringLiteral("faceBox"));
    faceBox->setEditable(true);
    faceBox->setInsertPolicy(QComboBox::NoInsert);
    faceBox->setMinimumWidth(200);
    for (const QString &family : QFontDatabase::families())
        if (!QFontDatabase::isPrivateFamily(family))
            faceBox->addItem(family);

    styleBox = new QComboBox(this);
    styleBox->setObjectName(QStringLiteral("styleBox"));
    styleBox->addItems({QStringLiteral("Обычный"), QStringLiteral("Курсив"),
                        QStringLiteral("Полужирный"), QStringLiteral("Полужирный курсив")});

    sizeBox = new QSpinBox(this);
    sizeBox->setObjectName(QStringLiteral("sizeBox"));
    sizeBox->setRange(1, kMaxPointSize);
    sizeList = new QListWidget(this);
    sizeList->setObjectName(QStringLiteral("sizeList"));
    for (int size : kCommonSizes)
        sizeList->addItem(QString::number(size));
    sizeList->setMaximumWidth(80);

    underlineBox = new QCheckBox(QStringLiteral("Подчёркнутый"), this);
    underlineBox->setObjectName(QStringLiteral("underlineBox"));
    strikeOutBox = new QCheckBox(QStringLiteral("Зачёркнутый"), this);
    strikeOutBox->setObjectName(QStringLiteral("strikeOutBox"));
    colorButton = new QPushButton(QStringLiteral("Цвет..."), this);
    colorButton->setObjectName(QStringLiteral("colorButton"));

    sample = new QLabel(QStringLiteral("АаБбВв AaBbYyZz"), this);
    sample->setObjectName(QStringLiteral("sample"));
    sample->setAlignment(Qt::AlignCenter);
    sample->setMinimumSize(260, 70);
    sample->setAutoFillBackground(true);
}

void FontDialog::createButtons()
{
    buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton(QStringLiteral("ОК"), QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    applyButton = buttons->addButton(QStringLiteral("Применить"), QDialogButtonBox::ApplyRole);
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    applyButton->setObjectName(QStringLiteral("applyButton"));
    okButton->setDefault(true);
}

void FontDialog::arrangeControls()
{
    auto *grid = new QGridLayout;
    auto *faceLabel = new QLabel(QStringLiteral("&Шрифт:"), this);
    faceLabel->setBuddy(faceBox);
    auto *styleLabel = new QLabel(QStringLiteral("&Начертание:"), this);
    styleLabel->setBuddy(styleBox);
    auto *sizeLabel = new QLabel(QStringLiteral("&Размер:"), this);
    sizeLabel->setBuddy(sizeBox);
    grid->addWidget(faceLabel, 0, 0);
    grid->addWidget(styleLabel, 0, 1);
    grid->addWidget(sizeLabel, 0, 2);
    grid->addWidget(faceBox, 1, 0);
    grid->addWidget(styleBox, 1, 1);
    grid->addWidget(sizeBox, 1, 2);
    grid->addWidget(sizeList, 2, 2, 2, 1);

    auto *effects = new QGroupBox(QStringLiteral("Видоизменение"), this);
    auto *effectsLayout = new QVBoxLayout(effects);
    effectsLayout->addWidget(underlineBox);
    effectsLayout->addWidget(strikeOutBox);
    effectsLayout->addWidget(colorButton);
    grid->addWidget(effects, 2, 0);

    auto *sampleBox = new QGroupBox(QStringLiteral("Образец"), this);
    auto *sampleLayout = new QVBoxLayout(sampleBox);
    sampleLayout->addWidget(sample);
    grid->addWidget(sampleBox, 2, 1, 2, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    setTabOrder(faceBox, styleBox);
    setTabOrder(styleBox, sizeBox);
    setTabOrder(sizeBox, sizeList);
    setTabOrder(sizeList, underlineBox);
    setTabOrder(underlineBox, strikeOutBox);
    setTabOrder(strikeOutBox, colorButton);
}

void FontDialog::connectControls()
{
    connect(faceBox, &QComboBox::currentTextChanged, this, &FontDialog::updateSample);
    connect(styleBox, &QComboBox::currentIndexChanged, this, &FontDialog::updateSample);
    connect(sizeBox, &QSpinBox::valueChanged, this, [this](int size) {
        const auto found = sizeList->findItems(QString::number(size), Qt::MatchExactly);
        if (found.isEmpty())
            sizeList->clearSelection();
        else
            sizeList->setCurrentItem(found.constFirst());
        updateSample();
    });
    connect(sizeList, &QListWidget::currentTextChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            sizeBox->setValue(text.toInt());
    });
    connect(underlineBox, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(strikeOutBox, &QCheckBox::toggled, this, &FontDialog::updateSample);
    connect(colorButton, &QPushButton::clicked, this, &FontDialog::chooseColor);
    connect(okButton, &QPushButton::clicked, this, [this] {
        takeSelection();
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, [this] {
        takeSelection();
        emit applied();
    });
}

void FontDialog::setChosenFont(const QFont &font)
{
    m_font = font;
    loadControls();
}

void FontDialog::setChosenColor(const QColor &color)
{
    m_color = color;
    loadControls();
}

bool FontDialog::Execute()
{
    loadControls();
    faceBox->setFocus();
    return exec() == QDialog::Accepted;
}

void FontDialog::loadControls()
{
    const QString family = m_font.family();
    const int index = faceBox->findText(family, Qt::MatchFixedString);
    if (index >= 0)
        faceBox->setCurrentIndex(index);
    faceBox->setEditText(family);
    styleBox->setCurrentIndex((m_font.bold() ? Bold : Regular) + (m_font.italic() ? 1 : 0));
    int points = m_font.pointSize();
    if (points <= 0)
        points = m_font.pointSizeF() > 0 ? qRound(m_font.pointSizeF()) : 8;
    sizeBox->setValue(points);
    underlineBox->setChecked(m_font.underline());
    strikeOutBox->setChecked(m_font.strikeOut());
    setSelectedColor(m_color);
    updateSample();
}

QFont FontDialog::selectedFont() const
{
    QFont f = m_font;
    const QString family = faceBox->currentText().trimmed();
    if (!family.isEmpty())
        f.setFamily(family);
    f.setPointSize(sizeBox->value());
    const int style = styleBox->currentIndex();
    f.setBold(style == Bold || style == BoldItalic);
    f.setItalic(style == Italic || style == BoldItalic);
    f.setUnderline(underlineBox->isChecked());
    f.setStrikeOut(strikeOutBox->isChecked());
    return f;
}

void FontDialog::takeSelection()
{
    m_font = selectedFont();
    m_color = m_selectedColor;
}

void FontDialog::chooseColor()
{
    const QColor color =
        g_colorHook ? g_colorHook(m_selectedColor)
                    : QColorDialog::getColor(m_selectedColor, this, QStringLiteral("Цвет"));
    if (color.isValid())
        setSelectedColor(color);
}

void FontDialog::setSelectedColor(const QColor &color)
{
    m_selectedColor = color;
    colorButton->setIcon(swatch(color));
    colorButton->setToolTip(color.name());
    updateSample();
}

void FontDialog::updateSample()
{
    if (!sample)
        return;
    sample->setFont(selectedFont());
    QPalette pal = sample->palette();
    pal.setColor(QPalette::WindowText, m_selectedColor);
    sample->setPalette(pal);
}

} // namespace ui
