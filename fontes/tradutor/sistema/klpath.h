// Paths written the Windows way in defaults and settings ("c:\zolkar\som"),
// mapped onto this system's installed data.
#pragma once

#include <string>

// The installed data root: KALEVO_DATADIR from the environment when set and
// not empty, else the one fixed at build time. Trailing separators are
// removed ("/" itself stays).
std::string dataDirectory();

// Turns a Windows path into a native one: both \ and / are separators, and a
// leading drive ("c:\" or "c:/", any letter) stands for the data root, so
// "c:\zolkar\som\letras" becomes <data root>/zolkar/som/letras. Any other
// path keeps its bytes, with \ turned into /.
std::string nativePath(const std::string &windowsPath);
