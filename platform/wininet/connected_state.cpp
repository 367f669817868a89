// The connected state from the machine's network interfaces, and the dial-up calls of a
// machine that has no dial-up connection.
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include "platform/wininet/wininet.h"
#include "platform/wininet/wininet_internal.h"

namespace wininet {

namespace {

int g_forced_state = -1;

// True when an interface other than loopback is up and running with an IPv4 address or an
// IPv6 address beyond its link.
bool InterfaceOnline() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool online = false;
  for (ifaddrs* at = list; at && !online; at = at->ifa_next) {
    if (!at->ifa_addr || (at->ifa_flags & IFF_LOOPBACK) || !(at->ifa_flags & IFF_UP) ||
        !(at->ifa_flags & IFF_RUNNING))
      continue;
    if (at->ifa_addr->sa_family == AF_INET) online = true;
    if (at->ifa_addr->sa_family == AF_INET6) {
      const auto* address = reinterpret_cast<const sockaddr_in6*>(at->ifa_addr);
      online = !IN6_IS_ADDR_LINKLOCAL(&address->sin6_addr);
    }
  }
  freeifaddrs(list);
  return online;
}

}  // namespace

BOOL InternetGetConnectedState(DWORD* flags, DWORD) {
  const bool online = g_forced_state >= 0 ? g_forced_state == 1 : InterfaceOnline();
  if (flags) *flags = online ? INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED : 0;
  return online ? TRUE : FALSE;
}

BOOL InternetAutodial(DWORD, HWND) {
  SetLastError(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
  return FALSE;
}

BOOL InternetAutodialHangup(DWORD) {
  return TRUE;
}

DWORD InternetAttemptConnect(DWORD) {
  return ERROR_SUCCESS;
}

void testing::SetConnectedState(int state) {
  g_forced_state = state < 0 ? -1 : (state ? 1 : 0);
}

}  // namespace wininet
