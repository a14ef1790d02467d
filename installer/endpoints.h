// The network endpoints of this build: where the package is downloaded from,
// where statistics go, which DNS servers the download falls back to, and which
// certificate authority verifies the servers. They are fixed when the installer
// is built (release: the vendor's hosts and the Windows certificate store; test
// and demo builds: loopback only). Nothing is read at run time.
#pragma once

#include <string>
#include <vector>

struct Endpoints {
  std::string package_url;
  // Scheme, host and port of the statistics server; requests go to its
  // "/api/count/flow".
  std::string stats_origin;
  std::vector<std::string> dns_fallback_servers;
};

// The endpoints compiled into this build.
const Endpoints& BuiltInEndpoints();

// PEM file of the certificate authority that servers must chain to; empty to
// trust the Windows certificate store.
const char* TrustedCaFile();

// A download that receives less than one byte per second for this long is
// abandoned.
int StallTimeoutSeconds();
