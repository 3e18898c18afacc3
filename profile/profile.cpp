#include "profile/profile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <limits>

namespace {
const char kFormatKey[] = "format";
const char kNameKey[] = "name";
const char kModelKey[] = "model";
const char kItemsKey[] = "items";

ProfileError refusal(ProfileError::Kind kind, const QString &file, const QString &item,
                     const QString &detail) {
    return ProfileError{kind, file, item, detail};
}

// A setting's value: its number, or one of its labels (a file written by hand).
std::optional<int> settingValue(const ProfileItem &item, const QJsonValue &json) {
    const SettingDefinition &definition = settingDefinition(item.setting);
    int value = 0;
    if (json.isString() && settingValueFromText(definition, json.toString(), value))
        return value;
    if (json.isDouble() && json.toDouble() == json.toInt() &&
        profileValueInRange(item, json.toInt()))
        return json.toInt();
    return std::nullopt;
}

std::optional<int> wholeValue(const ProfileItem &item, const QJsonValue &json) {
    if (!json.isDouble() || json.toDouble() != json.toInt() ||
        !profileValueInRange(item, json.toInt()))
        return std::nullopt;
    return json.toInt();
}

QString rangeText(const ProfileItem &item) {
    if (item.kind == ProfileItemKind::Picture)
        return QStringLiteral("a whole number");
    if (item.kind == ProfileItemKind::Position)
        return QStringLiteral("a whole number within %1..%2").arg(item.minimum).arg(item.maximum);
    QStringList values;
    for (const OptionPair &option : *settingDefinition(item.setting).options)
        values << QStringLiteral("%1 (%2)").arg(option.value).arg(option.label);
    return QStringLiteral("one of ") + values.join(QStringLiteral(", "));
}
} // namespace

const std::vector<ProfileItem> &profileItems() {
    using Kind = ProfileItemKind;
    const CameraControlId none = CameraControlId::Roll;
    const auto picture = [](const char *name) {
        return ProfileItem{name,
                           Kind::Picture,
                           CameraSetting::Hdr,
                           CameraControlId::Roll, // no axis
                           std::numeric_limits<int>::min(),
                           std::numeric_limits<int>::max()};
    };
    static const std::vector<ProfileItem> items = {
        {"tracking-mode", Kind::Setting, CameraSetting::TrackingMode, none, 0, 0},
        {"tracking-effect", Kind::Setting, CameraSetting::TrackingEffect, none, 0, 0},
        {"tracking-speed", Kind::Setting, CameraSetting::TrackingSpeed, none, 0, 0},
        {"anti-flicker", Kind::Setting, CameraSetting::AntiFlicker, none, 0, 0},
        {"hdr", Kind::Setting, CameraSetting::Hdr, none, 0, 0},
        // The picture: the automatic controls first, so that the manual values after them are
        // taken while their master lets them.
        picture("white-balance-automatic"),
        picture("auto-exposure"),
        picture("exposure-dynamic-framerate"),
        picture("gain-automatic"),
        picture("hue-automatic"),
        picture("focus-automatic"),
        picture("brightness-automatic"),
        picture("contrast-automatic"),
        picture("saturation-automatic"),
        picture("sharpness-automatic"),
        picture("gamma-automatic"),
        picture("backlight-compensation-automatic"),
        picture("brightness"),
        picture("contrast"),
        picture("saturation"),
        picture("hue"),
        picture("sharpness"),
        picture("gamma"),
        picture("gain"),
        picture("backlight-compensation"),
        picture("power-line-frequency"),
        picture("white-balance-temperature"),
        picture("exposure-time"),
        picture("focus"),
        picture("iris"),
        {"zoom", Kind::Position, CameraSetting::Hdr, CameraControlId::Zoom, kZoomMinimum_percent,
         kZoomMaximum_percent},
        {"pan", Kind::Position, CameraSetting::Hdr, CameraControlId::Pan, -kPanTiltLimit_deg,
         kPanTiltLimit_deg},
        {"tilt", Kind::Position, CameraSetting::Hdr, CameraControlId::Tilt, -kPanTiltLimit_deg,
         kPanTiltLimit_deg},
        {"microphone", Kind::Setting, CameraSetting::Microphone, none, 0, 0},
    };
    return items;
}

const ProfileItem *findProfileItem(const QString &name) {
    for (const ProfileItem &item : profileItems())
        if (name == QLatin1String(item.name))
            return &item;
    return nullptr;
}

const ProfileItem &profileItemOf(CameraSetting setting) {
    for (const ProfileItem &item : profileItems())
        if (item.kind == ProfileItemKind::Setting && item.setting == setting)
            return item;
    Q_UNREACHABLE();
}

const ProfileItem &profileItemOf(CameraControlId axis) {
    for (const ProfileItem &item : profileItems())
        if (item.kind == ProfileItemKind::Position && item.axis == axis)
            return item;
    Q_UNREACHABLE();
}

bool profileValueInRange(const ProfileItem &item, int value) {
    if (item.kind != ProfileItemKind::Setting)
        return value >= item.minimum && value <= item.maximum;
    return optionIndexOfValue(*settingDefinition(item.setting).options, value) >= 0;
}

QString profileValueText(const ProfileItem &item, int value) {
    if (item.kind != ProfileItemKind::Setting)
        return QString::number(value);
    const QString label = optionLabelOfValue(*settingDefinition(item.setting).options, value);
    return QStringLiteral("%1 (%2)")
        .arg(label.isEmpty() ? QStringLiteral("unknown") : label)
        .arg(value);
}

std::optional<int> Profile::value(const ProfileItem &item) const {
    return values.at(static_cast<std::size_t>(&item - profileItems().data()));
}

void Profile::set(const ProfileItem &item, int value) {
    values.at(static_cast<std::size_t>(&item - profileItems().data())) = value;
}

bool Profile::isEmpty() const {
    for (const std::optional<int> &value : values)
        if (value)
            return false;
    return true;
}

QString ProfileError::message() const {
    QString why;
    switch (kind) {
    case Kind::None:
        return QString();
    case Kind::Missing:
        return QStringLiteral("There is no profile %1.").arg(file);
    case Kind::NotWritten:
        return QStringLiteral("The profile %1 could not be written: %2").arg(file, detail);
    case Kind::Damaged:
        why = QStringLiteral("it is damaged (%1)").arg(detail);
        break;
    case Kind::UnknownFormat:
        why = QStringLiteral("its format %1 is unknown (this program reads format %2)")
                  .arg(detail)
                  .arg(kProfileFormat);
        break;
    case Kind::UnknownItem:
        why = QStringLiteral("item \"%1\" is unknown").arg(item);
        break;
    case Kind::OutOfRange:
        why = QStringLiteral("item \"%1\": %2").arg(item, detail);
        break;
    }
    return QStringLiteral("The profile %1 is refused: %2. The file was left as it is.")
        .arg(file, why);
}

QByteArray profileToJson(const Profile &profile) {
    QJsonObject items;
    for (const ProfileItem &item : profileItems())
        if (const std::optional<int> value = profile.value(item))
            items[QLatin1String(item.name)] = *value;
    QJsonObject document;
    document[QLatin1String(kFormatKey)] = kProfileFormat;
    document[QLatin1String(kNameKey)] = profile.name;
    document[QLatin1String(kModelKey)] =
        profile.model.isEmpty() ? QJsonValue() : QJsonValue(profile.model);
    document[QLatin1String(kItemsKey)] = items;
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

std::optional<Profile> profileFromJson(const QByteArray &document, const QString &file,
                                       ProfileError &error) {
    using Kind = ProfileError::Kind;
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = refusal(
            Kind::Damaged, file, QString(),
            QStringLiteral("%1 at byte %2").arg(parseError.errorString()).arg(parseError.offset));
        return std::nullopt;
    }
    const QJsonObject root = json.object();
    const QJsonValue format = root.value(QLatin1String(kFormatKey));
    if (!json.isObject() || !format.isDouble() ||
        !root.value(QLatin1String(kItemsKey)).isObject()) {
        error = refusal(Kind::Damaged, file, QString(),
                        QStringLiteral("not an object with \"format\" and \"items\""));
        return std::nullopt;
    }
    if (format.toDouble() != kProfileFormat) {
        error = refusal(Kind::UnknownFormat, file, QString(),
                        QString::number(format.toDouble(), 'g', 10));
        return std::nullopt;
    }
    Profile profile;
    profile.name = root.value(QLatin1String(kNameKey)).toString();
    profile.model = root.value(QLatin1String(kModelKey)).toString();
    const QJsonObject items = root.value(QLatin1String(kItemsKey)).toObject();
    for (auto entry = items.begin(); entry != items.end(); ++entry) {
        const ProfileItem *item = findProfileItem(entry.key());
        if (!item) {
            error = refusal(Kind::UnknownItem, file, entry.key(), QString());
            return std::nullopt;
        }
        const std::optional<int> value = item->kind == ProfileItemKind::Setting
                                             ? settingValue(*item, entry.value())
                                             : wholeValue(*item, entry.value());
        if (!value) {
            const QString given = QString::fromUtf8(
                QJsonDocument(QJsonArray{entry.value()}).toJson(QJsonDocument::Compact));
            error = refusal(Kind::OutOfRange, file, entry.key(),
                            QStringLiteral("%1 is not %2")
                                .arg(given.mid(1, given.size() - 2), rangeText(*item)));
            return std::nullopt;
        }
        profile.set(*item, *value);
    }
    return profile;
}
