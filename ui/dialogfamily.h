// What the dialogs of the window's family share beyond their look: Escape, and buttons that keep
// their whole text in every language.
#pragma once

class QAbstractButton;
class QKeyEvent;
class QWidget;

// Escape presses the dialog's Cancel button (or, where the dialog shows OK alone, its OK), so that
// the button's own handler runs; QDialog's Escape would reject the dialog without it. True when
// the event was Escape and a button was pressed for it.
bool pressCancelOnEscape(QKeyEvent *event, QAbstractButton *cancel, QAbstractButton *ok = nullptr);

// Raises the minimum width of each push button of the dialog to what its text needs, so that a
// longer translation widens the dialog instead of being cut. Run after the form is set up; the
// English texts fit their forms' minimums already.
void keepButtonTextsWhole(QWidget *dialog);
