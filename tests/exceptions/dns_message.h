#pragma once

// DNS messages built byte by byte for the tests of the mail exchanger lookup.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "exceptions/dns_mx.h"

namespace exceptions::dns_test {

inline constexpr uint16_t kReplyFlags = 0x8180;  // reply, recursion desired and available

// Builds a message byte by byte.
class TMessage {
  public:
    TMessage& U8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    TMessage& U16(uint16_t v) {
        return U8(static_cast<uint8_t>(v >> 8)).U8(static_cast<uint8_t>(v));
    }
    TMessage& U32(uint32_t v) {
        return U16(static_cast<uint16_t>(v >> 16)).U16(static_cast<uint16_t>(v));
    }
    // A name in labels, ending with the zero byte ("" is the root).
    TMessage& Name(std::string_view dotted) {
        size_t start = 0;
        while (!dotted.empty() && start <= dotted.size()) {
            size_t dot = dotted.find('.', start);
            if (dot == std::string_view::npos) {
                dot = dotted.size();
            }
            U8(static_cast<uint8_t>(dot - start));
            for (size_t i = start; i < dot; ++i) {
                U8(static_cast<uint8_t>(dotted[i]));
            }
            start = dot + 1;
        }
        return U8(0);
    }
    TMessage& Label(std::string_view label) {
        U8(static_cast<uint8_t>(label.size()));
        for (char c : label) {
            U8(static_cast<uint8_t>(c));
        }
        return *this;
    }
    TMessage& Pointer(size_t to) { return U16(static_cast<uint16_t>(0xC000 | to)); }
    TMessage& Header(uint16_t id, uint16_t flags, uint16_t questions, uint16_t answers,
                     uint16_t authority = 0, uint16_t additional = 0) {
        return U16(id).U16(flags).U16(questions).U16(answers).U16(authority).U16(additional);
    }
    TMessage& Question(std::string_view name, uint16_t type = kDnsTypeMx) {
        return Name(name).U16(type).U16(kDnsClassIn);
    }
    // A record's fixed part after its owner name; the data follows.
    TMessage& Fixed(uint16_t type, uint16_t data_length, uint16_t klass = kDnsClassIn) {
        return U16(type).U16(klass).U32(3600).U16(data_length);
    }
    // A mail exchanger record owned by the question's name (a pointer to
    // offset 12), its exchange written out in full.
    TMessage& Mx(uint16_t preference, std::string_view exchange, uint16_t klass = kDnsClassIn) {
        const size_t name_size = exchange.empty() ? 1 : exchange.size() + 2;
        Pointer(12).Fixed(kDnsTypeMx, static_cast<uint16_t>(2 + name_size), klass);
        return U16(preference).Name(exchange);
    }
    size_t Here() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace exceptions::dns_test
