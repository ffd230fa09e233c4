#include "updater/http_component.h"

namespace updater {

using framework::TComponent;
using framework::TDefinitionValue;
using framework::TReaderContext;
using transfer::TWorkMode;
using C = THTTPClientComponent;
using Value = const TDefinitionValue&;

void RegisterHttpClientClass(framework::TClassRegistry& r) {
    r.RegisterClass<C>("THTTPClient", "");
    r.RegisterProperty<C>("THTTPClient", "ProtocolVersion", [](C& c, Value v, TReaderContext&) {
        c.Client().SetProtocolVersion(v.AsString());
    });
    r.RegisterProperty<C>("THTTPClient", "AllowCookies", [](C& c, Value v, TReaderContext&) {
        c.Client().SetAllowCookies(v.AsBoolean());
    });
    r.RegisterProperty<C>("THTTPClient", "Request.Accept", [](C& c, Value v, TReaderContext&) {
        c.Client().Request().accept = v.AsString();
    });
    r.RegisterProperty<C>("THTTPClient", "Request.UserAgent", [](C& c, Value v, TReaderContext&) {
        c.Client().Request().user_agent = v.AsString();
    });
    r.RegisterProperty<C>("THTTPClient", "ReadTimeout", [](C& c, Value v, TReaderContext&) {
        if (v.AsInteger() < 0) {
            throw framework::EDefinitionError("a time-out cannot be negative");
        }
        c.Client().SetReadTimeout(v.AsInteger());
    });
    using Handler = void(TComponent*, int, int32_t);
    r.RegisterProperty<C>("THTTPClient", "OnWorkBegin", [](C& c, Value v, TReaderContext& context) {
        auto handler = context.Method<Handler>(v);
        c.Client().OnWorkBegin = [&c, handler](transfer::THTTPClient&, TWorkMode mode, int32_t n) {
            handler(&c, static_cast<int>(mode), n);
        };
    });
    r.RegisterProperty<C>("THTTPClient", "OnWork", [](C& c, Value v, TReaderContext& context) {
        auto handler = context.Method<Handler>(v);
        c.Client().OnWork = [&c, handler](transfer::THTTPClient&, TWorkMode mode, int32_t n) {
            handler(&c, static_cast<int>(mode), n);
        };
    });
    r.RegisterProperty<C>("THTTPClient", "OnWorkEnd", [](C& c, Value v, TReaderContext& context) {
        auto handler = context.Method<void(TComponent*, int)>(v);
        c.Client().OnWorkEnd = [&c, handler](transfer::THTTPClient&, TWorkMode mode) {
            handler(&c, static_cast<int>(mode));
        };
    });
}

}  // namespace updater
