#pragma once

namespace quillery {

// Result codes of the extraction layer. 0 is success. Skipped entries (warning, encrypted)
// do not stop a call; corrupt, too large, write failed and cancelled stop it at once. When
// several problems occur in one call the most severe is reported:
// cancelled > write failed > too large > corrupt > encrypted skipped > warning.
enum UnzipResult : int {
    kUnzOk = 0,
    kUnzWarning = 1,           // entries skipped for their names (nothing left after cleaning)
                               // or for a compression method neither libzip nor
                               // libarchive can inflate
    kUnzCorrupt = 2,           // corrupt archive, truncated data or a failed CRC check
    kUnzTooLarge = 4,          // an entry exceeded the layer's size limit
    kUnzNotAZip = 9,           // missing file, a folder, or not a zip archive
    kUnzBadOptions = 10,       // no archive named, or no target folder when one is needed
    kUnzNoMatch = 11,          // no entry matched the include list
    kUnzWriteFailed = 50,      // a file or folder could not be written
    kUnzCancelled = 80,        // a callback or the output sink asked to stop
    kUnzEncryptedSkipped = 82  // encrypted entries skipped: no password, a wrong one (three
                               // tries), or an encryption method libzip does not support
};

}  // namespace quillery
