// Writes the program's icon: 32 x 32 pixels, 16 colours, fully opaque, a blue figure on white.
// A build tool run on the build machine: make_icon <output.ico>
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr std::uint8_t kBlue = 12;   // index of pure blue in the standard 16-colour palette
constexpr std::uint8_t kWhite = 15;  // index of white

// The standard 16-colour palette, as RGB.
constexpr std::array<std::array<std::uint8_t, 3>, 16> kPalette{{
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128}, {0, 128, 128},
    {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0}, {0, 0, 255}, {255, 0, 255},
    {0, 255, 255}, {255, 255, 255},
}};

// The figure: an arch in rows 3 to 8, two bars in rows 12 to 27 that narrow on their outer sides
// by one column a row from row 19 on.
bool IsBlue(int row, int column) {
    if (row == 3) {
        return column >= 12 && column <= 19;
    }
    if (row >= 4 && row <= 8) {
        const int widen = row - 4;
        return column >= 10 - widen && column <= 21 + widen;
    }
    if (row >= 12 && row <= 27) {
        const int narrow = row > 19 ? row - 19 : 0;
        const bool leftBar = column >= 4 + narrow && column <= 13;
        const bool rightBar = column >= 18 && column <= 27 - narrow;
        return leftBar || rightBar;
    }
    return false;
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, unsigned value) {
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}

std::vector<std::uint8_t> MakeIcon() {
    constexpr unsigned kHeaderSize = 40;
    constexpr unsigned kPaletteSize = 16 * 4;
    constexpr unsigned kColourBytes = kSize * kSize / 2;  // 4 bits a pixel, rows of 16 bytes
    constexpr unsigned kMaskBytes = kSize * 4;            // 1 bit a pixel, rows of 4 bytes
    constexpr unsigned kImageSize = kHeaderSize + kPaletteSize + kColourBytes + kMaskBytes;

    std::vector<std::uint8_t> out;
    // ICONDIR and its one ICONDIRENTRY.
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 1);
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(16);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, kImageSize);
    Put32(out, 6 + 16);
    // BITMAPINFOHEADER: the height counts the colour bitmap and the mask.
    Put32(out, kHeaderSize);
    Put32(out, kSize);
    Put32(out, kSize * 2);
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0);
    Put32(out, kColourBytes + kMaskBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 16);
    Put32(out, 0);
    for (const auto& rgb : kPalette) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    // Rows bottom up, the left pixel in the high nibble.
    for (int row = kSize - 1; row >= 0; --row) {
        for (int column = 0; column < kSize; column += 2) {
            const std::uint8_t left = IsBlue(row, column) ? kBlue : kWhite;
            const std::uint8_t right = IsBlue(row, column + 1) ? kBlue : kWhite;
            out.push_back(static_cast<std::uint8_t>((left << 4) | right));
        }
    }
    // An all-zero mask: every pixel opaque.
    out.insert(out.end(), kMaskBytes, 0);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <output.ico>\n");
        return 2;
    }
    const std::vector<std::uint8_t> icon = MakeIcon();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(icon.data(), 1, icon.size(), file) == icon.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
