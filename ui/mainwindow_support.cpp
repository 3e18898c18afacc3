// Navigation between the two pages and the Support page: collapsible sections and links.
#include "device/catalogue.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::buttonClickedNavTop() {
    QObject *clicked = sender();
    int page = 0;
    for (int i = 0; i < navButtons.size(); ++i) {
        const bool isClicked = navButtons.at(i) == clicked;
        navButtons.at(i)->setChecked(isClicked);
        if (isClicked)
            page = i;
    }
    ui->stackedWidgetMain->setCurrentIndex(page);
}

void MainWindow::toggleSection(bool &expanded, QWidget *content) {
    expanded = !expanded;
    content->setVisible(expanded);
}

void MainWindow::on_btnDevInfoExtend_clicked() {
    toggleSection(devInfoExpanded, ui->widgetDevInfo);
}

void MainWindow::on_btnDevUpdateExtend_clicked() {
    toggleSection(devUpdateExpanded, ui->widgetDevUpdate);
}

void MainWindow::on_btnDevSupportExtend_clicked() {
    toggleSection(devSupportExpanded, ui->widgetDevSupport);
}

void MainWindow::on_btnDevDesktopVerExtend_clicked() {
    toggleSection(devDesktopVerExpanded, ui->widgetDevDesktopVer);
}

void MainWindow::updateSupportLinks(const QString &color) {
    ui->labelHyperlinksQuickStartGuide->setText(
        tr("<style> a {text-decoration: none} </style><a style='color: %2;' href=\"%1\" "
           "target=_blank>Documentation</a>")
            .arg(QString::fromUtf8(kDocumentationUrl), color));
    ui->labelHyperlinksUserGuide->setText(
        tr("<style> a {text-decoration: none} </style><a style='color: %2;' href=\"%1/\">User "
           "Guide")
            .arg(QString::fromUtf8(kSupportBaseUrl), color));
    ui->labelHyperlinksContactSupport->setText(
        tr("<style> a {text-decoration: none} </style><a style='color: %2;' href=\"%1/\">Contact "
           "Support")
            .arg(QString::fromUtf8(kContactUrl), color));
}
