// The update URL, the fetch, and the verdict on the body.
#include "ddns/update_request.h"

namespace quorvel {

Text updateUrl(const Text& userName, const Text& password, const Text& domain, const Text& ip,
               const Text& updateHost) {
    return "http://" + userName + ":" + password + "@" + updateHost +
           "/dyndns/update?system=dyndns&hostname=" + domain + "&myip=" + ip + "&wildcard=OFF";
}

Text verdictOf(const Text& body) {
    if (findText(body, "nochg") != Text::npos) {
        return kStatusInSync;
    }
    if (findText(body, "good") != Text::npos) {
        return kStatusUpdated;
    }
    return kStatusFailed;
}

Text updateHost(const Text& userName, const Text& password, const Text& domain, const Text& ip,
                const DdnsEndpoints& endpoints) {
    const Text url = updateUrl(userName, password, domain, ip, endpoints.updateHost);
    return verdictOf(bytesToText(httpGetBytes(url, endpoints.timeouts)));
}

}  // namespace quorvel
