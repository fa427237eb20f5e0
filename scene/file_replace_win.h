// Path names of any length for the Windows file functions.
#pragma once

#include <string>

// `path` as the file functions take it at any length: unchanged when it is shorter than
// MAX_PATH, otherwise made absolute under the \\?\ prefix (\\?\UNC\ for a share), where no
// length limit applies, for systems that do not lift the limit for the program.
std::wstring LongPathForm(const std::wstring& path);
