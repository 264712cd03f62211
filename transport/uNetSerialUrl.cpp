#include "transport/uNetSerialUrl.h"

#include <charconv>
#include <string_view>

namespace {

constexpr std::string_view TcpScheme = "tcp://", Rfc2217Scheme = "rfc2217://";

}  // namespace

bool IsNetSerialUrl(const std::string& Text) {
  const size_t scheme = Text.find("://");
  return scheme != std::string::npos && scheme > 0 && Text.find('/') == scheme + 1;
}

bool ParseNetSerialUrl(const std::string& Url, TNetSerialAddress& Address) {
  std::string_view rest(Url);
  if (rest.starts_with(TcpScheme)) {
    Address.Rfc2217 = false;
    rest.remove_prefix(TcpScheme.size());
  } else if (rest.starts_with(Rfc2217Scheme)) {
    Address.Rfc2217 = true;
    rest.remove_prefix(Rfc2217Scheme.size());
  } else {
    return false;
  }
  const size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view host = rest.substr(0, colon), port = rest.substr(colon + 1);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    return false;
  }
  if (host.find_first_of(" \t/?#@") != std::string_view::npos) return false;
  uint32_t number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (error != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
    return false;
  Address.Host = std::string(host);
  Address.Port = static_cast<uint16_t>(number);
  return true;
}

std::string NetSerialUrl(const TNetSerialAddress& Address) {
  const bool v6 = Address.Host.find(':') != std::string::npos;
  return std::string(Address.Rfc2217 ? Rfc2217Scheme : TcpScheme) + (v6 ? "[" : "") + Address.Host +
         (v6 ? "]" : "") + ":" + std::to_string(Address.Port);
}
