#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings/OpenKey.h"
#include "settings/Product.h"

namespace quillery {

namespace {

// ReadOpenValue's results besides 0.
constexpr int kValueMissing = 1;
constexpr int kValueOfOtherType = -1;

// WriteOpenValue's result when the store could not be written.
constexpr int kWriteFailed = 1;

}  // namespace

SettingsKey DefaultSettingsKey() {
    return {kOrganisation, kProductName};
}

void DeleteKey(const SettingsKey& key) {
    OpenKey open(key);
    open.clear();
    open.sync();
}

void CreateKey(const SettingsKey& key) {
    OpenKey open(key);
    open.sync();
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // Here the key is a file, which QSettings writes only once it holds a value.
    const QString fileName = open.fileName();
    if (!QFileInfo::exists(fileName)) {
        QDir().mkpath(QFileInfo(fileName).path());
        QFile file(fileName);
        (void)file.open(QIODevice::WriteOnly | QIODevice::Append);
    }
#endif
}

int WriteValue(const SettingsKey& key, const QString& name, const StoredValue& value, int type) {
    OpenKey open(key);
    return WriteOpenValue(open, name, type, value);
}

int WriteOpenValue(QSettings& open, const QString& name, int type, const StoredValue& value) {
    if (!SetOpenValue(open, name, type, value)) {
        return 0;
    }
    open.sync();
    return open.status() == QSettings::NoError ? 0 : kWriteFailed;
}

bool SetOpenValue(QSettings& open, const QString& name, int type, const StoredValue& value) {
    QVariant stored;
    if (type == kTextValue) {
        if (const auto* text = std::get_if<QString>(&value)) {
            stored = *text;
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            stored = QString::number(*number);
        } else {
            stored = QString();
        }
    } else if (type == kNumberValue) {
        if (const auto* number = std::get_if<std::int32_t>(&value)) {
            stored = *number;
        } else if (const auto* text = std::get_if<QString>(&value)) {
            stored = static_cast<std::int32_t>(text->toInt());
        } else {
            stored = std::int32_t{0};
        }
    } else {
        return false;
    }
    open.setValue(name, stored);
    return true;
}

StoredValue ReadValue(const SettingsKey& key, const QString& name) {
    OpenKey open(key);
    StoredValue value;
    ReadOpenValue(open, name, value);
    return value;
}

// The file formats give every value back as text, numbers included ("1"); a stored integer
// comes back as one only from stores that keep the type (the registry, property lists).
int ReadOpenValue(QSettings& open, const QString& name, StoredValue& value) {
    if (!open.contains(name)) {
        return kValueMissing;
    }
    const QVariant stored = open.value(name);
    switch (stored.typeId()) {
        case QMetaType::QString:
            value = stored.toString();
            return 0;
        case QMetaType::Int:
            value = static_cast<std::int32_t>(stored.toInt());
            return 0;
        default:
            return kValueOfOtherType;
    }
}

}  // namespace quillery
