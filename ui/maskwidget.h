// The dimming overlay: one per process, it covers the main window while one of the named dialogs
// is on screen. It watches the show and hide events of every object, so dialogs need not call it.
#pragma once

#include <QColor>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class MaskWidget : public QWidget {
    Q_OBJECT

public:
    // The single mask, created on first use; it lives until the process ends.
    static MaskWidget *instance();

    QWidget *coveredWidget() const { return mainWidget; }
    QStringList watchedDialogNames() const { return dialogNames; }

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

    // Guarded: the covered window may be destroyed before the mask.
    QPointer<QWidget> mainWidget;
    QStringList dialogNames;
};
