#pragma once

#include <QString>
#include <cstdint>
#include <variant>

class QSettings;

namespace quillery {

// A value as the store hands it back: nothing, a text or a 32-bit integer.
using StoredValue = std::variant<std::monostate, QString, std::int32_t>;

// Value types, numbered as the stored types they stand for.
enum StoredType : int { kTextValue = 1, kNumberValue = 4 };

// Where the settings live: the organisation and the application name under which QSettings
// keeps the user's settings (on Linux the file $XDG_CONFIG_HOME/Velmora/Quillery .conf).
struct SettingsKey {
    QString organisation;  // "Velmora"
    QString application;   // "Quillery " (its trailing blank belongs to the name)
};
SettingsKey DefaultSettingsKey();

// The six primitives of the store. An "open key" is a QSettings on the key; the others
// open and close one themselves. None reports failure except through its result.
void DeleteKey(const SettingsKey& key);
void CreateKey(const SettingsKey& key);
int WriteValue(const SettingsKey& key, const QString& name, const StoredValue& value, int type);
int WriteOpenValue(QSettings& open, const QString& name, int type, const StoredValue& value);
// WriteOpenValue without writing the store: the value is kept in the open key until its
// sync(). False for a type that is neither text nor number.
bool SetOpenValue(QSettings& open, const QString& name, int type, const StoredValue& value);
StoredValue ReadValue(const SettingsKey& key, const QString& name);
int ReadOpenValue(QSettings& open, const QString& name, StoredValue& value);

}  // namespace quillery
