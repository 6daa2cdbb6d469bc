#include "scan/ViewerFiles.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "scan/WorkFolder.h"
#include "text/CodePage.h"
#include "text/ShownPath.h"
#include "text/TextDecode.h"

namespace quillery {

std::vector<ViewerFile> TakeViewerFiles(const std::filesystem::path& workFolder) {
    std::vector<ViewerFile> files;
    if (workFolder.empty()) {
        return files;
    }
    std::error_code ec;
    for (std::filesystem::directory_iterator it(workFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') {
            continue;
        }
        ViewerFile file;
        file.name = PathText(it->path().filename());
        std::ifstream in(it->path(), std::ios::binary | std::ios::ate);
        if (in) {
            std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)),
                              '\0');
            in.seekg(0);
            if (in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
                bytes.empty()) {
                file.text = DecodeText(bytes, CodePageForName(name));
                if (file.text.isNull()) {
                    file.text = QLatin1String("");
                }
            }
        }
        files.push_back(std::move(file));
    }
    ShellDelete(workFolder);
    return files;
}

}  // namespace quillery
