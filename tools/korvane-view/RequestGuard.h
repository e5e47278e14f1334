#pragma once
// Who may talk to the server. The page drives a camera, so a request must
// come from the page this run printed: it carries the run's token, names
// this server by an address (not a DNS name another site could point here)
// and, when a browser says where the page came from, comes from here.
#include <string>

namespace view {

// A token of 32 hex digits from the system's random source.
std::string MakeToken();

// Compares in time independent of where the texts differ.
bool TokenMatches(const std::string& given, const std::string& token);

// The Host header: "localhost" or an IP address literal (IPv6 in
// brackets), with this server's port. A DNS name is refused even when it
// resolves here: that is how a rebinding site would reach the server.
bool HostAllowed(const std::string& host, int port);

// The Origin header: absent (a program, not a page) or exactly this
// server as the Host header named it.
bool OriginAllowed(const std::string& origin, bool present, const std::string& host);

}  // namespace view
