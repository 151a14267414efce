#include "sign/FacePicture.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace meridial::sign {
namespace {

// The picture in dot pitches: one dark pitch of border round the panel, and a band under it
// for the caption.
constexpr int kPictureColumns = kPanelColumns + 2;
constexpr int kPictureRows = kPanelRows + 2;
constexpr int kSvgCaptionRows = 5;

int PixelSize(const PictureStyle& style) { return std::clamp(style.pixelSize, 1, 32); }

std::string Hex(Rgb c) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "#";
    for (unsigned char v : {c.r, c.g, c.b}) {
        out += kDigits[v >> 4];
        out += kDigits[v & 15];
    }
    return out;
}

// Text for XML content or a quoted attribute. Anything outside printable ASCII becomes "?":
// control bytes are not allowed in XML at all, and the texts drawn here are the sign's
// printable form, so nothing is lost in practice while the document stays well-formed.
std::string XmlText(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default: {
                const auto b = static_cast<unsigned char>(c);
                out += b >= 0x20 && b < 0x7F ? c : '?';
            }
        }
    }
    return out;
}

// --- PNG -----------------------------------------------------------------------------------

enum Palette : std::uint8_t { kBackground, kDark, kLit, kCaption };

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0) {
    crc = ~crc;
    for (char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t Adler32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : bytes) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void BigEndian(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& png, std::string_view type, std::string_view data) {
    BigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type) + std::string(data);
    png += body;
    BigEndian(png, Crc32(body));
}

// Deflate's bit stream: values least significant bit first, Huffman codes most significant bit
// first.
class BitWriter {
public:
    void Bits(unsigned value, int count) {
        for (int i = 0; i < count; ++i) {
            if (m_used == 0) m_out.push_back(0);
            if ((value >> i) & 1u) m_out.back() = static_cast<char>(m_out.back() | (1 << m_used));
            m_used = (m_used + 1) % 8;
        }
    }
    void Code(unsigned code, int length) {
        for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
    }
    // A literal byte, the end of the block (256) or a length code (257..285), in the fixed code.
    void Symbol(unsigned s) {
        if (s < 144)
            Code(0x30 + s, 8);
        else if (s < 256)
            Code(0x190 + s - 144, 9);
        else if (s < 280)
            Code(s - 256, 7);
        else
            Code(0xC0 + s - 280, 8);
    }
    void Match(unsigned length, unsigned distance) {
        static constexpr unsigned kLengthBase[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                   15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                   67, 83, 99, 115, 131, 163, 195, 227, 258};
        static constexpr int kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static constexpr unsigned kDistanceBase[] = {
            1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
            193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static constexpr int kDistanceExtra[] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                 4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        unsigned k = 28;
        while (kLengthBase[k] > length) --k;
        Symbol(257 + k);
        Bits(length - kLengthBase[k], kLengthExtra[k]);
        unsigned d = 29;
        while (kDistanceBase[d] > distance) --d;
        Code(d, 5);
        Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
    }
    std::string Take() { return std::move(m_out); }

private:
    std::string m_out;
    int m_used = 0;
};

// A zlib stream of one fixed-code deflate block. The picture is runs of one colour, dots that
// repeat one pitch along, and rows that repeat the row above or the row one pitch up, so
// matches at those four distances find nearly all of it.
std::string Zlib(const std::vector<std::uint8_t>& raw, std::size_t rowBytes, std::size_t pitch) {
    constexpr std::size_t kMaxMatch = 258;
    BitWriter w;
    w.Bits(1, 1);  // the last block
    w.Bits(1, 2);  // fixed Huffman codes
    std::size_t i = 0;
    while (i < raw.size()) {
        std::size_t bestLength = 0, bestDistance = 0;
        for (std::size_t distance : {rowBytes, pitch * rowBytes, pitch, std::size_t{1}}) {
            if (distance > i || distance > 32768) continue;
            std::size_t n = 0;
            while (n < kMaxMatch && i + n < raw.size() && raw[i + n] == raw[i + n - distance]) ++n;
            if (n > bestLength) {
                bestLength = n;
                bestDistance = distance;
            }
        }
        if (bestLength >= 3) {
            w.Match(static_cast<unsigned>(bestLength), static_cast<unsigned>(bestDistance));
            i += bestLength;
        } else {
            w.Symbol(raw[i++]);
        }
    }
    w.Symbol(256);
    std::string out = "\x78\x01";  // deflate, 32 KiB window, no dictionary
    out += w.Take();
    BigEndian(out, Adler32(raw));
    return out;
}

// The pixels of one dot: a disc once it is large enough to look round, else a square.
std::vector<bool> DotMask(int size) {
    std::vector<bool> mask(static_cast<std::size_t>(size * size), true);
    if (size < 4) return mask;
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - r, dy = y + 0.5 - r;
            mask[static_cast<std::size_t>(y * size + x)] = dx * dx + dy * dy <= r * r;
        }
    return mask;
}

}  // namespace

std::string FaceSvg(const SignFace& face, const PictureStyle& style) {
    const int px = PixelSize(style);
    const int rows = kPictureRows + (style.caption.empty() ? 0 : kSvgCaptionRows);
    const std::string w = std::to_string(kPictureColumns), h = std::to_string(rows);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(kPictureColumns * px) + "\" height=\"" +
                      std::to_string(rows * px) + "\" viewBox=\"0 0 " + w + " " + h +
                      "\" role=\"img\" aria-labelledby=\"face\">\n<title id=\"face\">" +
                      XmlText(style.title) + "</title>\n";
    // Every dot position dark, from a pattern of one dot per pitch; the lit dots over them.
    svg +=
        "<defs><pattern id=\"dot\" width=\"1\" height=\"1\" patternUnits=\"userSpaceOnUse\">"
        "<circle cx=\".5\" cy=\".5\" r=\".4\" fill=\"" +
        Hex(kDarkColour) + "\"/></pattern></defs>\n<rect width=\"" + w + "\" height=\"" + h +
        "\" fill=\"#000\"/>\n";
    for (int line = 0; line < kLineCount; ++line)
        svg += "<rect x=\"1\" y=\"" + std::to_string(1 + PanelRow(line, 0)) + "\" width=\"" +
               std::to_string(kPanelColumns) + "\" height=\"" + std::to_string(kGlyphRows) +
               "\" fill=\"url(#dot)\"/>\n";
    svg += "<g fill=\"" + Hex(style.dimmed ? kDimColour : kLitColour) + "\">\n";
    for (int line = 0; line < kLineCount; ++line) {
        const DotRows& dots = face.lines[static_cast<std::size_t>(line)];
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < std::min(dots.Width(), kPanelColumns); ++column)
                if (dots.Lit(column, row))
                    svg += "<circle cx=\"" + std::to_string(column + 1) + ".5\" cy=\"" +
                           std::to_string(PanelRow(line, row) + 1) + ".5\" r=\".4\"/>\n";
    }
    svg += "</g>\n";
    if (!style.caption.empty())
        svg += "<text x=\"" + std::to_string(kPictureColumns / 2) + "\" y=\"" +
               std::to_string(kPictureRows + 3) +
               "\" font-size=\"2.8\" font-family=\"sans-serif\"" +
               " text-anchor=\"middle\" fill=\"" + Hex(kCaptionColour) + "\">" +
               XmlText(style.caption) + "</text>\n";
    return svg + "</svg>\n";
}

std::string FacePng(const SignFace& face, const PictureStyle& style) {
    const int px = PixelSize(style);
    const int width = kPictureColumns * px, panelHeight = kPictureRows * px;
    // The caption in the dot font, each of its dots a square of a third of the pitch.
    const DotRows caption = RenderText(style.caption);
    const int scale = std::max(1, px / 3);
    const int height = panelHeight + (style.caption.empty() ? 0 : (kGlyphRows + 4) * scale);
    const std::size_t rowBytes = static_cast<std::size_t>(width) + 1;  // a filter byte, then pixels
    std::vector<std::uint8_t> raw(rowBytes * static_cast<std::size_t>(height), kBackground);
    const auto set = [&](int x, int y, std::uint8_t colour) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            raw[static_cast<std::size_t>(y) * rowBytes + 1 + static_cast<std::size_t>(x)] = colour;
    };

    const DotGeometry g = FitDots(width, panelHeight);
    const std::vector<bool> mask = DotMask(g.dotSize);
    const int inset = (g.pitch - g.dotSize) / 2;
    for (int line = 0; line < kLineCount; ++line) {
        const DotRows& dots = face.lines[static_cast<std::size_t>(line)];
        for (int row = 0; row < kGlyphRows; ++row)
            for (int column = 0; column < kPanelColumns; ++column) {
                const std::uint8_t colour = dots.Lit(column, row) ? kLit : kDark;
                const int x0 = g.left + column * g.pitch + inset;
                const int y0 = g.top + PanelRow(line, row) * g.pitch + inset;
                for (int y = 0; y < g.dotSize; ++y)
                    for (int x = 0; x < g.dotSize; ++x)
                        if (mask[static_cast<std::size_t>(y * g.dotSize + x)])
                            set(x0 + x, y0 + y, colour);
            }
    }
    const int captionLeft = std::max(0, (width - caption.Width() * scale) / 2);
    for (int row = 0; row < kGlyphRows; ++row)
        for (int column = 0; column < caption.Width(); ++column)
            if (caption.Lit(column, row))
                for (int y = 0; y < scale; ++y)
                    for (int x = 0; x < scale; ++x)
                        set(captionLeft + column * scale + x, panelHeight + (2 + row) * scale + y,
                            kCaption);

    std::string header;
    BigEndian(header, static_cast<std::uint32_t>(width));
    BigEndian(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x03\x00\x00\x00", 5);  // 8-bit palette, no interlace
    std::string palette;
    for (Rgb c :
         {Rgb{0, 0, 0}, kDarkColour, style.dimmed ? kDimColour : kLitColour, kCaptionColour})
        palette += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};

    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "PLTE", palette);
    Chunk(png, "IDAT", Zlib(raw, rowBytes, static_cast<std::size_t>(px)));
    Chunk(png, "IEND", {});
    return png;
}

}  // namespace meridial::sign
