// The Picture page: one row for each picture control the open camera offers (a slider with its
// value, a checkbox for a switch, a combo box for a menu), built from what the camera describes.
// A manual control is disabled while its automatic master is on. A dragged slider writes at most
// once every 50 ms and always its final value; every write is read back into the row. "Reset
// picture" writes the camera's defaults. A refusal is shown under the rows.
#pragma once

#include "common/clock.h"
#include "control/picturesettings.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

class PicturePage : public QWidget {
    Q_OBJECT

public:
    // The shortest time between two writes of a dragged slider.
    static constexpr Milliseconds kWriteInterval{50};

    explicit PicturePage(QWidget *parent = nullptr);
    ~PicturePage() override;

    // Reads the camera's controls anew and builds the rows (after every open of the camera);
    // null, or settings that are not open, leave the page with a note that there is nothing to
    // set.
    void showCamera(PictureSettings *settings);

private:
    struct Row {
        PictureControlInfo info;
        QLabel *label = nullptr;
        QSlider *slider = nullptr;
        QLabel *value = nullptr;
        QCheckBox *check = nullptr;
        QComboBox *combo = nullptr;
    };

    void clearRows();
    void addRow(const PictureControl &control);
    // Values and enabled states from a fresh read of the camera.
    void refresh();
    void showValue(Row &row, int value);
    void setRowEnabled(Row &row, bool enabled);
    // A slider moved: written now, or when the interval since the last write is over.
    void sliderMoved(std::size_t index, int position);
    void writePending();
    void write(std::size_t index, int value);
    void resetPicture();
    QString labelFor(const PictureControlInfo &info) const;
    QString valueText(const PictureControlInfo &info, int value) const;

    PictureSettings *settings = nullptr;
    std::vector<Row> rows;
    QGridLayout *grid = nullptr;
    QLabel *note = nullptr;
    QLabel *message = nullptr;
    QPushButton *resetButton = nullptr;
    QTimer *throttle = nullptr;
    // The slider written last, and when: another slider is written at once.
    int lastSliderRow = -1;
    Milliseconds lastSliderWrite{0};
    // The slider whose newest value waits for the interval to pass; -1 for none.
    int pendingRow = -1;
    int pendingValue = 0;
};
