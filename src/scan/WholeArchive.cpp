#include "scan/WholeArchive.h"

#include "archive/Staging.h"
#include "scan/ReaderStaging.h"
#include "scan/WorkFolder.h"
#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

namespace fs = std::filesystem;

fs::path WholeArchiveFolder(const QString& chosenFolder, const fs::path& archive) {
    const std::string name = archive.filename().string();
    const std::size_t dot = name.rfind('.');
    QString target = chosenFolder;
    FixTrailingSlash(target, true);
    return PathFromText(target) / (dot == std::string::npos ? name : name.substr(0, dot));
}

WholeArchiveOutcome ExtractWholeArchive(ScanContext& ctx, const fs::path& archive,
                                        const QString& chosenFolder) {
    if (chosenFolder.size() < 2) {
        return WholeArchiveOutcome::NoFolder;
    }
    const fs::path folder = WholeArchiveFolder(chosenFolder, archive);
    const QString folderText = PathText(folder);
    const QString archiveText = ShownFolder(PathText(archive));
    if (FolderExists(folderText)) {
        ctx.questions.message(QStringLiteral("Folder \"") + ShownFolder(folderText) +
                                  QStringLiteral("\" Aready exists, please select another."),
                              TitleText(), MessageStyle::Information);
        return WholeArchiveOutcome::AlreadyExists;
    }
    if (!MakeFolder(folderText, ctx.questions)) {
        return WholeArchiveOutcome::NotCreated;
    }
    std::string failure;
    const int result =
        StageInReader(ctx.state.staging, QString(), ctx.questions, archive, folder, true, &failure);
    if (!failure.empty()) {
        ctx.events.notice(QStringLiteral("quillery: ") + PathText(archive) + QStringLiteral(": ") +
                          QString::fromStdString(failure));
    }
    if (result == 0) {
        ctx.questions.message(
            QLatin1Char('"') + archiveText + QStringLiteral("\" was successfully unzipped."),
            TitleText(), MessageStyle::Information);
        return WholeArchiveOutcome::Extracted;
    }
    ctx.questions.message(
        QStringLiteral("There was a problem unzipping \"") + archiveText + QLatin1Char('"'),
        TitleText(), MessageStyle::Exclamation);
    return WholeArchiveOutcome::Failed;
}

}  // namespace quillery
