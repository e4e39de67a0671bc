// Where a program's data files are: in the working folder, or, when they are not there, in the folder
// they were built into or installed in. Both lie beside the folder that holds the executable: a build
// keeps its programs in <build>/app and <build>/tools and their data in <build>/data; an install keeps
// them in <prefix>/bin and the data in <prefix>/share/sibilon (the installed data folder the build was
// configured with).
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace sib {

// The running program's executable; empty when the system cannot say.
std::filesystem::path ProgramFile();

// The folders that may hold the data of the program `programFile`, besides the working folder: its
// build's data folder, then its installed one. Empty for an empty path.
std::vector<std::filesystem::path> DataFolders(const std::filesystem::path& programFile);

// The folder that holds the file `fileName`: the working folder when it is there, else the first of
// `folders` that has it; nullopt when none has. Unreadable folders are passed over.
std::optional<std::filesystem::path> FolderHolding(std::string_view fileName,
                                                   const std::vector<std::filesystem::path>& folders);
// The same for the running program.
std::optional<std::filesystem::path> FolderHolding(std::string_view fileName);

}  // namespace sib
