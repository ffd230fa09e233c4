#pragma once

// THTTPClientComponent: the HTTP client as a component of a window
// definition (class name THTTPClient), so the update window's definition
// holds HTTPClient1 with its settings and the names of its event handlers.

#include "framework/component.h"
#include "framework/definition.h"
#include "transfer/http_client.h"

namespace updater {

class THTTPClientComponent : public framework::TComponent {
  public:
    explicit THTTPClientComponent(framework::TComponent* owner) : TComponent(owner) {}

    transfer::THTTPClient& Client() { return client_; }

  private:
    transfer::THTTPClient client_;
};

// Registers THTTPClient with ProtocolVersion, AllowCookies, Request.Accept,
// Request.UserAgent, ReadTimeout and the events OnWorkBegin, OnWork and
// OnWorkEnd (handlers of the form void(TComponent* sender, int mode,
// int32_t count); mode 0 is reading).
void RegisterHttpClientClass(framework::TClassRegistry& registry);

}  // namespace updater
