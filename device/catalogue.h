// The supported camera models and vendors, the labels of the camera settings, and the lookups
// that turn what the system says about a camera into a model or a vendor.
#pragma once

#include <QString>
#include <QVector>

#include <cstdint>

struct ProductModel {
    std::int32_t vendorId;
    std::int32_t productId;
    std::int32_t modelIndex;
    QString modelName;
};

struct ProductVendor {
    std::int32_t index;
    std::int32_t vendorId;
    QString manufacturer;
};

// A value that travels to and from the camera and the label shown for it.
struct OptionPair {
    std::int32_t value;
    QString label;
};
using OptionTable = QVector<OptionPair>;

constexpr int ModelIndexNone = 255;
// The vendor rows (ProductVendorTable), which the configuration selects by index: the index also
// chooses the product line's updater protocol and which controls a model offers.
constexpr int kProductLineQx = 0;
constexpr int kProductLineZenta = 1;
constexpr std::int32_t kLinuxFoundationVendorId = 0x1D6B;
extern const std::int32_t kVendorUsbId;

// Search order of the model lookups.
extern const QVector<ProductModel> ProductModelTable;
// The same models under their names without blanks or dashes.
extern const QVector<ProductModel> ProductModelCompactTable;
extern const QVector<ProductVendor> ProductVendorTable;

extern const OptionTable ConnectionStateText;
extern const OptionTable AntiFlickerOptions;
extern const OptionTable SwitchOptions;
extern const OptionTable TrackingEffectOptions;
extern const OptionTable TrackingModeOptions;
extern const OptionTable TrackingSpeedOptions;

extern const QString kSettingsFileName;
extern const QString kPackageImageName;
extern const QString kPackageModelFileName;
extern const char *const kSupportBaseUrl;
extern const char *const kContactUrl;
extern const char *const kDocumentationUrl;

// Extracts the USB ids from a device id or interface path holding "vid_XXXX&pid_YYYY&".
// Each output is written only when its own step succeeds; the caller presets both to 0.
bool parseVidPid(const QString &path, std::uint32_t &vendorId, std::uint32_t &productId);

// First model whose display name occurs in the friendly name, ignoring case.
int modelIndexByName(const QString &friendlyName);
int modelIndexByIds(std::uint32_t vendorId, std::uint32_t productId);

// The vendor row selected by the settings file's index; no row gives "" and 0.
void vendorByIndex(int index, QString &manufacturer, int &vendorId);

// Index of the first pair carrying the value, or -1.
int optionIndexOfValue(const OptionTable &table, int value);
// Value of the pair at the index; the caller checks the range.
int optionValueAt(const OptionTable &table, int index);
// Label of the pair carrying the value, or an empty text.
QString optionLabelOfValue(const OptionTable &table, int value);
