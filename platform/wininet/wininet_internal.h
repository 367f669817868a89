// What the stand-in's files share: the thread's last error and last server response.
#pragma once

#include <string>

#include "platform/win32/win_types.h"

namespace wininet {

void SetLastError(DWORD error);
// Keeps a server reply for InternetGetLastResponseInfoA.
void KeepResponse(const std::string& text);

}  // namespace wininet
