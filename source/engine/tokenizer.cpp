#include "engine/tokenizer.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/utils.h"

// ---------------------------------------------------------------------------------------------
// Streams

int ICharStream::PeekChar() {
    int c = GetChar();
    if (c != -1)
        UngetChar(c);
    return c;
}

CMemCharStream::CMemCharStream(const void* data, uint32_t size)
    : _data(static_cast<const uint8_t*>(data)), _position(0), _size(data ? size : 0) {}

CMemCharStream::~CMemCharStream() { Close(); }

void CMemCharStream::Close() {
    _data = nullptr;
    _position = 0;
    _size = 0;
}

int CMemCharStream::GetChar() {
    if (_position >= _size)
        return -1;
    return _data[_position++];
}

int CMemCharStream::PeekChar() { return _position < _size ? _data[_position] : -1; }

void CMemCharStream::UngetChar(int) {
    if (_position > 0)
        --_position;
}

CTextFileCharStream::CTextFileCharStream(const char* name, int store) { _file.open(name, "rt", store, 1); }

CTextFileCharStream::~CTextFileCharStream() { Close(); }

int CTextFileCharStream::IsOpen() { return _file.isOpened() ? 1 : 0; }

void CTextFileCharStream::Close() { _file.close(); }

int CTextFileCharStream::GetChar() {
    if (!_file.isOpened())
        return -1;
    int c = std::fgetc(_file.handle());
    return c == EOF ? -1 : c;
}

void CTextFileCharStream::UngetChar(int character) {
    if (_file.isOpened() && character != -1)
        _file.ungetChar(character);
}

// ---------------------------------------------------------------------------------------------
// Tokenizer

CTokenizer::CTokenizer() {}

CTokenizer::~CTokenizer() { Close(); }

int CTokenizer::IsSpace(int character) { return character >= 0 && std::isspace(character) ? 1 : 0; }

void CTokenizer::open(ICharStream* stream, uint32_t flags) {
    Close();
    m_pInputStream = stream;
    _ownsStream = true;
    _flags = flags;
}

int CTokenizer::OpenBuffer(const Buffer& buffer, uint32_t flags) {
    return OpenMemory(buffer.data, buffer.size > 0 ? (uint32_t)buffer.size : 0, flags);
}

int CTokenizer::OpenMemory(const void* data, uint32_t size, uint32_t flags) {
    // A zero-terminated block reads as the text before its terminator.
    if (data && size > 0 && static_cast<const uint8_t*>(data)[size - 1] == 0)
        --size;
    open(new CMemCharStream(data, size), flags);
    return 1;
}

int CTokenizer::OpenFile(const char* name, int store, uint32_t flags) {
    CTextFileCharStream* stream = new CTextFileCharStream(name, store);
    if (!stream->IsOpen()) {
        delete stream;
        return 0;
    }
    open(stream, flags);
    return 1;
}

void CTokenizer::Close() {
    if (m_pInputStream && _ownsStream) {
        m_pInputStream->Close();
        delete m_pInputStream;
    }
    m_pInputStream = nullptr;
    _ownsStream = false;
}

void CTokenizer::fail(const char* message) {
    // The message may live in formatTemp's buffer: copy before anything else formats.
    CTokenizerException e(message);
    Logger::error("%s", e.GetMessage());
    throw e;
}

const char* CTokenizer::Next(int required) {
    _token.clear();
    if (!m_pInputStream) {
        if (required)
            fail("<CTokenizer::Next> m_pInputStream == NULL\n");
        return nullptr;
    }
    ICharStream& in = *m_pInputStream;

    int c;
    do {
        c = in.GetChar();
    } while (c != -1 && _isSeparator(c));
    if (c == -1) {
        if (required)
            fail("<CTokenizer::Next> c == EOF\n");
        return nullptr;
    }
    in.UngetChar(c);

    const bool comments = (_flags & FlagComments) != 0;
    const bool quotes = (_flags & FlagQuotes) != 0;
    const bool keepEscapes = (_flags & FlagKeepEscapes) != 0;
    const bool keepQuotes = (_flags & (FlagKeepEscapes | FlagKeepQuotes)) != 0;
    bool quoted = false;       // a quote group was opened in this token
    bool inGroup = false;      // between the opening and the closing quote
    bool escapedQuote = false; // an escaped quote kept as written holds grouping on

    while ((c = in.GetChar()) != -1) {
        const bool grouped = inGroup || escapedQuote;
        if (_isSeparator(c)) {
            if (!grouped || !quotes)
                break;
            _token += (char)c;
            continue;
        }
        if (comments && c == '/' && in.PeekChar() == '/') {
            bool lineEnd = false;
            while ((c = in.GetChar()) != -1) {
                if (c == '\n') {
                    lineEnd = true;
                    break;
                }
            }
            if (lineEnd) {
                do {
                    c = in.GetChar();
                } while (c != -1 && _isSeparator(c));
                if (c != -1)
                    in.UngetChar(c);
            }
            // A comment inside a quote group ends the group with the token.
            if (!_token.empty() || inGroup)
                return _token.c_str();
            continue;
        }
        if (c == '"' && quotes) {
            if (!inGroup && !quoted) {
                inGroup = quoted = true;
                if (keepQuotes)
                    _token += '"';
                continue;
            }
            if (inGroup) {
                inGroup = false;
                if (keepQuotes)
                    _token += '"';
                return _token.c_str();
            }
            // A third quote after a closed group cannot happen: the closing quote ends the token.
        }
        if (c == '\\') {
            int e = in.GetChar();
            if (e == -1)
                break;
            if (e == 'n') {
                if (keepEscapes)
                    _token += "\\n";
                else
                    _token += '\n';
            } else if (e == '\\') {
                if (keepEscapes)
                    _token += "\\\\";
                else
                    _token += '\\';
            } else if (e == '"') {
                if (keepEscapes) {
                    _token += "\\\"";
                    escapedQuote = !escapedQuote;
                } else {
                    _token += '"';
                }
            } else {
                _token += '\\';
                _token += (char)e;
            }
            continue;
        }
        _token += (char)c;
    }

    if (inGroup) {
        // Without this the rest of the file would silently become one token.
        std::string shown = _token.substr(0, 64);
        fail(formatTemp("<CTokenizer::Next> unterminated quote (token = %s)\n", shown.c_str()));
    }
    if (!_token.empty() || quoted)
        return _token.c_str();
    if (required)
        fail("<CTokenizer::Next> token.length() == 0\n");
    return nullptr;
}

void CTokenizer::Skip(const char* expected) {
    const char* t = NextToken();
    if (std::strcmp(t, expected ? expected : "") != 0)
        fail(formatTemp("<CTokenizer::Skip> Wrong token (received: \"%s\", expected: \"%s\").\n", t,
                        expected ? expected : ""));
}

bool CTokenizer::NextBool() {
    const char* t = NextToken();
    if (!std::strcmp(t, "1") || !std::strcmp(t, "true"))
        return true;
    if (!std::strcmp(t, "0") || !std::strcmp(t, "false"))
        return false;
    fail(formatTemp("<CTokenizer::NextBool> unacceptable token (%s)\n", t));
}

int32_t CTokenizer::NextInt() {
    const char* t = NextToken();
    errno = 0;
    long long v = std::strtoll(t, nullptr, 0);
    // long is 64 bits here: the 32-bit range is checked by hand.
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        fail(formatTemp("<CTokenizer::NextInt> errno == ERANGE (token = %s)\n", t));
    return (int32_t)v;
}

uint32_t CTokenizer::NextUInt() {
    const char* t = NextToken();
    const char* p = t;
    while (IsSpace((unsigned char)*p))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    errno = 0;
    unsigned long long magnitude = std::strtoull(p, nullptr, 0);
    // As a 32-bit strtoul: the magnitude must fit in 32 bits; a minus sign negates modulo 2^32.
    if (errno == ERANGE || magnitude > UINT32_MAX || (*p == '-' || *p == '+'))
        fail(formatTemp("<CTokenizer::NextUInt> errno == ERANGE (token = %s)\n", t));
    uint32_t v = (uint32_t)magnitude;
    return negative ? (uint32_t)(0u - v) : v;
}

float CTokenizer::NextFloat() {
    const char* t = NextToken();
    errno = 0;
    double v = std::strtod(t, nullptr);
    if (errno == ERANGE || (std::isfinite(v) && std::fabs(v) > FLT_MAX))
        fail(formatTemp("<CTokenizer::NextFloat> errno == ERANGE (token = %s)\n", t));
    return (float)v;
}

char* CTokenizer::NextString(char* buffer, uint32_t capacity) {
    const char* t = NextToken();
    if (!buffer)
        return nullptr;
    size_t length = _token.size();
    if (length > capacity)
        fail(formatTemp("<CTokenizer::NextString> max_buffer < token.length() (token = %s)\n", t));
    std::memcpy(buffer, t, length);
    std::memset(buffer + length, 0, capacity - length);
    return buffer;
}

bool CTokenizer::ReadBool() {
    Skip("=");
    return NextBool();
}

int32_t CTokenizer::ReadInt() {
    Skip("=");
    return NextInt();
}

uint32_t CTokenizer::ReadUInt() {
    Skip("=");
    return NextUInt();
}

float CTokenizer::ReadFloat() {
    Skip("=");
    return NextFloat();
}

char* CTokenizer::ReadString(char* buffer, uint32_t capacity) {
    Skip("=");
    return NextString(buffer, capacity);
}

const char* CTokenizer::ReadToken() {
    Skip("=");
    return NextToken();
}

uint32_t CTokenizer::read_color() {
    int32_t v[4];  // alpha, red, green, blue
    for (int i = 0; i < 4; ++i)
        v[i] = NextInt();
    for (int i = 0; i < 4; ++i) {
        if (v[i] < 0 || v[i] > 255) {
            Logger::error("[CTokenizer::read_color] WARNING: out of range (%d - 0..255)", v[i]);
            v[i] = v[i] < 0 ? 0 : 255;
        }
    }
    return ((uint32_t)v[0] << 24) | ((uint32_t)v[3] << 16) | ((uint32_t)v[2] << 8) | (uint32_t)v[1];
}
