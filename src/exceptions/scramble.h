#pragma once

// The byte-wise scrambling of the names and option strings the reporter
// stores (in the CLDATA block and the debug data): every byte is combined
// by exclusive-or with one fixed key byte. It keeps the strings from being
// read at a glance, nothing more; the same call unscrambles.

#include <cstdint>
#include <string>

namespace exceptions {

constexpr uint8_t kScrambleKey = 0xA7;

inline void Scramble(std::string& bytes) {
    for (char& c : bytes) {
        c = static_cast<char>(static_cast<uint8_t>(c) ^ kScrambleKey);
    }
}

}  // namespace exceptions
