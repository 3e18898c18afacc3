// The dimming overlay: one per process, it covers the main window while one of the named dialogs
// is on screen. It watches the show and hide events of every object, so dialogs need not call it.
//
// The mask is a translucent window of its own over the main window. Where the desktop cannot show
// a window's opacity (X11 without a compositing manager, Wayland, the offscreen platform) such a
// window would paint the main window solid black, so the same shade is painted inside the main
// window instead, by a child widget above all of its content; it shows and hides at the same
// moments and keeps the dialog on top in the same way.
#pragma once

#include <QColor>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

class MaskWidget : public QWidget {
    Q_OBJECT

public:
    // The single mask, created on first use; it lives until the process ends.
    static MaskWidget *instance();

    QWidget *coveredWidget() const { return mainWidget; }
    QStringList watchedDialogNames() const { return dialogNames; }
    // Whether the main window is dimmed now, and the dimmed area in screen coordinates.
    bool dims() const;
    QRect dimmedArea() const;

    // Tells whether window opacity shows on this desktop; null restores the platform's answer.
    // Tests stand in for desktops with and without a compositor with this.
    using OpacityProbe = bool (*)();
    static void setOpacityProbe(OpacityProbe probe);

public slots:
    void setMainWidget(QWidget *widget);
    void setDialogNames(const QStringList &names);
    void setBgColor(const QColor &bgColor);
    void setOpacity(double opacity);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    MaskWidget();
    void dimFor(QWidget *dialog);
    void undim();
    // The shade painted inside the main window, made on first use.
    QWidget *insideShade();
    // The shade when it is shown, else null.
    QWidget *shownShade() const;

    // Guarded: the covered window may be destroyed before the mask.
    QPointer<QWidget> mainWidget;
    QStringList dialogNames;
    // The child of the main window that dims it where window opacity does not show.
    QPointer<QWidget> shade;
    // The dialog the shade was shown for, brought back on top when the main window is activated.
    QPointer<QWidget> shownFor;
};
