// The outline shared by the frameless dialogs of the window's family: a rectangle with corners
// rounded by quarter circles.
#pragma once

class QWidget;

constexpr int kDialogCornerRadius_px = 10;

// Masks the widget to its rounded outline at its current size. Call from resizeEvent, so that
// the outline follows every size the widget takes.
void applyRoundedCornerMask(QWidget *widget, int radius_px = kDialogCornerRadius_px);
