#pragma once
// Font: a logical font as the CreateFontA call describes it ("Times New Roman", height 16,
// FW_BOLD, FF_ROMAN ...). createFontA records the arguments; the window backend makes the real
// font from them when a control gets it (CDialog::setItemFont). A positive height is the
// character cell height in pixels (ascent + descent), a negative one the character height; 0
// keeps the default size. A default-constructed Font is no font (valid() false).

#include <string>

namespace ui {

enum FontWeight : int { FW_NORMAL = 400, FW_BOLD = 700 };
enum FontPitchFamily : unsigned { DEFAULT_PITCH = 0, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30 };
enum FontCharset : unsigned { ANSI_CHARSET = 0 };
enum FontPrecision : unsigned { OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0, DEFAULT_QUALITY = 0 };

struct Font {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    unsigned charset = ANSI_CHARSET;
    unsigned outPrecision = OUT_DEFAULT_PRECIS;
    unsigned clipPrecision = CLIP_DEFAULT_PRECIS;
    unsigned quality = DEFAULT_QUALITY;
    unsigned pitchAndFamily = DEFAULT_PITCH;
    std::string face;
    bool created = false;

    bool valid() const { return created; }
};

inline Font createFontA(int height, int width, int escapement, int orientation, int weight, bool italic,
                        bool underline, bool strikeOut, unsigned charset, unsigned outPrecision,
                        unsigned clipPrecision, unsigned quality, unsigned pitchAndFamily, const char* face)
{
    return Font{height,       width,         escapement, orientation,    weight,
                italic,       underline,     strikeOut,  charset,        outPrecision,
                clipPrecision, quality,      pitchAndFamily, face ? face : "", true};
}

}  // namespace ui
