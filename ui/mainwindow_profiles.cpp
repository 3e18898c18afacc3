// The profiles on the Control page: the list of saved profiles, "Save as...", "Apply" and "Delete",
// Ctrl+1 .. Ctrl+9 for the first nine, a short note of what an apply changed, and per camera the
// profile applied whenever it is opened (at start, on plug, after a restart or an upgrade).
#include "device/catalogue.h"
#include "profile/profileapply.h"
#include "profile/profilestore.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace {
constexpr int kShortcutCount = 9;
constexpr int kResultShown_ms = 6000;
constexpr int kSectionWidth_px = 330;
constexpr int kRowHeight_px = 32;
constexpr int kOkAndCancel = 1;
} // namespace

void MainWindow::initProfileSection() {
    // One row like the settings above it, the buttons below; the page keeps room for the pad.
    auto *section = new QWidget(ui->widget);
    section->setObjectName(QStringLiteral("widgetProfiles"));
    section->setMaximumWidth(kSectionWidth_px);
    auto *layout = new QGridLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(8);

    auto *title = new QLabel(tr("Profile:"), section);
    title->setObjectName(QStringLiteral("labelProfiles"));
    layout->addWidget(title, 0, 0);
    comboBoxProfiles = new QComboBox(section);
    comboBoxProfiles->setObjectName(QStringLiteral("comboBoxProfiles"));
    comboBoxProfiles->setMinimumHeight(kRowHeight_px);
    layout->addWidget(comboBoxProfiles, 0, 1, 1, 2);

    btnProfileSaveAs = new QPushButton(tr("Save as..."), section);
    btnProfileSaveAs->setObjectName(QStringLiteral("btnProfileSaveAs"));
    btnProfileApply = new QPushButton(tr("Apply"), section);
    btnProfileApply->setObjectName(QStringLiteral("btnProfileApply"));
    btnProfileDelete = new QPushButton(tr("Delete"), section);
    btnProfileDelete->setObjectName(QStringLiteral("btnProfileDelete"));
    int column = 0;
    for (QPushButton *button : {btnProfileSaveAs, btnProfileApply, btnProfileDelete}) {
        button->setMinimumHeight(kRowHeight_px);
        layout->addWidget(button, 1, column++);
    }

    checkBoxConnectProfile = new QCheckBox(tr("Apply when this camera connects"), section);
    checkBoxConnectProfile->setObjectName(QStringLiteral("checkBoxConnectProfile"));
    layout->addWidget(checkBoxConnectProfile, 2, 0, 1, 3);

    labelProfileResult = new QLabel(section);
    labelProfileResult->setObjectName(QStringLiteral("labelProfileResult"));
    labelProfileResult->setWordWrap(true);
    layout->addWidget(labelProfileResult, 3, 0, 1, 3);
    ui->verticalLayout->addWidget(section);

    profileResultTimer = new QTimer(this);
    profileResultTimer->setSingleShot(true);
    // Shown only while it says something: an empty line would take the room the direction pad
    // needs when every row of the page shows.
    labelProfileResult->hide();
    connect(profileResultTimer, &QTimer::timeout, labelProfileResult, &QLabel::hide);
    connect(btnProfileSaveAs, &QPushButton::clicked, this, &MainWindow::saveProfileAs);
    connect(btnProfileApply, &QPushButton::clicked, this,
            [this] { applyProfileNamed(selectedProfileName()); });
    connect(btnProfileDelete, &QPushButton::clicked, this, &MainWindow::deleteSelectedProfile);
    connect(comboBoxProfiles, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { updateConnectChoice(); });
    connect(checkBoxConnectProfile, &QCheckBox::toggled, this, &MainWindow::connectChoiceToggled);
    for (int i = 0; i < kShortcutCount; ++i) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_1 + i), this);
        connect(shortcut, &QShortcut::activated, this, [this, i] {
            if (i < comboBoxProfiles->count())
                applyProfileNamed(comboBoxProfiles->itemText(i));
        });
    }
    refreshProfileList();
}

void MainWindow::refreshProfileList() {
    const QString selected = selectedProfileName();
    const QSignalBlocker blocker(comboBoxProfiles);
    comboBoxProfiles->clear();
    const QStringList names = storedProfileNames();
    for (int i = 0; i < names.size(); ++i) {
        comboBoxProfiles->addItem(names.at(i));
        if (i < kShortcutCount)
            comboBoxProfiles->setItemData(i, tr("Ctrl+%1 applies it").arg(i + 1), Qt::ToolTipRole);
    }
    const int index = names.indexOf(selected);
    comboBoxProfiles->setCurrentIndex(index >= 0 ? index : names.isEmpty() ? -1 : 0);
    updateConnectChoice();
}

QString MainWindow::selectedProfileName() const {
    return comboBoxProfiles ? comboBoxProfiles->currentText() : QString();
}

void MainWindow::saveProfileAs() {
    if (!controlsReady)
        return;
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("FormProfileName"));
    ask.setWindowTitle(tr("Save as..."));
    ask.setLabelText(tr("Name of the profile:"));
    ask.setTextValue(selectedProfileName());
    if (runCentredDialog(ask, true) != QDialog::Accepted)
        return;
    const QString name = ask.textValue().trimmed();
    if (!isValidProfileName(name)) {
        showMessageBox(tr("\"%1\" cannot name a profile: give 1 to 64 characters, without / \\ : "
                          "* ? \" < > | and not starting with a point.")
                           .arg(name),
                       false);
        return;
    }
    if (storedProfileNames().contains(name) &&
        runMessageBox(tr("A profile named %1 exists. Replace it?").arg(name), kOkAndCancel,
                      false) != QDialog::Accepted)
        return;
    std::uint32_t deviceVendorId = 0;
    std::uint32_t deviceProductId = 0;
    parseVidPid(currentDeviceId, deviceVendorId, deviceProductId);
    const ProfileCamera camera{
        controlsOfModel(vendorIndex, modelIndexByIds(deviceVendorId, deviceProductId)),
        catalogueModelName(currentFriendlyName)};
    const Profile profile = takeProfile(cameraSession, camera, name);
    ProfileError error;
    if (!saveProfile(profile, error)) {
        showMessageBox(error.message(), false);
        return;
    }
    refreshProfileList();
    comboBoxProfiles->setCurrentIndex(comboBoxProfiles->findText(name));
    showProfileResult(tr("Saved %1.").arg(name));
}

void MainWindow::deleteSelectedProfile() {
    const QString name = selectedProfileName();
    if (name.isEmpty() || runMessageBox(tr("Delete the profile %1?").arg(name), kOkAndCancel,
                                        false) != QDialog::Accepted)
        return;
    if (!deleteStoredProfile(name))
        qWarning() << "profile could not be deleted:" << storedProfileFile(name);
    refreshProfileList();
}

void MainWindow::applyProfileNamed(const QString &name) {
    if (!controlsReady || upgradeUnderWay() || name.isEmpty())
        return;
    ProfileError error;
    const std::optional<Profile> profile = loadStoredProfile(name, error);
    if (!profile) {
        showProfileResult(error.message());
        return;
    }
    std::uint32_t deviceVendorId = 0;
    std::uint32_t deviceProductId = 0;
    parseVidPid(currentDeviceId, deviceVendorId, deviceProductId);
    const int modelFromIds = modelIndexByIds(deviceVendorId, deviceProductId);
    const ProfileCamera camera{controlsOfModel(vendorIndex, modelFromIds),
                               catalogueModelName(currentFriendlyName)};
    const ApplyOutcome outcome = applyProfile(*profile, cameraSession, camera);
    if (outcome.restarted) {
        // The camera restarts: it comes back at its home position, and the rest follows then.
        profileAfterRestart = name;
        profileAfterRestartDeviceId = currentDeviceId;
    } else if (outcome.changed()) {
        // The page shows what the camera now reports, without writing anything back.
        controlsReady = false;
        readCameraSettings();
        controlsReady = true;
        setControlsEnabled(true);
        applyModelRestrictions(modelFromIds);
    }
    showProfileResult(profileResultText(name, outcome));
}

void MainWindow::applyProfileOnOpen() {
    if (!controlsReady || upgradeUnderWay())
        return;
    QString name;
    if (profileAfterRestartDeviceId == currentDeviceId && !profileAfterRestart.isEmpty())
        name = profileAfterRestart;
    else
        name = connectProfileOf(cameraIdentity(currentFriendlyName, currentDeviceId));
    profileAfterRestart.clear();
    profileAfterRestartDeviceId.clear();
    if (!name.isEmpty())
        applyProfileNamed(name);
    updateConnectChoice();
}

void MainWindow::updateConnectChoice() {
    if (!checkBoxConnectProfile)
        return;
    const QString selected = selectedProfileName();
    const bool cameraOpen = !currentDeviceId.isEmpty() && controlsReady;
    const QString chosen =
        cameraOpen ? connectProfileOf(cameraIdentity(currentFriendlyName, currentDeviceId))
                   : QString();
    const QSignalBlocker blocker(checkBoxConnectProfile);
    checkBoxConnectProfile->setChecked(!selected.isEmpty() && chosen == selected);
    checkBoxConnectProfile->setEnabled(cameraOpen && !selected.isEmpty());
    btnProfileSaveAs->setEnabled(cameraOpen);
    btnProfileApply->setEnabled(cameraOpen && !selected.isEmpty());
    btnProfileDelete->setEnabled(!selected.isEmpty());
    // The camera's connect profile stands out in the list.
    for (int i = 0; i < comboBoxProfiles->count(); ++i) {
        QFont font = comboBoxProfiles->font();
        font.setBold(comboBoxProfiles->itemText(i) == chosen);
        comboBoxProfiles->setItemData(i, font, Qt::FontRole);
    }
}

void MainWindow::connectChoiceToggled(bool checked) {
    if (currentDeviceId.isEmpty())
        return;
    setConnectProfile(cameraIdentity(currentFriendlyName, currentDeviceId),
                      checked ? selectedProfileName() : QString());
    updateConnectChoice();
}

void MainWindow::showProfileResult(const QString &text) {
    labelProfileResult->setText(text);
    labelProfileResult->setVisible(!text.isEmpty());
    profileResultTimer->start(kResultShown_ms);
}

QString MainWindow::profileResultText(const QString &name, const ApplyOutcome &outcome) const {
    QStringList changed;
    QStringList refused;
    for (const ItemOutcome &item : outcome.items) {
        if (item.result == ItemResult::Changed)
            changed << QLatin1String(item.item->name);
        else if (item.result == ItemResult::Refused)
            refused << QLatin1String(item.item->name);
    }
    QString text = changed.isEmpty()
                       ? tr("%1: nothing to change.").arg(name)
                       : tr("%1: changed %2.").arg(name, changed.join(QStringLiteral(", ")));
    if (!refused.isEmpty())
        text += QLatin1Char(' ') + tr("Not taken: %1.").arg(refused.join(QStringLiteral(", ")));
    if (!outcome.leftOut().isEmpty())
        text += QLatin1Char(' ') +
                tr("Left out: %1.").arg(outcome.leftOut().join(QStringLiteral(", ")));
    if (outcome.restarted)
        text += QLatin1Char(' ') + tr("The camera restarts; the rest follows when it is back.");
    return text;
}
