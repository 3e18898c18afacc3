#include "device/catalogue.h"

#include "buildconfig.h"

#include <QDebug>
#include <QObject>

const std::int32_t kVendorUsbId = buildconfig::kVendorUsbId;

const QVector<ProductModel> ProductModelTable = {
    {kLinuxFoundationVendorId, 0x0104, 0, QStringLiteral("QX-M30-000")},
    {kVendorUsbId, 0x0103, 1, QStringLiteral("ZENTA 310")},
    {kVendorUsbId, 0x0305, 2, QStringLiteral("ZENTA 320")},
    {kVendorUsbId, 0x0306, 3, QStringLiteral("ZENTA 325")},
};

const QVector<ProductModel> ProductModelCompactTable = {
    {kLinuxFoundationVendorId, 0x0104, 0, QStringLiteral("QXM30000")},
    {kVendorUsbId, 0x0103, 1, QStringLiteral("ZENTA310")},
    {kVendorUsbId, 0x0305, 2, QStringLiteral("ZENTA320")},
    {kVendorUsbId, 0x0306, 3, QStringLiteral("ZENTA325")},
};

const QVector<ProductVendor> ProductVendorTable = {
    {kProductLineQx, kLinuxFoundationVendorId, QStringLiteral("QX")},
    {kProductLineZenta, kVendorUsbId, QStringLiteral("Kestrelon")},
};

const OptionTable ConnectionStateText = {{0, QObject::tr("Connected")},
                                         {1, QObject::tr("Disconnected")}};
const OptionTable AntiFlickerOptions = {
    {0, QObject::tr("Off")}, {1, QObject::tr("50Hz")}, {2, QObject::tr("60Hz")}};
const OptionTable SwitchOptions = {{1, QObject::tr("Enable")}, {0, QObject::tr("Disable")}};
const OptionTable TrackingEffectOptions = {{1, QObject::tr("Smooth")},
                                           {0, QObject::tr("Immediate")}};
const OptionTable TrackingModeOptions = {{1, QObject::tr("Auto Framing")},
                                         {3, QObject::tr("Presenter Tracking")},
                                         {0, QObject::tr("Off")}};
const OptionTable TrackingSpeedOptions = {
    {0, QObject::tr("Slow")}, {1, QObject::tr("Normal")}, {2, QObject::tr("Fast")}};

const QString kSettingsFileName = QStringLiteral("product.ini");
const QString kPackageImageName = QStringLiteral("miservice.ubifs");
const QString kPackageModelFileName = QStringLiteral("model.dat");
const char *const kSupportBaseUrl = buildconfig::kSupportBaseUrl;
const char *const kContactUrl = buildconfig::kContactUrl;
const char *const kDocumentationUrl = buildconfig::kDocumentationUrl;

namespace {
// Finds "<marker>XXXX&" at the first occurrence of both marker and "&"; the hex digits
// between them become the value. Returns false when the field is missing or too short.
bool takeHexField(const QString &text, const QString &marker, int &ampersand, std::uint32_t &out,
                  bool &converted) {
    const int start = text.indexOf(marker, 0, Qt::CaseSensitive);
    ampersand = text.indexOf(QLatin1Char('&'), 0, Qt::CaseSensitive);
    if (start < 0 || ampersand < 0 || ampersand - start < 4)
        return false;
    const int digitsFrom = start + marker.size();
    const QString number = QStringLiteral("0x%1").arg(text.mid(digitsFrom, ampersand - digitsFrom));
    out = number.toUInt(&converted, 16);
    return true;
}
} // namespace

bool parseVidPid(const QString &path, std::uint32_t &vendorId, std::uint32_t &productId) {
    if (path.isEmpty())
        return false;

    QString rest = path;
    int ampersand = -1;
    bool converted = false;
    if (!takeHexField(rest, QStringLiteral("vid_"), ampersand, vendorId, converted))
        return false;
    rest = rest.mid(ampersand + 1);
    if (!takeHexField(rest, QStringLiteral("pid_"), ampersand, productId, converted))
        return false;
    qDebug() << "vid:" << vendorId << " pid:" << productId;
    return converted;
}

int modelIndexByName(const QString &friendlyName) {
    for (const ProductModel &model : ProductModelTable) {
        if (friendlyName.contains(model.modelName, Qt::CaseInsensitive))
            return model.modelIndex;
    }
    return ModelIndexNone;
}

int modelIndexByIds(std::uint32_t vendorId, std::uint32_t productId) {
    for (const ProductModel &model : ProductModelTable) {
        if (static_cast<std::uint32_t>(model.vendorId) == vendorId &&
            static_cast<std::uint32_t>(model.productId) == productId)
            return model.modelIndex;
    }
    return ModelIndexNone;
}

void vendorByIndex(int index, QString &manufacturer, int &vendorId) {
    manufacturer.clear();
    vendorId = 0;
    for (const ProductVendor &vendor : ProductVendorTable) {
        if (vendor.index == index) {
            manufacturer = vendor.manufacturer;
            vendorId = vendor.vendorId;
            return;
        }
    }
}

int optionIndexOfValue(const OptionTable &table, int value) {
    for (int i = 0; i < table.size(); ++i) {
        if (table.at(i).value == value)
            return i;
    }
    return -1;
}

int optionValueAt(const OptionTable &table, int index) {
    return table.at(index).value;
}

QString optionLabelOfValue(const OptionTable &table, int value) {
    const int index = optionIndexOfValue(table, value);
    return index < 0 ? QString() : table.at(index).label;
}
