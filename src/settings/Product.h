#pragma once

#include <QString>

namespace quillery {

// The product's literals. Both carry a trailing blank, and the texts built from them keep it.
inline const QString kProductName = QStringLiteral("Quillery ");
inline const QString kVersionText = QStringLiteral("Version 0.67 ");
inline const QString kVersionNumber = QStringLiteral("0.67 ");
inline const QString kOrganisation = QStringLiteral("Velmora");

// "Quillery Version 0.67 ": the title of the main window, the options and every message box.
inline QString TitleText() {
    return kProductName + kVersionText;
}

}  // namespace quillery
