// Where the program file lies, kept as the bytes the system gives: a folder name that is not
// valid UTF-8 must still lead to that folder, so no text conversion ever touches the path.
#pragma once

#include <string>
#include <string_view>

// The program file: the link /proc/self/exe as read. Where it cannot be read, the path the
// program was started by (`invokedAs`, which may be relative or empty).
[[nodiscard]] std::string ProgramFilePath(std::string_view invokedAs);

// The folder that holds `programFile`, absolute and without a trailing separator ("" for the
// root itself). A bare, relative or empty path is taken from the current directory, so an
// unknown program path never makes the root the program's folder.
[[nodiscard]] std::string ProgramDirectoryOf(std::string_view programFile);
