// Conversions between bytes and texts, and the GBK-aware search that every text scan uses.
#include "platform/text.h"

#include <algorithm>

namespace quorvel {

Text bytesToText(const Bytes& bytes) {
    auto end = std::find(bytes.begin(), bytes.end(), '\0');
    return Text(bytes.begin(), end);
}

Bytes textToBytes(const Text& text) {
    return Bytes(text.begin(), text.end());
}

std::size_t findText(const Text& text, const Text& key, std::size_t from) {
    std::size_t p = from;
    while (p <= text.size() && text.size() - p >= key.size()) {
        if (text.compare(p, key.size(), key) == 0) {
            return p;
        }
        if (static_cast<unsigned char>(text[p]) >= 0x80) {
            if (p + 1 == text.size()) {
                break;  // a lead byte without its second byte
            }
            p += 2;
        } else {
            p += 1;
        }
    }
    return Text::npos;
}

}  // namespace quorvel
