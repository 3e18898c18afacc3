#include "ui/roundedcorners.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

void applyRoundedCornerMask(QWidget *widget, int radius_px) {
    // In a mask white (colour 0) is cut away and black (colour 1) is kept.
    QBitmap bitmap(widget->size());
    bitmap.fill(Qt::white);
    {
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(bitmap.rect()), radius_px, radius_px);
        painter.fillPath(outline, QBrush(Qt::black, Qt::SolidPattern));
    }
    widget->setMask(bitmap);
}
