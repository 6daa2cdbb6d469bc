#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/UniqueFd.h"

// The file-system side of extraction. Everything below the target folder is reached through
// folder descriptors opened one level at a time with O_NOFOLLOW, so a symbolic link placed
// anywhere below the target can neither be followed nor replace a folder.

namespace quillery {

// Opens the target folder itself, creating it (and its parents) when missing. The folder's
// own path is the caller's choice and may run through links.
UniqueFd OpenTargetRoot(const std::filesystem::path& folder);

enum class FolderWalk { kOpened, kMissing, kBlocked };

// Opens the folder reached from root through the given names. With create, missing folders
// are made (0755); without, a missing one gives kMissing. A name that exists as anything but
// a real folder (a file, a link, ...) gives kBlocked, as does any other failure.
FolderWalk OpenFolder(int rootFd, const std::vector<std::string>& names, bool create,
                      UniqueFd& folder);

enum class NodeKind { kNone, kFile, kFolder, kOther };

// What the name is in the folder, without following a link (a link counts as kOther), and
// its modification time when it exists.
NodeKind InspectNode(int folderFd, const std::string& name, std::time_t* modified = nullptr);

// Removes a file or link; false for a folder or on failure.
bool RemoveNode(int folderFd, const std::string& name);

// Creates a new file (0644 before the umask); fails when the name exists in any form.
UniqueFd CreateNewFile(int folderFd, const std::string& name);

// Writes all bytes, resuming after interruptions; false on failure.
bool WriteAll(int fd, const char* data, std::size_t size);

// Sets the file's access and modification times; failures are ignored.
void SetFileTime(int fd, std::time_t when);

}  // namespace quillery
