// GB18030 <-> UTF-8 through iconv, with invalid bytes replaced for display.
#include "platform/linux/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <string_view>

namespace quorvel {

namespace {

// Converts with iconv; a byte sequence that the source encoding does not hold is replaced by
// `replacement` one byte at a time, so conversion always finishes.
std::string convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    std::string output;
    output.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());  // iconv's signature, the input is not changed
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    while (inLeft > 0) {
        char* out = output.data() + used;
        std::size_t outLeft = output.size() - used;
        const std::size_t result = ::iconv(cd, &in, &inLeft, &out, &outLeft);
        used = output.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
        } else {  // EILSEQ or EINVAL: an invalid or cut-off sequence
            output.replace(used, 0, replacement);
            used += replacement.size();
            if (output.size() < used + 16) {
                output.resize(output.size() * 2 + 16);
            }
            ++in;
            --inLeft;
        }
    }
    ::iconv_close(cd);
    output.resize(used);
    return output;
}

}  // namespace

QString textToQString(const Text& text) {
    return QString::fromStdString(convert("UTF-8", "GB18030", text, "\xEF\xBF\xBD"));
}

Text qStringToText(const QString& string) {
    // Every character has a GB18030 form, so nothing is replaced here.
    return convert("GB18030", "UTF-8", string.toStdString(), "?");
}

std::string textToUtf8(const Text& text) {
    return convert("UTF-8", "GB18030", text, "?");
}

}  // namespace quorvel
