#include "archive/Unzip.h"

#include "archive/ArchiveKinds.h"
#include "archive/Extraction.h"

namespace quillery {

int SingleEntryUnzip(const std::vector<std::string>& include,
                     const std::vector<std::string>& exclude, const UnzipOptions& options,
                     const UnzipCallbacks& callbacks) {
    const ArchiveSource onDisk;
    const ArchiveFormat format =
        !options.zipFileName.empty() && IsOtherArchiveName(options.zipFileName.filename().string())
            ? ArchiveFormat::kOther
            : ArchiveFormat::kZip;
    return ResultCode(ExtractArchive(format, include, exclude, options, callbacks, onDisk));
}

}  // namespace quillery
