// The connectivity test and the IP-echo request, run once on the UI thread before the window shows.
#include "ddns/public_address.h"

#include "app/program.h"
#include "platform/connectivity.h"
#include "platform/message_box.h"

namespace quorvel {

int isInternetConnected(const DdnsEndpoints& endpoints) {
    if (!systemReportsConnection()) {
        return 0;
    }
    return httpProbe("http://" + endpoints.probeHost, endpoints.timeouts) ? 1 : 0;
}

void lookUpPublicIp(const DdnsEndpoints& endpoints) {
    if (isInternetConnected(endpoints) == 1) {
        const Text url = "http://" + endpoints.ipEchoHost + "/dyndns/getip";
        publicIpText = bytesToText(httpGetBytes(url, endpoints.timeouts));
    } else {
        showMessageBox(kOfflineMessage, "", MessageIcon::Error);
    }
}

}  // namespace quorvel
