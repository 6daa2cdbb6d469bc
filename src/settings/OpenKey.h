#pragma once

#include <QSettings>

#include "settings/SettingsStore.h"

namespace quillery {

// The settings of one key, opened as the store opens them. Only the key's own file counts:
// the values QSettings would otherwise fall back on (the organisation's file, the system-wide
// files) are neither read nor left standing by a save.
class OpenKey : public QSettings {
  public:
    explicit OpenKey(const SettingsKey& key)
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, key.organisation,
                    key.application) {
        setFallbacksEnabled(false);
    }
};

}  // namespace quillery
