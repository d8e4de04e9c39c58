// At start-up: is the Internet there, and which public address does the provider see?
#pragma once

#include "ddns/endpoints.h"

namespace quorvel {

inline constexpr char kOfflineMessage[] = "未与互联网连接！";

// 1 when the system reports a connection and the probe page answers, else 0.
int isInternetConnected(const DdnsEndpoints& endpoints = {});

// Fills publicIpText with the IP-echo body as received (up to a zero byte), or, when the
// Internet cannot be reached, shows the offline box and leaves it empty.
void lookUpPublicIp(const DdnsEndpoints& endpoints = {});

}  // namespace quorvel
