#include "settings/Settings.h"

#include "settings/OpenKey.h"
#include "settings/Product.h"

namespace quillery {

namespace {

const QString kDefaultPatternText = QStringLiteral("*.diz *.nfo");
const QString kPatternStart = QStringLiteral("*.");

const QString kVersionName = QStringLiteral("Version");
const QString kSearchStringName = QStringLiteral("Search String");
const QString kSearchPathName = QStringLiteral("Search Path");
const QString kFileExtensionsName = QStringLiteral("File Extensions");
const QString kAuditName = QStringLiteral("Audit");
const QString kInternalViewName = QStringLiteral("IntView");
const QString kSubFoldersName = QStringLiteral("SubFolder");
const QString kShowSizeName = QStringLiteral("ShowSize");
const QString kAllArchivesName = QStringLiteral("AllArchives");
const QString kExpressionsName = QStringLiteral("Expressions");
const QString kMatchCaseName = QStringLiteral("MatchCase");
const QString kWholeWordsName = QStringLiteral("WholeWords");
const QString kNoIndexName = QStringLiteral("NoIndex");
const QString kIndexLimitName = QStringLiteral("IndexLimitMB");

// Removes leading and trailing blanks (U+0020 only).
QStringView TrimmedOfBlanks(QStringView text) {
    while (text.startsWith(QLatin1Char(' '))) {
        text = text.sliced(1);
    }
    while (text.endsWith(QLatin1Char(' '))) {
        text.chop(1);
    }
    return text;
}

// A text box shows a stored text as it is and a stored number in decimal digits; anything
// else, or nothing, leaves it empty.
QString ReadText(QSettings& open, const QString& name) {
    StoredValue value;
    ReadOpenValue(open, name, value);
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return QString::number(*number);
    }
    if (const auto* text = std::get_if<QString>(&value)) {
        return *text;
    }
    return {};
}

// A check box is ticked (1) when its value is a whole number other than 0. Text files give
// numbers back as text, so a text is read as the number it spells; any other text is 0.
int ReadCheckBox(QSettings& open, const QString& name) {
    StoredValue value;
    ReadOpenValue(open, name, value);
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return *number != 0 ? 1 : 0;
    }
    if (const auto* text = std::get_if<QString>(&value)) {
        bool whole = false;
        const qlonglong spelt = text->toLongLong(&whole);
        return whole && spelt != 0 ? 1 : 0;
    }
    return 0;
}

}  // namespace

std::optional<QString> NormalisePatternText(const QString& text) {
    if (text.isEmpty()) {
        return kDefaultPatternText;
    }
    if (!text.contains(kPatternStart)) {
        return std::nullopt;
    }
    const QList<QStringView> pieces = QStringView(text).split(kPatternStart);
    QString normalised;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        normalised += kPatternStart;
        normalised += TrimmedOfBlanks(pieces[i]);
        normalised += QLatin1Char(' ');
    }
    return normalised;
}

SettingsValues LoadSettings(const SettingsKey& key) {
    OpenKey open(key);
    SettingsValues values;
    values.searchString = ReadText(open, kSearchStringName);
    values.searchPath = ReadText(open, kSearchPathName);
    values.fileExtensions = ReadText(open, kFileExtensionsName);
    values.audit = ReadCheckBox(open, kAuditName);
    values.internalView = ReadCheckBox(open, kInternalViewName);
    values.subFolders = ReadCheckBox(open, kSubFoldersName);
    values.showSize = ReadCheckBox(open, kShowSizeName);
    values.allArchives = ReadCheckBox(open, kAllArchivesName);
    values.expressions = ReadCheckBox(open, kExpressionsName);
    values.matchCase = ReadCheckBox(open, kMatchCaseName);
    values.wholeWords = ReadCheckBox(open, kWholeWordsName);
    values.noIndex = ReadCheckBox(open, kNoIndexName);
    bool whole = false;
    const int limit = ReadText(open, kIndexLimitName).toInt(&whole);
    values.indexLimitMB = whole && limit > 0 ? limit : 0;
    return values;
}

bool SaveSettings(const SettingsValues& values, const SettingsKey& key) {
    const std::optional<QString> patternText = NormalisePatternText(values.fileExtensions);
    if (!patternText) {
        return false;
    }
    // The key is cleared and written anew in one replacement of the store, so that it is
    // never seen (or left, should the program end midway) empty or half written.
    OpenKey open(key);
    open.clear();
    SetOpenValue(open, kVersionName, kTextValue, kVersionNumber);
    SetOpenValue(open, kSearchStringName, kTextValue, values.searchString);
    SetOpenValue(open, kSearchPathName, kTextValue, values.searchPath);
    SetOpenValue(open, kFileExtensionsName, kTextValue, *patternText);
    SetOpenValue(open, kAuditName, kNumberValue, std::int32_t{values.audit});
    SetOpenValue(open, kInternalViewName, kNumberValue, std::int32_t{values.internalView});
    SetOpenValue(open, kSubFoldersName, kNumberValue, std::int32_t{values.subFolders});
    SetOpenValue(open, kShowSizeName, kNumberValue, std::int32_t{values.showSize});
    SetOpenValue(open, kAllArchivesName, kNumberValue, std::int32_t{values.allArchives});
    SetOpenValue(open, kExpressionsName, kNumberValue, std::int32_t{values.expressions});
    SetOpenValue(open, kMatchCaseName, kNumberValue, std::int32_t{values.matchCase});
    SetOpenValue(open, kWholeWordsName, kNumberValue, std::int32_t{values.wholeWords});
    // The index values are written only when they differ from the defaults.
    if (values.noIndex != 0) {
        SetOpenValue(open, kNoIndexName, kNumberValue, std::int32_t{values.noIndex});
    }
    if (values.indexLimitMB > 0) {
        SetOpenValue(open, kIndexLimitName, kNumberValue, std::int32_t{values.indexLimitMB});
    }
    open.sync();
    return true;
}

}  // namespace quillery
