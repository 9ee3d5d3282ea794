#include "engine/font/CTexFont.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/file.h"
#include "engine/utils.h"

namespace {

const uint8_t kPalette[16][3] = {
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {0, 0, 255},     {255, 255, 0}, {255, 0, 255},
    {0, 255, 255},   {255, 255, 255}, {0, 0, 0},   {180, 0, 0},     {0, 180, 0},   {0, 0, 180},
    {180, 180, 0},   {180, 0, 180}, {100, 200, 255}, {180, 180, 180},
};

// A line of a ".fnt" file: 1023 characters and the terminator, plus the file layer's spare byte.
const int kLineCapacity = 1025;

// The value of the first occurrence of key in line: empty unless "=" follows directly; a quoted
// value runs to the next quote, any other to the first white space.
std::string keyValue(const char* line, const char* key) {
    const char* at = std::strstr(line, key);
    if (!at)
        return std::string();
    at += std::strlen(key);
    if (*at != '=')
        return std::string();
    ++at;
    const char* end;
    if (*at == '"') {
        ++at;
        end = std::strchr(at, '"');
        if (!end)
            end = at + std::strlen(at);
    } else {
        end = at;
        while (*end && !std::isspace((unsigned char)*end))
            ++end;
    }
    return std::string(at, end);
}

// Decimal integer; empty or non-numeric text reads as 0.
long keyInt(const char* line, const char* key) {
    std::string v = keyValue(line, key);
    return std::strtol(v.c_str(), nullptr, 10);
}

// Pen steps and line heights are kept within +-2^24 pixels: floats hold every whole number up
// to there, and a block of lines stays far inside the range the layout's arithmetic can use.
const double kMetricLimit = 16777216.0;

// a + b (file values of any size, the sum taken in double so it cannot overflow), clamped to the
// metric range; clamped is set when the sum did not fit.
float metricSum(long a, long b, bool& clamped) {
    double sum = (double)a + (double)b;
    if (sum > kMetricLimit || sum < -kMetricLimit) {
        clamped = true;
        sum = sum > 0 ? kMetricLimit : -kMetricLimit;
    }
    return (float)sum;
}

bool isSpace(unsigned char c) { return std::isspace(c) != 0; }

int paletteIndex(unsigned char d) {
    int v;
    if (d >= '0' && d <= '9')
        v = d - '0';
    else if (std::isalpha(d))
        v = d - 87;
    else
        v = d;
    v %= 16;
    return v < 0 ? v + 16 : v;
}

// Where the text after a "^(" code goes on: just past its ")", or the end of the text when the
// code is never closed (the rest is then all code, as for countVertices).
const unsigned char* skipScaleCode(const unsigned char* open) {
    const unsigned char* close = (const unsigned char*)std::strchr((const char*)open, ')');
    return close ? close + 1 : open + std::strlen((const char*)open);
}

}  // namespace

CTexFont::CTexFont() : _glyphs(new Glyph[GlyphCount]) { std::memset(_glyphs, 0, sizeof(Glyph) * GlyphCount); }

CTexFont::~CTexFont() {
    delete[] _glyphs;
    delete[] _kerning;
}

uint32_t CTexFont::paletteColour(int index) {
    const uint8_t* c = kPalette[((index % 16) + 16) % 16];
    return (uint32_t)c[0] | ((uint32_t)c[1] << 8) | ((uint32_t)c[2] << 16) | 0xff000000u;
}

void CTexFont::fail(const char* path) {
    _layoutVertices.clear();
    delete[] _kerning;
    _kerning = nullptr;
    Logger::error("[CTexFont::Load] Failed (%s)", path);
}

int CTexFont::Load(const char* path) {
    _layoutVertices.clear();
    delete[] _kerning;
    _kerning = nullptr;

    File file;
    if (!file.open(path, "rt"))
        return 0;

    char line[kLineCapacity];
    if (!file.readLine(line, kLineCapacity)) {
        fail(path);
        return 0;
    }
    long outline = keyInt(line, "outline");

    if (!file.readLine(line, kLineCapacity)) {
        fail(path);
        return 0;
    }
    bool clamped = false;
    _lineHeight = metricSum(keyInt(line, "lineHeight"), outline, clamped);
    _base = (float)keyInt(line, "base");
    long scaleW = keyInt(line, "scaleW");
    long scaleH = keyInt(line, "scaleH");
    // A page without a size would give infinite texture coordinates; it maps everything to 0.
    _invScaleW = scaleW != 0 ? (float)(1.0 / (double)scaleW) : 0.0f;
    _invScaleH = scaleH != 0 ? (float)(1.0 / (double)scaleH) : 0.0f;

    if (!file.readLine(line, kLineCapacity)) {
        fail(path);
        return 0;
    }
    keyValue(line, "file");  // the texture comes from the material

    if (!file.readLine(line, kLineCapacity)) {
        fail(path);
        return 0;
    }
    long count = keyInt(line, "count");
    for (long i = 0; i < count; ++i) {
        if (!file.readLine(line, kLineCapacity)) {
            fail(path);
            return 0;
        }
        uint32_t id = (uint32_t)keyInt(line, "id");
        if (id >= GlyphCount)
            continue;
        Glyph& g = _glyphs[id];
        g.x = (float)keyInt(line, "x");
        g.y = (float)keyInt(line, "y");
        g.width = (float)keyInt(line, "width");
        g.height = (float)keyInt(line, "height");
        g.xoffset = (float)keyInt(line, "xoffset");
        g.yoffset = (float)keyInt(line, "yoffset");
        g.xadvance = metricSum(keyInt(line, "xadvance"), outline, clamped);
    }
    if (clamped)
        Logger::error("[CTexFont::Load] line height or advance out of range, clamped to +-%.0f (%s)", kMetricLimit,
                      path);

    if (!file.readLine(line, kLineCapacity))
        return 1;
    long kerningCount = keyInt(line, "count");
    if (kerningCount <= 0)
        return 1;
    _kerning = new int8_t[GlyphCount * GlyphCount];
    std::memset(_kerning, 0, GlyphCount * GlyphCount);
    for (long i = 0; i < kerningCount; ++i) {
        if (!file.readLine(line, kLineCapacity))
            return 1;
        long first = keyInt(line, "first");
        long second = keyInt(line, "second");
        if (first < 0 || first >= GlyphCount || second < 0 || second >= GlyphCount) {
            // The table covers single-byte codes only; such a pair cannot occur in a laid-out text.
            Logger::error("[CTexFont::Load] kerning pair %ld %ld outside 0..255 skipped (%s)", first, second, path);
            continue;
        }
        _kerning[first * GlyphCount + second] = (int8_t)keyInt(line, "amount");
    }
    return 1;
}

int CTexFont::countVertices(const char* text) const {
    if (!text)
        return 0;
    const unsigned char* p = (const unsigned char*)text;
    int n = 0;
    while (*p) {
        if (*p == '^' && p[1]) {
            if (p[1] == '^') {
                n += 4;
                p += 2;
            } else if (p[1] == '(') {
                p = skipScaleCode(p + 1);
            } else {
                p += 2;
            }
            continue;
        }
        if (!isSpace(*p))
            n += 4;
        ++p;
    }
    return n;
}

float CTexFont::measureText(const char* text, int length, float scale) const {
    if (!text)
        return 0;
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char* end = length < 0 ? p + std::strlen(text) : p + ::strnlen(text, (size_t)length);
    float pen = 0;
    float left = 0, right = 0;
    bool any = false;
    while (p < end && *p) {
        unsigned char c = *p;
        if (c == '^' && p + 1 < end && p[1]) {
            if (p[1] == '(') {
                p = skipScaleCode(p + 1);
                continue;
            }
            if (p[1] != '^') {
                p += 2;
                continue;
            }
            ++p;  // a doubled caret measures one caret
        }
        const Glyph& g = _glyphs[c];
        float l = pen + g.xoffset * scale;
        float r = pen + (g.xoffset + g.width) * scale;
        if (!any) {
            left = l;
            right = r;
            any = true;
        } else {
            if (l < left)
                left = l;
            if (r > right)
                right = r;
        }
        pen += g.xadvance * scale;
        ++p;
    }
    return any ? right - left : 0.0f;
}

void CTexFont::clearLayout() {
    _layoutVertices.clear();
    _penPositions.clear();
}

void CTexFont::layoutText(float x, float y, const char* text, uint32_t colour, int flags) {
    if (!text || !*text || (colour >> 24) == 0)
        return;
    float textAlpha = (float)(colour >> 24) / 255.0f;
    uint32_t startColour = colorWithAlpha(textAlpha, colour);

    if (countVertices(text) == 0)
        return;
    int lines = 1;
    for (const char* q = text; *q; ++q)
        if (*q == '\n')
            ++lines;

    float penX = 0, penY = 0;
    float scale = 1.0f;
    uint32_t current = startColour;
    uint32_t beforeLastCode = startColour;
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char* lineStart = p;
    size_t lineVertex = _layoutVertices.size();
    size_t linePen = _penPositions.size();
    bool first = true;
    unsigned char previous = 0;

    while (*p) {
        unsigned char c = *p;
        const unsigned char* next = p + 1;
        bool isCode = false;
        bool drawCaret = false;

        if (c == '^' && p[1]) {
            unsigned char d = p[1];
            if (d == '^') {
                drawCaret = true;
                next = p + 2;
            } else if (d == '(') {
                isCode = true;
                const unsigned char* close = (const unsigned char*)std::strchr((const char*)p + 1, ')');
                if (close) {
                    size_t len = (size_t)(close - (p + 1)) + 1;  // "(" to ")" inclusive
                    if (len < 32) {
                        char code[32];
                        std::memcpy(code, p + 1, len);
                        code[len] = 0;
                        float s;
                        if (std::sscanf(code, "(%f)", &s) == 1)
                            scale = s;
                    }
                    next = close + 1;
                } else {
                    next = p + std::strlen((const char*)p);
                }
            } else if (d == '-') {
                isCode = true;
                current = beforeLastCode;
                next = p + 2;
            } else {
                isCode = true;
                beforeLastCode = current;
                current = colorWithAlpha(textAlpha, paletteColour(paletteIndex(d)));
                next = p + 2;
            }
        }

        if (!isCode) {
            if (drawCaret)
                c = '^';
            if (!first && c != '\n' && _kerning)
                penX += (float)_kerning[previous * GlyphCount + c];
            first = false;
            previous = c;

            if (c == '\n') {
                penX = 0;
                penY += scale * _lineHeight;
                _penPositions.push_back({0, penY});
                lineStart = next;
            } else {
                const Glyph& g = _glyphs[c];
                if (!isSpace(c)) {
                    float s = scale;
                    float left = penX + g.xoffset * s;
                    float right = left + g.width * s;
                    float top = penY + (g.yoffset - _base) * s;
                    float bottom = top + g.height * s;
                    float uLeft = g.x * _invScaleW;
                    float uRight = (g.x + g.width) * _invScaleW;
                    float vTop = g.y * _invScaleH;
                    float vBottom = (g.y + g.height) * _invScaleH;
                    _layoutVertices.push_back({left, top, 0, uLeft, vTop, current});
                    _layoutVertices.push_back({left, bottom, 0, uLeft, vBottom, current});
                    _layoutVertices.push_back({right, bottom, 0, uRight, vBottom, current});
                    _layoutVertices.push_back({right, top, 0, uRight, vTop, current});
                }
                penX += g.xadvance * scale;
                _penPositions.push_back({penX, penY});
            }
        }

        // A line ends before a line feed or at the end of the text: place it.
        if (*next == 0 || *next == '\n') {
            float dx = 0, dy = 0;
            if (flags & (AlignRight | AlignHCenter)) {
                float width = measureText((const char*)lineStart, (int)(next - lineStart), scale);
                dx = (flags & AlignRight) ? -width : -width / 2;
            }
            if (flags & AlignVCenter)
                // The integer part of the block's height, halved towards zero; taken in double,
                // since a tall block of many lines does not fit an int.
                dy = (float)-std::trunc(std::trunc((double)(_lineHeight * (float)lines)) / 2.0);
            else if (flags & AlignBottom)
                dy = -(float)lines * _lineHeight;
            for (size_t i = lineVertex; i < _layoutVertices.size(); ++i) {
                _layoutVertices[i].x += x + dx;
                _layoutVertices[i].y += y + dy;
            }
            for (size_t i = linePen; i < _penPositions.size(); ++i) {
                _penPositions[i].x += x + dx;
                _penPositions[i].y += y + dy;
            }
            lineVertex = _layoutVertices.size();
            linePen = _penPositions.size();
        }
        p = next;
    }
}
