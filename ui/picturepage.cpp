#include "ui/picturepage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace {
struct KnownLabel {
    const char *name;
    const char *label;
};

// The window's own words for the controls it knows; others keep their driver's label.
constexpr KnownLabel kLabels[] = {
    {"brightness", QT_TRANSLATE_NOOP("PicturePage", "Brightness")},
    {"contrast", QT_TRANSLATE_NOOP("PicturePage", "Contrast")},
    {"saturation", QT_TRANSLATE_NOOP("PicturePage", "Saturation")},
    {"hue", QT_TRANSLATE_NOOP("PicturePage", "Hue")},
    {"hue-automatic", QT_TRANSLATE_NOOP("PicturePage", "Automatic hue")},
    {"sharpness", QT_TRANSLATE_NOOP("PicturePage", "Sharpness")},
    {"gamma", QT_TRANSLATE_NOOP("PicturePage", "Gamma")},
    {"gain", QT_TRANSLATE_NOOP("PicturePage", "Gain")},
    {"gain-automatic", QT_TRANSLATE_NOOP("PicturePage", "Automatic gain")},
    {"backlight-compensation", QT_TRANSLATE_NOOP("PicturePage", "Backlight compensation")},
    {"power-line-frequency", QT_TRANSLATE_NOOP("PicturePage", "Power line frequency")},
    {"white-balance-automatic", QT_TRANSLATE_NOOP("PicturePage", "Automatic white balance")},
    {"white-balance-temperature", QT_TRANSLATE_NOOP("PicturePage", "White balance temperature")},
    {"auto-exposure", QT_TRANSLATE_NOOP("PicturePage", "Exposure mode")},
    {"exposure-time", QT_TRANSLATE_NOOP("PicturePage", "Exposure time")},
    {"exposure-dynamic-framerate",
     QT_TRANSLATE_NOOP("PicturePage", "Lower frame rate in low light")},
    {"focus", QT_TRANSLATE_NOOP("PicturePage", "Focus")},
    {"focus-automatic", QT_TRANSLATE_NOOP("PicturePage", "Automatic focus")},
};

// The drivers' menu entries the window has words of its own for (uvcvideo's exposure modes and
// power line frequencies); others stay as the driver names them.
constexpr const char *kMenuLabels[] = {
    QT_TRANSLATE_NOOP("PicturePage", "Manual Mode"),
    QT_TRANSLATE_NOOP("PicturePage", "Auto Mode"),
    QT_TRANSLATE_NOOP("PicturePage", "Shutter Priority Mode"),
    QT_TRANSLATE_NOOP("PicturePage", "Aperture Priority Mode"),
    QT_TRANSLATE_NOOP("PicturePage", "Disabled"),
    QT_TRANSLATE_NOOP("PicturePage", "Auto"),
};

QString menuLabel(const std::string &label) {
    for (const char *known : kMenuLabels)
        if (label == known)
            return PicturePage::tr(known);
    return QString::fromStdString(label);
}

constexpr int kLabelWidth_px = 230;
constexpr int kValueWidth_px = 90;
} // namespace

PicturePage::PicturePage(QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("pageNavPicture"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(11, 11, 11, 11);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollAreaPicture"));
    scroll->setFocusPolicy(Qt::NoFocus); // the rows take the focus, not the area around them
    scroll->setWidgetResizable(true);
    auto *content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("widgetPictureRows"));
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(24, 20, 24, 20);
    column->setSpacing(14);
    note = new QLabel(tr("Open a camera to set its picture."), content);
    note->setObjectName(QStringLiteral("labelPictureNote"));
    column->addWidget(note);
    grid = new QGridLayout();
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(14);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);
    message = new QLabel(content);
    message->setObjectName(QStringLiteral("labelPictureMessage"));
    message->setWordWrap(true);
    message->hide();
    column->addWidget(message);
    resetButton = new QPushButton(tr("Reset picture"), content);
    resetButton->setObjectName(QStringLiteral("btnResetPicture"));
    resetButton->setEnabled(false);
    column->addWidget(resetButton, 0, Qt::AlignLeft);
    column->addStretch(1);
    scroll->setWidget(content);
    outer->addWidget(scroll);

    throttle = new QTimer(this);
    throttle->setSingleShot(true);
    connect(throttle, &QTimer::timeout, this, &PicturePage::writePending);
    connect(resetButton, &QPushButton::clicked, this, &PicturePage::resetPicture);
}

PicturePage::~PicturePage() = default;

void PicturePage::showCamera(PictureSettings *cameraSettings) {
    throttle->stop();
    pendingRow = -1;
    lastSliderRow = -1;
    clearRows();
    message->hide();
    settings = cameraSettings && cameraSettings->isOpen() ? cameraSettings : nullptr;
    const std::vector<PictureControl> controls =
        settings ? settings->controls() : std::vector<PictureControl>{};
    for (const PictureControl &control : controls)
        addRow(control);
    // The rows are built after the page: the keyboard reaches them top to bottom, then the reset.
    QWidget *previous = nullptr;
    for (const Row &row : rows) {
        QWidget *control = row.check   ? static_cast<QWidget *>(row.check)
                           : row.combo ? static_cast<QWidget *>(row.combo)
                                       : row.slider;
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }
    if (previous)
        setTabOrder(previous, resetButton);
    note->setVisible(rows.empty());
    note->setText(settings ? tr("This camera offers no picture controls.")
                           : tr("Open a camera to set its picture."));
    resetButton->setEnabled(!rows.empty());
}

void PicturePage::clearRows() {
    for (Row &row : rows)
        for (QWidget *widget :
             {static_cast<QWidget *>(row.label), static_cast<QWidget *>(row.slider),
              static_cast<QWidget *>(row.value), static_cast<QWidget *>(row.check),
              static_cast<QWidget *>(row.combo)})
            delete widget;
    rows.clear();
}

QString PicturePage::labelFor(const PictureControlInfo &info) const {
    for (const KnownLabel &known : kLabels)
        if (info.name == known.name)
            return tr(known.label);
    return QString::fromStdString(info.label);
}

QString PicturePage::valueText(const PictureControlInfo &info, int value) const {
    if (info.unit == "100 µs")
        return tr("%1 ms").arg(QLocale().toString(value / 10.0, 'f', 1));
    return QString::number(value);
}

void PicturePage::addRow(const PictureControl &control) {
    const std::size_t index = rows.size();
    const int line = static_cast<int>(index);
    Row row;
    row.info = control.info;
    QWidget *content = grid->parentWidget();
    row.label = new QLabel(labelFor(control.info), content);
    row.label->setFixedWidth(kLabelWidth_px);
    grid->addWidget(row.label, line, 0);
    const PictureControlInfo &info = control.info;
    const QString name = QString::fromStdString(info.name);
    if (info.kind == PictureControlKind::Boolean) {
        row.check = new QCheckBox(content);
        row.check->setObjectName(QStringLiteral("checkBoxPicture_") + name);
        grid->addWidget(row.check, line, 1);
        connect(row.check, &QCheckBox::clicked, this,
                [this, index](bool checked) { write(index, checked ? 1 : 0); });
    } else if (info.kind == PictureControlKind::Menu) {
        row.combo = new QComboBox(content);
        row.combo->setObjectName(QStringLiteral("comboBoxPicture_") + name);
        for (const PictureMenuEntry &entry : info.menu)
            row.combo->addItem(menuLabel(entry.label), entry.value);
        grid->addWidget(row.combo, line, 1, 1, 2);
        connect(row.combo, QOverload<int>::of(&QComboBox::activated), this,
                [this, index](int item) {
                    write(index, rows.at(index).combo->itemData(item).toInt());
                });
    } else {
        // The slider counts steps, so that every position is a value the camera takes.
        row.slider = new QSlider(Qt::Horizontal, content);
        row.slider->setObjectName(QStringLiteral("sliderPicture_") + name);
        const int step = std::max(info.step, 1);
        row.slider->setRange(0, (info.maximum - info.minimum) / step);
        row.slider->setPageStep(std::max(1, row.slider->maximum() / 10));
        row.value = new QLabel(content);
        row.value->setObjectName(QStringLiteral("labelPictureValue_") + name);
        row.value->setFixedWidth(kValueWidth_px);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(row.slider, line, 1);
        grid->addWidget(row.value, line, 2);
        connect(row.slider, &QSlider::valueChanged, this,
                [this, index](int position) { sliderMoved(index, position); });
        connect(row.slider, &QSlider::sliderReleased, this, &PicturePage::writePending);
    }
    // Screen readers read each row's control by the row's label.
    for (QWidget *field : std::initializer_list<QWidget *>{row.check, row.combo, row.slider})
        if (field)
            field->setAccessibleName(row.label->text());
    rows.push_back(row);
    if (control.value)
        showValue(rows.back(), *control.value);
    setRowEnabled(rows.back(), !info.inactive && !info.readOnly && control.value.has_value());
}

void PicturePage::showValue(Row &row, int value) {
    const PictureControlInfo &info = row.info;
    if (row.check) {
        row.check->setChecked(value != 0);
    } else if (row.combo) {
        row.combo->setCurrentIndex(row.combo->findData(value));
    } else {
        const QSignalBlocker quiet(row.slider);
        row.slider->setValue((value - info.minimum) / std::max(info.step, 1));
        row.value->setText(valueText(info, value));
    }
}

void PicturePage::setRowEnabled(Row &row, bool enabled) {
    for (QWidget *widget : {static_cast<QWidget *>(row.slider), static_cast<QWidget *>(row.check),
                            static_cast<QWidget *>(row.combo)})
        if (widget)
            widget->setEnabled(enabled);
}

void PicturePage::refresh() {
    if (!settings)
        return;
    for (const PictureControl &control : settings->controls()) {
        for (Row &row : rows) {
            if (row.info.name != control.info.name)
                continue;
            row.info = control.info;
            // A slider under the user's hand keeps its place until it is let go.
            if (control.value && !(row.slider && row.slider->isSliderDown()))
                showValue(row, *control.value);
            setRowEnabled(row, !control.info.inactive && !control.info.readOnly &&
                                   control.value.has_value());
        }
    }
}

void PicturePage::sliderMoved(std::size_t index, int position) {
    const Row &row = rows.at(index);
    const int value = row.info.minimum + position * std::max(row.info.step, 1);
    row.value->setText(valueText(row.info, value));
    if (pendingRow >= 0 && static_cast<std::size_t>(pendingRow) != index)
        writePending();
    const bool sameSlider = lastSliderRow == static_cast<int>(index);
    pendingRow = static_cast<int>(index);
    pendingValue = value;
    const Milliseconds since = activeClock().now() - lastSliderWrite;
    if (!sameSlider || since >= kWriteInterval)
        writePending();
    else if (!throttle->isActive())
        throttle->start(kWriteInterval - since);
}

void PicturePage::writePending() {
    throttle->stop();
    if (pendingRow < 0)
        return;
    const std::size_t index = static_cast<std::size_t>(pendingRow);
    pendingRow = -1;
    lastSliderRow = static_cast<int>(index);
    lastSliderWrite = activeClock().now();
    write(index, pendingValue);
}

void PicturePage::write(std::size_t index, int value) {
    if (!settings || index >= rows.size())
        return;
    const PictureOutcome outcome =
        settings->write(QString::fromStdString(rows.at(index).info.name), value);
    message->setVisible(!outcome.ok());
    message->setText(outcome.message);
    // The camera's own value, and the states that a master's change moved.
    refresh();
}

void PicturePage::resetPicture() {
    if (!settings)
        return;
    throttle->stop();
    pendingRow = -1;
    const PictureOutcome outcome = settings->reset();
    message->setVisible(!outcome.ok());
    message->setText(outcome.message);
    refresh();
}
