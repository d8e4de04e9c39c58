// Writes the program's icon, as the Linux build draws it, into a Windows .ico file in the sizes
// that a window uses (16, 32 and 48 pixels): src/ui/windows/quorvel.ico is made with it.
//   cmake --build build/default --target windows_icon && build/default/windows_icon OUT.ico
#include <QGuiApplication>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <string>

#include "ui/linux/window_icon.h"

namespace {

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// One icon image: a 32-bit bottom-up bitmap with its alpha, then the one-bit mask.
std::string iconImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskStride = ((size + 31) / 32) * 4;
    std::string out;
    put32(out, 40);        // header size
    put32(out, size);      // width
    put32(out, size * 2);  // height of colour and mask together
    put16(out, 1);         // planes
    put16(out, 32);        // bits per pixel
    put32(out, 0);         // no compression
    put32(out, static_cast<std::uint32_t>(size * size * 4 + maskStride * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            put32(out, image.pixel(x, y));  // 0xAARRGGBB is B, G, R, A in memory
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(maskStride), '\0');
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            }
        }
        out += row;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: windows_icon OUT.ico\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QIcon icon = quorvel::programIcon();
    const int sizes[] = {16, 32, 48};
    std::string images[3];
    for (int i = 0; i < 3; ++i) {
        images[i] = iconImage(icon.pixmap(sizes[i]).toImage());
    }
    std::string file;
    put16(file, 0);  // reserved
    put16(file, 1);  // an icon
    put16(file, 3);
    std::uint32_t offset = 6 + 3 * 16;
    for (int i = 0; i < 3; ++i) {
        file += static_cast<char>(sizes[i]);
        file += static_cast<char>(sizes[i]);
        file += '\0';  // no palette
        file += '\0';
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::string& image : images) {
        file += image;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "windows_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
