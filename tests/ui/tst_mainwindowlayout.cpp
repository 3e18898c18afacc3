// The main window's widget tree: the form as built by setupUi, and the one-time set-up that the
// window adds on top of it.
#include "mainwindowaccess.h"
#include "sim/simulatedbus.h"
#include "translationrecorder.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpacerItem>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

namespace {
constexpr int kAny = -2;          // not checked
constexpr int kStyleDefault = -1; // the style's layout margin
constexpr int kMax = QWIDGETSIZE_MAX;

struct WidgetRow {
    const char *name;
    const char *className;
    const char *parent;
    int minW, minH, maxW, maxH;
    // Size policy, when the form sets one.
    int hPolicy = kAny;
    int vPolicy = kAny;
    // Re-parented by the window's set-up into the preview surface.
    bool overlay = false;
};

const WidgetRow widgetRows[] = {
    {"centralWidget", "QWidget", "MainWindow", kAny, kAny, kAny, kAny},
    {"widgetTitlebar", "QWidget", "centralWidget", 0, 60, kMax, 60},
    {"widgetNavTop", "QWidget", "centralWidget", 0, 0, kMax, 40},
    {"listWidgetCamera", "QListWidget", "centralWidget", 150, 0, 150, kMax},
    {"stackedWidgetMain", "QStackedWidget", "centralWidget", kAny, kAny, kAny, kAny},
    {"labLogo", "QLabel", "widgetTitlebar", 158, 60, kAny, kAny},
    {"labelState", "QLabel", "widgetTitlebar", kAny, kAny, kAny, kAny},
    {"widget_8", "QWidget", "widgetTitlebar", kAny, kAny, kAny, kAny},
    {"btnModeLight", "QPushButton", "widget_8", 24, 24, kAny, kAny},
    {"btnModeDark", "QPushButton", "widget_8", 24, 24, kAny, kAny},
    {"widgetMenu", "QWidget", "widgetTitlebar", kAny, kAny, kMax, kMax},
    {"btnNavControl", "QToolButton", "widgetNavTop", 120, 30, 120, 30, QSizePolicy::Expanding,
     QSizePolicy::Expanding},
    {"btnNavSupport", "QToolButton", "widgetNavTop", 120, 30, 120, 30, QSizePolicy::Expanding,
     QSizePolicy::Expanding},
    {"pageNavControl", "QWidget", "stackedWidgetMain", kAny, kAny, kAny, kAny},
    {"widget_6", "QWidget", "pageNavControl", kAny, kAny, kAny, kAny},
    {"widget_2", "QWidget", "widget_6", kAny, kAny, kMax, kMax},
    {"labelloading", "QLabel", "widget_2", kAny, kAny, kAny, kAny, kAny, kAny, true},
    {"labelStop", "QLabel", "widget_2", kAny, kAny, kAny, kAny, kAny, kAny, true},
    {"labPreview", "QLabel", "widget_2", kAny, kAny, kAny, kAny},
    {"labelCamera", "QLabel", "widget_2", kAny, kAny, kAny, kAny, QSizePolicy::Preferred,
     QSizePolicy::Preferred, true},
    {"widget", "QWidget", "pageNavControl", 320, kAny, kAny, kAny},
    {"widget_3", "QWidget", "widget", 0, 0, 330, 535, QSizePolicy::Preferred,
     QSizePolicy::Preferred},
    {"labelHDR_3", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"btnHDR", "QPushButton", "widget_3", 42, 24, 42, 24},
    {"label_2", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"comboBoxAntiFlicker", "QComboBox", "widget_3", 0, 32, kAny, kAny},
    {"label_6", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"comboBoxTrackMode", "QComboBox", "widget_3", 153, 32, kAny, kAny},
    {"widgetTrackOff", "QWidget", "widget_3", kAny, kAny, kAny, kAny, QSizePolicy::Preferred,
     QSizePolicy::Fixed},
    {"label_16", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"comboBoxTrackEffect", "QComboBox", "widget_3", 0, 32, kAny, kAny},
    {"label_17", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"comboBoxTrackSpeend", "QComboBox", "widget_3", 0, 32, kAny, kAny},
    {"label", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"comboBoxMic", "QComboBox", "widget_3", 0, 32, kAny, kAny},
    {"label_5", "QLabel", "widget_3", kAny, kAny, kAny, kAny},
    {"btnRestoreDefaults", "QPushButton", "widget_3", 0, 32, kAny, kAny, QSizePolicy::Preferred,
     QSizePolicy::Fixed},
    {"widgetDirectionBg", "QWidget", "widgetTrackOff", 112, 112, 112, 112},
    {"btnCameraUp", "QPushButton", "widgetDirectionBg", 12, 12, kAny, kAny},
    {"btnCameraLeft", "QPushButton", "widgetDirectionBg", 12, 12, kAny, kAny},
    {"btnCameraRight", "QPushButton", "widgetDirectionBg", 12, 12, kAny, kAny},
    {"btnCameraDown", "QPushButton", "widgetDirectionBg", 12, 12, kAny, kAny},
    {"widgetZoomBg", "QWidget", "widgetTrackOff", kAny, kAny, kAny, kAny},
    {"label_7", "QLabel", "widgetZoomBg", kAny, kAny, kAny, kAny},
    {"labelZoomValue", "QLabel", "widgetZoomBg", 5, 12, kAny, kAny},
    {"sliderZoom", "QSlider", "widgetZoomBg", 160, 0, 160, kMax},
    {"pageNavSupport", "QWidget", "stackedWidgetMain", kAny, kAny, kAny, kAny},
    {"scrollAreaSupport", "QScrollArea", "pageNavSupport", kAny, kAny, kAny, kAny},
    {"scrollAreaWidgetContents", "QWidget", "qt_scrollarea_viewport", kAny, kAny, kAny, kAny},
    {"widgetDevInfoHead", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"btnDevInfoExtend", "QPushButton", "widgetDevInfoHead", kAny, kAny, kAny, kAny},
    {"labelDevInfo", "QLabel", "widgetDevInfoHead", kAny, kAny, kAny, kAny},
    {"widgetDevInfo", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"label_10", "QLabel", "widgetDevInfo", kAny, kAny, kAny, kAny},
    {"labelDevModel", "QLabel", "widgetDevInfo", kAny, kAny, kAny, kAny},
    {"label_12", "QLabel", "widgetDevInfo", kAny, kAny, kAny, kAny},
    {"labelDevVer", "QLabel", "widgetDevInfo", kAny, kAny, kAny, kAny},
    {"widgetDevUpdateHead", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"btnDevUpdateExtend", "QPushButton", "widgetDevUpdateHead", kAny, kAny, kAny, kAny},
    {"labelDevUpdate", "QLabel", "widgetDevUpdateHead", kAny, kAny, kAny, kAny},
    {"widgetDevUpdate", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"btnUpgrade", "QPushButton", "widgetDevUpdate", 180, 30, kAny, kAny},
    {"progressBarUpdate", "QProgressBar", "widgetDevUpdate", kAny, kAny, kAny, kAny},
    {"widgetDevSupportHead", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"btnDevSupportExtend", "QPushButton", "widgetDevSupportHead", kAny, kAny, kAny, kAny},
    {"labelDevSupport", "QLabel", "widgetDevSupportHead", kAny, kAny, kAny, kAny},
    {"widgetDevSupport", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"labelHyperlinksQuickStartGuide", "QLabel", "widgetDevSupport", kAny, kAny, kAny, kAny},
    {"labelHyperlinksUserGuide", "QLabel", "widgetDevSupport", kAny, kAny, kAny, kAny},
    {"labelHyperlinksContactSupport", "QLabel", "widgetDevSupport", kAny, kAny, kAny, kAny},
    {"widgetDevDesktopVerHead", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"btnDevDesktopVerExtend", "QPushButton", "widgetDevDesktopVerHead", kAny, kAny, kAny, kAny},
    {"labelDevDesktopVer", "QLabel", "widgetDevDesktopVerHead", kAny, kAny, kAny, kAny},
    {"widgetDevDesktopVer", "QWidget", "scrollAreaWidgetContents", kAny, kAny, kAny, kAny},
    {"label_13", "QLabel", "widgetDevDesktopVer", kAny, kAny, kAny, kAny},
    {"labelAppVer", "QLabel", "widgetDevDesktopVer", kAny, kAny, kAny, kAny},
};

struct LayoutRow {
    const char *name;
    const char *className;
    const char *owner; // the widget it is installed on; "" for a layout inside a layout
    int hSpacing, vSpacing;
    int left, top, right, bottom;
};

const LayoutRow layoutRows[] = {
    {"gridLayout_2", "QGridLayout", "centralWidget", 6, 6, 11, 11, 11, 11},
    {"horizontalLayout_11", "QHBoxLayout", "widgetTitlebar", 0, kAny, 0, 0, 0, 0},
    {"gridLayout_9", "QGridLayout", "widget_8", 6, 6, 11, 11, 11, 11},
    {"verticalLayout_5", "QVBoxLayout", "widgetMenu", kAny, 6, 0, 0, 0, 0},
    {"horizontalLayout_5", "QHBoxLayout", "widgetNavTop", 0, kAny, 0, 0, 0, 0},
    {"gridLayout_7", "QGridLayout", "pageNavControl", 6, 6, 11, 11, 11, 11},
    {"gridLayout_6", "QGridLayout", "widget_6", 6, 6, 0, 0, 0, 0},
    {"gridLayout", "QGridLayout", "widget_2", 0, 0, 0, 0, 0, 0},
    {"verticalLayout", "QVBoxLayout", "widget", kAny, 6, 11, 11, 11, 11},
    {"gridLayout_3", "QGridLayout", "widget_3", 8, 15, 0, 0, 0, 0},
    {"horizontalLayout_14", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_13", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_17", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_19", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_21", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_2", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_10", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"gridLayout_17", "QGridLayout", "widgetTrackOff", 6, kAny, 0, 0, 0, 0},
    {"gridLayout_19", "QGridLayout", "widgetDirectionBg", 6, 6, 9, kStyleDefault, 9, kStyleDefault},
    {"horizontalLayout_6", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_7", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"horizontalLayout_9", "QHBoxLayout", "", 6, kAny, 0, 0, 0, 0},
    {"gridLayout_16", "QGridLayout", "widgetZoomBg", 6, 6, 0, kStyleDefault, 0, kStyleDefault},
    {"gridLayout_5", "QGridLayout", "pageNavSupport", 6, 6, 11, 11, 11, 11},
    {"gridLayout_13", "QGridLayout", "scrollAreaWidgetContents", 6, 6, 11, 11, 11, 11},
    {"verticalLayout_2", "QVBoxLayout", "", kAny, 6, 0, 0, 0, 0},
    {"horizontalLayout_3", "QHBoxLayout", "widgetDevInfoHead", 6, kAny, 11, 11, 11, 11},
    {"gridLayout_8", "QGridLayout", "widgetDevInfo", 6, 10, 11, 11, 11, 11},
    {"horizontalLayout_4", "QHBoxLayout", "widgetDevUpdateHead", 6, kAny, 11, 11, 11, 11},
    {"gridLayout_10", "QGridLayout", "widgetDevUpdate", 6, 6, 11, 11, 11, 11},
    {"horizontalLayout_8", "QHBoxLayout", "widgetDevSupportHead", 6, kAny, 11, 11, 11, 11},
    {"gridLayout_11", "QGridLayout", "widgetDevSupport", 6, 8, 11, 11, 11, 11},
    {"horizontalLayout", "QHBoxLayout", "widgetDevDesktopVerHead", 6, kAny, 11, 11, 11, 11},
    {"gridLayout_12", "QGridLayout", "widgetDevDesktopVer", 6, 6, 11, 11, 11, 11},
};

enum ItemKind { Widget, Layout, Spacer };
// Spacer shorthands: an h-spacer, a v-spacer, a fixed W x H spacer.
constexpr int H = QSizePolicy::Expanding;
constexpr int M = QSizePolicy::Minimum;
constexpr int F = QSizePolicy::Fixed;

struct ItemRow {
    const char *layout;
    // Grid cell (row, column, spans) or, in a box layout, row = index and column = -1.
    int row, column, rowSpan, columnSpan;
    ItemKind kind;
    const char *name = ""; // widget or layout name
    int spacerW = 0, spacerH = 0, hPolicy = 0, vPolicy = 0;
    bool overlay = false;
};

#define WGT(l, r, c, name)                                                                         \
    { l, r, c, 1, 1, Widget, name }
#define WSPAN(l, r, c, rs, cs, name)                                                               \
    { l, r, c, rs, cs, Widget, name }
#define LAY(l, r, c, name)                                                                         \
    { l, r, c, 1, 1, Layout, name }
#define HSP(l, r, c)                                                                               \
    { l, r, c, 1, 1, Spacer, "", 40, 20, H, M }
#define VSP(l, r, c)                                                                               \
    { l, r, c, 1, 1, Spacer, "", 20, 40, M, H }
#define FIX(l, r, c, w, h)                                                                         \
    { l, r, c, 1, 1, Spacer, "", w, h, F, M }
#define SPC(l, r, c, w, h, hp, vp)                                                                 \
    { l, r, c, 1, 1, Spacer, "", w, h, hp, vp }

const ItemRow itemRows[] = {
    WSPAN("gridLayout_2", 0, 0, 1, 2, "widgetTitlebar"),
    WSPAN("gridLayout_2", 1, 0, 1, 2, "widgetNavTop"),
    WGT("gridLayout_2", 2, 0, "listWidgetCamera"),
    WGT("gridLayout_2", 2, 1, "stackedWidgetMain"),
    WGT("horizontalLayout_11", 0, -1, "labLogo"),
    SPC("horizontalLayout_11", 1, -1, 50, 20, H, M),
    WGT("horizontalLayout_11", 2, -1, "labelState"),
    HSP("horizontalLayout_11", 3, -1),
    WGT("horizontalLayout_11", 4, -1, "widget_8"),
    WGT("horizontalLayout_11", 5, -1, "widgetMenu"),
    WGT("gridLayout_9", 0, 2, "btnModeLight"),
    FIX("gridLayout_9", 0, 3, 20, 20),
    WGT("gridLayout_9", 0, 4, "btnModeDark"),
    FIX("gridLayout_9", 0, 5, 30, 20),
    HSP("horizontalLayout_5", 0, -1),
    WGT("horizontalLayout_5", 1, -1, "btnNavControl"),
    FIX("horizontalLayout_5", 2, -1, 10, 20),
    WGT("horizontalLayout_5", 3, -1, "btnNavSupport"),
    HSP("horizontalLayout_5", 4, -1),
    WGT("gridLayout_7", 0, 0, "widget_6"),
    WGT("gridLayout_7", 0, 1, "widget"),
    WGT("gridLayout_6", 0, 1, "widget_2"),
    {"gridLayout", 1, 0, 1, 1, Widget, "labelloading", 0, 0, 0, 0, true},
    VSP("gridLayout", 1, 1),
    {"gridLayout", 1, 2, 1, 1, Widget, "labelStop", 0, 0, 0, 0, true},
    HSP("gridLayout", 2, 0),
    WGT("gridLayout", 2, 1, "labPreview"),
    HSP("gridLayout", 2, 2),
    {"gridLayout", 3, 0, 1, 1, Widget, "labelCamera", 0, 0, 0, 0, true},
    VSP("gridLayout", 3, 1),
    WGT("verticalLayout", 0, -1, "widget_3"),
    VSP("gridLayout_3", 0, 1),
    LAY("gridLayout_3", 1, 0, "horizontalLayout_14"),
    WGT("gridLayout_3", 1, 1, "btnHDR"),
    HSP("gridLayout_3", 1, 2),
    LAY("gridLayout_3", 2, 0, "horizontalLayout_13"),
    WSPAN("gridLayout_3", 2, 1, 1, 2, "comboBoxAntiFlicker"),
    LAY("gridLayout_3", 3, 0, "horizontalLayout_17"),
    WSPAN("gridLayout_3", 3, 1, 1, 2, "comboBoxTrackMode"),
    WSPAN("gridLayout_3", 4, 0, 1, 3, "widgetTrackOff"),
    LAY("gridLayout_3", 5, 0, "horizontalLayout_19"),
    WSPAN("gridLayout_3", 5, 1, 1, 2, "comboBoxTrackEffect"),
    LAY("gridLayout_3", 6, 0, "horizontalLayout_21"),
    WSPAN("gridLayout_3", 6, 1, 1, 2, "comboBoxTrackSpeend"),
    LAY("gridLayout_3", 7, 0, "horizontalLayout_2"),
    WSPAN("gridLayout_3", 7, 1, 1, 2, "comboBoxMic"),
    LAY("gridLayout_3", 11, 0, "horizontalLayout_10"),
    WSPAN("gridLayout_3", 11, 1, 1, 2, "btnRestoreDefaults"),
    VSP("gridLayout_3", 12, 1),
    WGT("horizontalLayout_14", 0, -1, "labelHDR_3"),
    HSP("horizontalLayout_14", 1, -1),
    WGT("horizontalLayout_13", 0, -1, "label_2"),
    HSP("horizontalLayout_13", 1, -1),
    WGT("horizontalLayout_17", 0, -1, "label_6"),
    HSP("horizontalLayout_17", 1, -1),
    WGT("horizontalLayout_19", 0, -1, "label_16"),
    HSP("horizontalLayout_19", 1, -1),
    WGT("horizontalLayout_21", 0, -1, "label_17"),
    HSP("horizontalLayout_21", 1, -1),
    WGT("horizontalLayout_2", 0, -1, "label"),
    HSP("horizontalLayout_2", 1, -1),
    WGT("horizontalLayout_10", 0, -1, "label_5"),
    HSP("horizontalLayout_10", 1, -1),
    WGT("gridLayout_17", 0, 1, "widgetDirectionBg"),
    HSP("gridLayout_17", 0, 2),
    WGT("gridLayout_17", 0, 3, "widgetZoomBg"),
    LAY("gridLayout_19", 0, 0, "horizontalLayout_6"),
    VSP("gridLayout_19", 1, 0),
    LAY("gridLayout_19", 2, 0, "horizontalLayout_7"),
    VSP("gridLayout_19", 3, 0),
    LAY("gridLayout_19", 4, 0, "horizontalLayout_9"),
    HSP("horizontalLayout_6", 0, -1),
    WGT("horizontalLayout_6", 1, -1, "btnCameraUp"),
    HSP("horizontalLayout_6", 2, -1),
    WGT("horizontalLayout_7", 0, -1, "btnCameraLeft"),
    HSP("horizontalLayout_7", 1, -1),
    WGT("horizontalLayout_7", 2, -1, "btnCameraRight"),
    HSP("horizontalLayout_9", 0, -1),
    WGT("horizontalLayout_9", 1, -1, "btnCameraDown"),
    HSP("horizontalLayout_9", 2, -1),
    VSP("gridLayout_16", 0, 2),
    WGT("gridLayout_16", 1, 0, "label_7"),
    WGT("gridLayout_16", 1, 2, "labelZoomValue"),
    WGT("gridLayout_16", 3, 2, "sliderZoom"),
    VSP("gridLayout_16", 4, 2),
    WGT("gridLayout_5", 1, 0, "scrollAreaSupport"),
    SPC("gridLayout_13", 0, 1, 20, 20, M, F),
    HSP("gridLayout_13", 1, 0),
    LAY("gridLayout_13", 1, 1, "verticalLayout_2"),
    HSP("gridLayout_13", 1, 2),
    VSP("gridLayout_13", 2, 1),
    WGT("verticalLayout_2", 0, -1, "widgetDevInfoHead"),
    WGT("verticalLayout_2", 1, -1, "widgetDevInfo"),
    WGT("verticalLayout_2", 2, -1, "widgetDevUpdateHead"),
    WGT("verticalLayout_2", 3, -1, "widgetDevUpdate"),
    WGT("verticalLayout_2", 4, -1, "widgetDevSupportHead"),
    WGT("verticalLayout_2", 5, -1, "widgetDevSupport"),
    WGT("verticalLayout_2", 6, -1, "widgetDevDesktopVerHead"),
    WGT("verticalLayout_2", 7, -1, "widgetDevDesktopVer"),
    WGT("horizontalLayout_3", 0, -1, "btnDevInfoExtend"),
    FIX("horizontalLayout_3", 1, -1, 10, 20),
    WGT("horizontalLayout_3", 2, -1, "labelDevInfo"),
    SPC("horizontalLayout_3", 3, -1, 95, 20, H, M),
    HSP("gridLayout_8", 0, 0),
    WGT("gridLayout_8", 0, 1, "label_10"),
    WGT("gridLayout_8", 0, 2, "labelDevModel"),
    WGT("gridLayout_8", 1, 1, "label_12"),
    WGT("gridLayout_8", 1, 2, "labelDevVer"),
    HSP("gridLayout_8", 1, 3),
    WGT("horizontalLayout_4", 0, -1, "btnDevUpdateExtend"),
    FIX("horizontalLayout_4", 1, -1, 10, 20),
    WGT("horizontalLayout_4", 2, -1, "labelDevUpdate"),
    SPC("horizontalLayout_4", 3, -1, 113, 20, H, M),
    HSP("gridLayout_10", 0, 0),
    WGT("gridLayout_10", 0, 1, "btnUpgrade"),
    HSP("gridLayout_10", 0, 2),
    WSPAN("gridLayout_10", 1, 0, 1, 3, "progressBarUpdate"),
    WGT("horizontalLayout_8", 0, -1, "btnDevSupportExtend"),
    FIX("horizontalLayout_8", 1, -1, 10, 20),
    WGT("horizontalLayout_8", 2, -1, "labelDevSupport"),
    HSP("horizontalLayout_8", 3, -1),
    FIX("gridLayout_11", 1, 0, 40, 20),
    WGT("gridLayout_11", 0, 1, "labelHyperlinksQuickStartGuide"),
    WGT("gridLayout_11", 1, 1, "labelHyperlinksUserGuide"),
    WGT("gridLayout_11", 2, 1, "labelHyperlinksContactSupport"),
    HSP("gridLayout_11", 1, 2),
    WGT("horizontalLayout", 0, -1, "btnDevDesktopVerExtend"),
    FIX("horizontalLayout", 1, -1, 10, 20),
    WGT("horizontalLayout", 2, -1, "labelDevDesktopVer"),
    HSP("horizontalLayout", 3, -1),
    FIX("gridLayout_12", 0, 0, 40, 20),
    WGT("gridLayout_12", 0, 1, "label_13"),
    WGT("gridLayout_12", 0, 2, "labelAppVer"),
    HSP("gridLayout_12", 0, 3),
};

// Texts of retranslateUi; every other text of the tree is empty in the form.
const QPair<const char *, const char *> textRows[] = {
    {"btnNavControl", "Control"},
    {"btnNavSupport", "Support"},
    {"label_6", "Tracking Mode:"},
    {"btnRestoreDefaults", "Restore Defaults"},
    {"label_2", "Powerline Frequency:\n(Anti Flicker)"},
    {"label_17", "Tracking Speed:"},
    {"label_16", "Tracking Effect:"},
    {"label_5", "Restore Defaults:"},
    {"labelHDR_3", "HDR:"},
    {"label", "Mic\xef\xbc\x9a"},
    {"labelDevInfo", "Device Information"},
    {"label_10", "Device Model:"},
    {"label_12", "Current Version:"},
    {"labelDevUpdate", "Customer Software Update"},
    {"btnUpgrade", "Upgrade && Reboot"},
    {"labelDevSupport", "Support"},
    {"labelDevDesktopVer", "Desktop Version"},
    {"label_13", "Current:"},
};

QLayoutItem *findItem(QLayout *layout, int row, int column, int *rowSpan, int *columnSpan) {
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        for (int i = 0; i < grid->count(); ++i) {
            int r = 0, c = 0;
            grid->getItemPosition(i, &r, &c, rowSpan, columnSpan);
            if (r == row && c == column)
                return grid->itemAt(i);
        }
        return nullptr;
    }
    *rowSpan = 1;
    *columnSpan = 1;
    return layout->itemAt(row);
}

QString textOf(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return QString();
}
} // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void formWidgets_data();
    void formWidgets();
    void formLayouts_data();
    void formLayouts();
    void formItems_data();
    void formItems();
    void formTextsAndProperties();
    void formTextsGoThroughTheWindowContext();
    void formLeavesNoOtherLayoutOrWidget();

    void windowKeepsTheTree();
    void windowSize();
    void checkableAndRepeatingButtons();
    void comboBoxesFilledFromTheTables_data();
    void comboBoxesFilledFromTheTables();
    void zoomSlider();
    void upgradeBarAndVersionAndList();
    void linksOpenExternally();
    void previewOverlay();
    void hiddenForTheWholeRun();
    void controlsStartDisabled();
    void slotsAreBoundByName();

private:
    std::unique_ptr<MainWindow> makeWindow();

    QMainWindow bare;
    Ui::MainWindow form;
    SimulatedBus bus;
};

void TestMainWindowLayout::initTestCase() {
    form.setupUi(&bare);
    bus.install();
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini"));
}

void TestMainWindowLayout::cleanup() {
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/product.ini"));
}

std::unique_ptr<MainWindow> TestMainWindowLayout::makeWindow() {
    return std::make_unique<MainWindow>();
}

void TestMainWindowLayout::formWidgets_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(sizeof widgetRows / sizeof widgetRows[0]); ++i)
        QTest::newRow(widgetRows[i].name) << i;
}

void TestMainWindowLayout::formWidgets() {
    QFETCH(int, row);
    const WidgetRow &expected = widgetRows[row];
    auto *widget = bare.findChild<QWidget *>(QString::fromLatin1(expected.name));
    QVERIFY2(widget, expected.name);
    QCOMPARE(widget->metaObject()->className(), expected.className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(expected.parent));
    if (expected.minW != kAny)
        QCOMPARE(widget->minimumWidth(), expected.minW);
    if (expected.minH != kAny)
        QCOMPARE(widget->minimumHeight(), expected.minH);
    if (expected.maxW != kAny)
        QCOMPARE(widget->maximumWidth(), expected.maxW);
    if (expected.maxH != kAny)
        QCOMPARE(widget->maximumHeight(), expected.maxH);
    if (expected.hPolicy != kAny)
        QCOMPARE(int(widget->sizePolicy().horizontalPolicy()), expected.hPolicy);
    if (expected.vPolicy != kAny)
        QCOMPARE(int(widget->sizePolicy().verticalPolicy()), expected.vPolicy);
    // Names are unique in the tree.
    QCOMPARE(bare.findChildren<QWidget *>(QString::fromLatin1(expected.name)).size(), 1);
}

void TestMainWindowLayout::formLayouts_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(sizeof layoutRows / sizeof layoutRows[0]); ++i)
        QTest::newRow(layoutRows[i].name) << i;
}

void TestMainWindowLayout::formLayouts() {
    QFETCH(int, row);
    const LayoutRow &expected = layoutRows[row];
    const QString name = QString::fromLatin1(expected.name);
    const QList<QLayout *> found = bare.findChildren<QLayout *>(name);
    QCOMPARE(found.size(), 1);
    QLayout *layout = found.first();
    QCOMPARE(layout->metaObject()->className(), expected.className);
    if (*expected.owner) {
        QVERIFY(layout->parentWidget());
        QCOMPARE(layout->parentWidget()->objectName(), QString::fromLatin1(expected.owner));
        QCOMPARE(layout->parentWidget()->layout(), layout);
    } else {
        QVERIFY2(qobject_cast<QLayout *>(layout->parent()), "not nested in a layout");
    }

    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        if (expected.hSpacing != kAny)
            QCOMPARE(grid->horizontalSpacing(), expected.hSpacing);
        if (expected.vSpacing != kAny)
            QCOMPARE(grid->verticalSpacing(), expected.vSpacing);
    } else {
        const int spacing = expected.hSpacing != kAny ? expected.hSpacing : expected.vSpacing;
        QCOMPARE(layout->spacing(), spacing);
    }

    auto styleMargin = [&](QStyle::PixelMetric metric) {
        QWidget *owner = layout->parentWidget();
        return owner->style()->pixelMetric(metric, nullptr, owner);
    };
    const QMargins margins = layout->contentsMargins();
    QCOMPARE(margins.left(), expected.left);
    QCOMPARE(margins.right(), expected.right);
    QCOMPARE(margins.top(), expected.top == kStyleDefault ? styleMargin(QStyle::PM_LayoutTopMargin)
                                                          : expected.top);
    QCOMPARE(margins.bottom(), expected.bottom == kStyleDefault
                                   ? styleMargin(QStyle::PM_LayoutBottomMargin)
                                   : expected.bottom);
}

void TestMainWindowLayout::formItems_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(sizeof itemRows / sizeof itemRows[0]); ++i) {
        const ItemRow &r = itemRows[i];
        QTest::addRow("%s (%d,%d) %s", r.layout, r.row, r.column, r.name) << i;
    }
}

void TestMainWindowLayout::formItems() {
    QFETCH(int, row);
    const ItemRow &expected = itemRows[row];
    auto *layout = bare.findChild<QLayout *>(QString::fromLatin1(expected.layout));
    QVERIFY(layout);
    int rowSpan = 0;
    int columnSpan = 0;
    QLayoutItem *item = findItem(layout, expected.row, expected.column, &rowSpan, &columnSpan);
    QVERIFY2(item, "nothing at that place");
    QCOMPARE(rowSpan, expected.rowSpan);
    QCOMPARE(columnSpan, expected.columnSpan);
    switch (expected.kind) {
    case Widget:
        QVERIFY(item->widget());
        QCOMPARE(item->widget()->objectName(), QString::fromLatin1(expected.name));
        break;
    case Layout:
        QVERIFY(item->layout());
        QCOMPARE(item->layout()->objectName(), QString::fromLatin1(expected.name));
        break;
    case Spacer: {
        QSpacerItem *spacer = item->spacerItem();
        QVERIFY(spacer);
        QCOMPARE(spacer->sizeHint(), QSize(expected.spacerW, expected.spacerH));
        QCOMPARE(int(spacer->sizePolicy().horizontalPolicy()), expected.hPolicy);
        QCOMPARE(int(spacer->sizePolicy().verticalPolicy()), expected.vPolicy);
        break;
    }
    }
}

void TestMainWindowLayout::formTextsAndProperties() {
    QCOMPARE(bare.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(bare.windowTitle(), QStringLiteral("Kestrelon Zenta"));
    QCOMPARE(bare.size(), QSize(1103, 691));
    QCOMPARE(bare.centralWidget(), form.centralWidget);
    QCOMPARE(form.stackedWidgetMain->count(), 2);
    QCOMPARE(form.stackedWidgetMain->widget(0), form.pageNavControl);
    QCOMPARE(form.stackedWidgetMain->widget(1), form.pageNavSupport);
    QCOMPARE(form.stackedWidgetMain->currentIndex(), 0);
    QCOMPARE(form.progressBarUpdate->value(), 24);
    QCOMPARE(form.labelState->alignment(), Qt::AlignCenter);
    QCOMPARE(form.sliderZoom->orientation(), Qt::Horizontal);
    QVERIFY(form.scrollAreaSupport->widgetResizable());
    QCOMPARE(form.scrollAreaSupport->widget(), form.scrollAreaWidgetContents);

    QSet<QString> named;
    for (const auto &text : textRows) {
        const QString name = QString::fromLatin1(text.first);
        named.insert(name);
        auto *widget = bare.findChild<QWidget *>(name);
        QVERIFY2(widget, text.first);
        QCOMPARE(textOf(widget), QString::fromUtf8(text.second));
    }
    for (QWidget *widget : bare.findChildren<QWidget *>()) {
        if (!named.contains(widget->objectName()))
            QVERIFY2(textOf(widget).isEmpty(), qPrintable(widget->objectName()));
    }
    // One line break in the powerline caption, one ampersand on the upgrade button.
    QCOMPARE(form.label_2->text().count(QLatin1Char('\n')), 1);
    QVERIFY(!form.btnUpgrade->text().remove(QStringLiteral("&&")).contains(QLatin1Char('&')));
}

void TestMainWindowLayout::formTextsGoThroughTheWindowContext() {
    TranslationRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    form.retranslateUi(&bare);
    QCoreApplication::removeTranslator(&recorder);
    const QString context = QStringLiteral("MainWindow");
    QVERIFY(recorder.asked(context, QStringLiteral("Kestrelon Zenta")));
    for (const auto &text : textRows)
        QVERIFY2(recorder.asked(context, QString::fromUtf8(text.second)), text.second);
}

void TestMainWindowLayout::formLeavesNoOtherLayoutOrWidget() {
    QSet<QString> widgets;
    for (const WidgetRow &row : widgetRows)
        widgets.insert(QString::fromLatin1(row.name));
    for (QWidget *widget : bare.findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        // The scroll areas' own parts.
        if (name.startsWith(QLatin1String("qt_")) || qobject_cast<QScrollBar *>(widget))
            continue;
        QVERIFY2(widgets.contains(name), widget->metaObject()->className());
    }
    QSet<QString> layouts;
    for (const LayoutRow &row : layoutRows)
        layouts.insert(QString::fromLatin1(row.name));
    for (QLayout *layout : bare.findChildren<QLayout *>()) {
        if (layout->parentWidget() && !layout->parentWidget()->objectName().isEmpty() &&
            layout->parentWidget()->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (layout == bare.layout() || qobject_cast<QStackedLayout *>(layout))
            continue;
        QVERIFY2(layouts.contains(layout->objectName()), qPrintable(layout->objectName()));
    }
}

void TestMainWindowLayout::windowKeepsTheTree() {
    auto window = makeWindow();
    for (const WidgetRow &row : widgetRows) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(row.name));
        QVERIFY2(widget, row.name);
        QCOMPARE(widget->metaObject()->className(), row.className);
        const QString parent = row.overlay ? QStringLiteral("labPreview") : row.parent;
        QCOMPARE(widget->parentWidget()->objectName(), parent);
    }
    for (const LayoutRow &row : layoutRows)
        QVERIFY2(window->findChild<QLayout *>(QString::fromLatin1(row.name)), row.name);
    for (const ItemRow &row : itemRows) {
        if (!row.overlay || row.kind != Widget)
            continue;
        auto *grid = window->findChild<QGridLayout *>(QStringLiteral("gridLayout"));
        auto *moved = window->findChild<QWidget *>(QString::fromLatin1(row.name));
        QCOMPARE(grid->indexOf(moved), -1);
    }
}

void TestMainWindowLayout::windowSize() {
    auto window = makeWindow();
    QCOMPARE(window->minimumSize(), QSize(1010, 700));
    // The form's 1103 x 691 raised to the minimum height.
    QCOMPARE(window->size(), QSize(1103, 700));
    QCOMPARE(window->windowTitle(), QStringLiteral("Kestrelon Zenta"));
    auto *stacked = window->findChild<QStackedWidget *>(QStringLiteral("stackedWidgetMain"));
    QCOMPARE(stacked->currentIndex(), 0);
}

void TestMainWindowLayout::checkableAndRepeatingButtons() {
    auto window = makeWindow();
    for (const char *name : {"btnModeDark", "btnModeLight", "btnHDR", "btnDevInfoExtend",
                             "btnDevUpdateExtend", "btnDevSupportExtend", "btnDevDesktopVerExtend"})
        QVERIFY2(window->findChild<QAbstractButton *>(QString::fromLatin1(name))->isCheckable(),
                 name);
    for (const char *name : {"btnDevInfoExtend", "btnDevUpdateExtend", "btnDevSupportExtend",
                             "btnDevDesktopVerExtend"})
        QVERIFY2(!window->findChild<QAbstractButton *>(QString::fromLatin1(name))->isChecked(),
                 name);
    for (const char *name : {"btnNavControl", "btnNavSupport"}) {
        auto *nav = window->findChild<QToolButton *>(QString::fromLatin1(name));
        QVERIFY(nav->isCheckable());
        QCOMPARE(nav->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    }
    QVERIFY(window->findChild<QToolButton *>(QStringLiteral("btnNavControl"))->isChecked());
    QVERIFY(!window->findChild<QToolButton *>(QStringLiteral("btnNavSupport"))->isChecked());
    for (const char *name : {"btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"}) {
        auto *arrow = window->findChild<QPushButton *>(QString::fromLatin1(name));
        QVERIFY2(arrow->autoRepeat(), name);
        QCOMPARE(arrow->autoRepeatDelay(), 10);
        QCOMPARE(arrow->autoRepeatInterval(), 10);
        QVERIFY(!arrow->isCheckable());
    }
}

void TestMainWindowLayout::comboBoxesFilledFromTheTables_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("anti-flicker") << "comboBoxAntiFlicker" << QStringList{"Off", "50Hz", "60Hz"}
                                  << QList<int>{0, 1, 2};
    QTest::newRow("mic") << "comboBoxMic" << QStringList{"Enable", "Disable"} << QList<int>{1, 0};
    QTest::newRow("tracking mode")
        << "comboBoxTrackMode" << QStringList{"Auto Framing", "Presenter Tracking", "Off"}
        << QList<int>{1, 3, 0};
    QTest::newRow("tracking effect")
        << "comboBoxTrackEffect" << QStringList{"Smooth", "Immediate"} << QList<int>{1, 0};
    QTest::newRow("tracking speed")
        << "comboBoxTrackSpeend" << QStringList{"Slow", "Normal", "Fast"} << QList<int>{0, 1, 2};
}

void TestMainWindowLayout::comboBoxesFilledFromTheTables() {
    QFETCH(QString, box);
    QFETCH(QStringList, labels);
    QFETCH(QList<int>, values);
    auto window = makeWindow();
    auto *combo = window->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QCOMPARE(combo->count(), labels.size());
    for (int i = 0; i < combo->count(); ++i) {
        QCOMPARE(combo->itemText(i), labels.at(i));
        const QVariant data = combo->itemData(i);
        QCOMPARE(data.userType(), int(QMetaType::Int));
        QCOMPARE(data.toInt(), values.at(i));
        QVERIFY(combo->itemIcon(i).isNull());
    }
    QCOMPARE(combo->currentIndex(), 0);
}

void TestMainWindowLayout::zoomSlider() {
    auto window = makeWindow();
    auto *slider = window->findChild<QSlider *>(QStringLiteral("sliderZoom"));
    QCOMPARE(slider->minimum(), 100);
    QCOMPARE(slider->maximum(), 800);
    QCOMPARE(slider->singleStep(), 10);
    QCOMPARE(slider->value(), 100);
    auto *label = window->findChild<QLabel *>(QStringLiteral("labelZoomValue"));
    QCOMPARE(label->text(), QStringLiteral("100%"));
    // The slider reaches its slot: a new value shows in the label.
    slider->setEnabled(true);
    slider->setValue(250);
    QCOMPARE(label->text(), QStringLiteral("250%"));
}

void TestMainWindowLayout::upgradeBarAndVersionAndList() {
    auto window = makeWindow();
    auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progressBarUpdate"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QVERIFY(bar->isHidden());
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("labelAppVer"))->text(),
             QStringLiteral("V1.1.7"));
    QCOMPARE(window->findChild<QListWidget *>(QStringLiteral("listWidgetCamera"))
                 ->horizontalScrollBarPolicy(),
             Qt::ScrollBarAlwaysOff);
}

void TestMainWindowLayout::linksOpenExternally() {
    auto window = makeWindow();
    for (const char *name : {"labelHyperlinksQuickStartGuide", "labelHyperlinksUserGuide",
                             "labelHyperlinksContactSupport"})
        QVERIFY2(window->findChild<QLabel *>(QString::fromLatin1(name))->openExternalLinks(), name);
}

void TestMainWindowLayout::previewOverlay() {
    auto window = makeWindow();
    auto *preview = window->findChild<QLabel *>(QStringLiteral("labPreview"));
    auto *loading = window->findChild<QLabel *>(QStringLiteral("labelloading"));
    auto *stop = window->findChild<QLabel *>(QStringLiteral("labelStop"));
    auto *camera = window->findChild<QLabel *>(QStringLiteral("labelCamera"));
    auto *overlay = qobject_cast<QVBoxLayout *>(preview->layout());
    QVERIFY(overlay);
    QVERIFY(overlay->objectName().isEmpty());
    QCOMPARE(overlay->count(), 3);
    QCOMPARE(overlay->itemAt(0)->widget(), loading);
    QCOMPARE(overlay->itemAt(1)->widget(), stop);
    QCOMPARE(overlay->itemAt(2)->widget(), camera);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(overlay->itemAt(i)->alignment(), Qt::AlignCenter);

    QCOMPARE(loading->minimumSize(), QSize(50, 50));
    QCOMPARE(loading->maximumSize(), QSize(50, 50));
    QVERIFY(loading->hasScaledContents());
    for (QLabel *icon : {stop, camera}) {
        QCOMPARE(icon->minimumSize(), QSize(60, 60));
        QCOMPARE(icon->maximumSize(), QSize(60, 60));
    }
    for (QLabel *label : {loading, stop, camera})
        QCOMPARE(label->styleSheet(), QStringLiteral("border:0px"));

    // Light theme at start: the light animation, both made at speed 250.
    QMovie *movie = loading->movie();
    QVERIFY(movie);
    QCOMPARE(movie->fileName(), QStringLiteral(":/qss/light/loading.gif"));
    QCOMPARE(movie->speed(), 250);
    const QList<QMovie *> movies = window->findChildren<QMovie *>();
    QCOMPARE(movies.size(), 2);
    QStringList files;
    for (QMovie *each : movies) {
        QCOMPARE(each->speed(), 250);
        QVERIFY(each->isValid());
        files << each->fileName();
    }
    files.sort();
    QCOMPARE(files, (QStringList{QStringLiteral(":/qss/dark/loading.gif"),
                                 QStringLiteral(":/qss/light/loading.gif")}));

    MainWindowTestAccess access(*window);
    const QString hint = QString::fromUtf8(
        "<h6 style=text-align:center><font color = gray>Click the icon to start "
        "preview.</font></h6> <h6 style=text-align:center><font color = orange>Other apps "
        "can\xe2\x80\x99t access the camera while you preview it on this app.</font></h6>");
    QCOMPARE(access.previewHint(), hint);
    QCOMPARE(preview->text(), hint);
    QCOMPARE(preview->alignment(), Qt::AlignBottom);
    QVERIFY(preview->testAttribute(Qt::WA_Hover));
}

void TestMainWindowLayout::hiddenForTheWholeRun() {
    auto window = makeWindow();
    window->show();
    for (const char *name : {"btnModeDark", "labelHyperlinksUserGuide", "labelHDR_3", "btnHDR"}) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(widget->isHidden(), name);
    }
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("btnModeLight"))->isVisible());
}

void TestMainWindowLayout::controlsStartDisabled() {
    auto window = makeWindow();
    for (const char *name :
         {"comboBoxAntiFlicker", "comboBoxMic", "btnHDR", "btnRestoreDefaults",
          "comboBoxTrackEffect", "comboBoxTrackMode", "comboBoxTrackSpeend", "btnUpgrade",
          "sliderZoom", "btnCameraUp", "btnCameraDown", "btnCameraLeft", "btnCameraRight"})
        QVERIFY2(!window->findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(), name);
    window->show();
    QVERIFY(window->findChild<QWidget *>(QStringLiteral("labelCamera"))->isVisible());
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("labelStop"))->isVisible());
    QVERIFY(!window->findChild<QWidget *>(QStringLiteral("labelloading"))->isVisible());
}

void TestMainWindowLayout::slotsAreBoundByName() {
    auto window = makeWindow();
    window->show();
    auto *content = window->findChild<QWidget *>(QStringLiteral("widgetDevSupport"));
    auto *extend = window->findChild<QPushButton *>(QStringLiteral("btnDevSupportExtend"));
    QVERIFY(!content->isHidden());
    extend->click();
    QVERIFY(content->isHidden());
    extend->click();
    QVERIFY(!content->isHidden());
}

QTEST_MAIN(TestMainWindowLayout)
#include "tst_mainwindowlayout.moc"
