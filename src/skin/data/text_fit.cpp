#include "skin/data/text_fit.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace skin {

namespace {

bool IsLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

bool IsTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// The offset where each character of a GBK text starts. A trail byte can
// look like a lead byte, so characters are found from the front.
std::vector<size_t> CharacterStarts(std::string_view text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size();) {
        starts.push_back(i);
        const bool pair = IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                          IsTrail(static_cast<unsigned char>(text[i + 1]));
        i += pair ? 2 : 1;
    }
    return starts;
}

}  // namespace

void FitTextWithEllipsis(std::string& text, int max_width, const TTextWidth& width) {
    if (width(text) <= max_width) {
        return;
    }
    static constexpr std::string_view kEllipsis = "...";
    const std::vector<size_t> starts = CharacterStarts(text);
    std::string candidate;
    size_t keep = starts.size();
    while (keep > 0) {
        --keep;
        candidate.assign(text, 0, starts[keep]);
        candidate += kEllipsis;
        if (width(candidate) <= max_width) {
            break;
        }
    }
    if (keep == 0) {
        candidate = kEllipsis;
    }
    text = std::move(candidate);
}

}  // namespace skin
