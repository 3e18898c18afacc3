#include "ui/dialogfamily.h"

#include <QKeyEvent>
#include <QPushButton>

bool pressCancelOnEscape(QKeyEvent *event, QAbstractButton *cancel, QAbstractButton *ok) {
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier)
        return false;
    QAbstractButton *button = cancel && !cancel->isHidden() ? cancel : ok;
    if (!button)
        return false;
    button->click();
    return true;
}

void keepButtonTextsWhole(QWidget *dialog) {
    // The size hint is the text with the style sheet's padding: what the button needs.
    dialog->ensurePolished();
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        button->ensurePolished();
        button->setMinimumWidth(qMax(button->minimumWidth(), button->sizeHint().width()));
    }
}
