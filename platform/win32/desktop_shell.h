// Starts programs through the desktop shell of the user's session, so that
// they run with the user's rights, not with the elevated program's.
#pragma once

#include <string>

namespace veltrik::win32 {

// Hands `program` with `arguments` and the show command to the desktop
// shell, on a thread of its own: a hung or missing shell never holds up the
// window. False if the thread could not be started; whether the shell then
// started the program is never known, as with any launch not waited for.
bool ShellExecuteOnDesktop(const std::wstring& program, const std::wstring& arguments, int show);

// Whether the desktop shell answers, now, as ShellExecuteOnDesktop needs it.
bool DesktopShellAnswers();

}  // namespace veltrik::win32
