#include "installer/endpoints.h"

#include "build_config.h"

const Endpoints& BuiltInEndpoints() {
  static const Endpoints endpoints{
      INSTALLER_PACKAGE_URL,
      INSTALLER_STATS_ORIGIN,
      {INSTALLER_DNS_FALLBACK_SERVERS},
  };
  return endpoints;
}

const char* TrustedCaFile() { return INSTALLER_TRUSTED_CA_FILE; }

int StallTimeoutSeconds() { return INSTALLER_STALL_SECONDS; }
