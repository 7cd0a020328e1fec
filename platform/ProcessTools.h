#pragma once
// Process-related helpers on UTF-8 strings: command-line splitting by the Windows rules,
// program look-up on PATH, this program's own location and the temporary folder.
#include <string>
#include <string_view>
#include <vector>

namespace platform::proc {

// Splits a Windows command line into arguments. The program name (first word) ends at
// the next blank, or, when it starts with a double quote, at the next double quote; it
// keeps its backslashes. In the other arguments blanks and tabs separate outside quotes;
// 2n backslashes before a quote give n backslashes and the quote opens or closes quoting;
// 2n+1 give n backslashes and a literal quote; "" inside quotes is a literal quote;
// other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Whether the path names a regular file we may execute.
bool IsExecutable(const std::string& path);
// The full path of an executable found on PATH ("" when none); a name holding "/" is
// checked as it stands.
std::string FindOnPath(const std::string& name, const char* pathVariable = nullptr);
// This program's executable and its folder (with a trailing "/").
std::string ExecutablePath();
std::string ExecutableFolder();
// $TMPDIR (when it names a folder) or /tmp, with a trailing "/".
std::string TempFolder();

}  // namespace platform::proc
