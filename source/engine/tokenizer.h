#pragma once
// Character streams and the tokenizer that every text format of the engine is read through.
// The tokenizer is the one part of the engine that throws: readers catch CTokenizerException,
// log it and stop reading that file.

#include <cstdint>
#include <exception>
#include <string>

#include "engine/file.h"

class Buffer;

class ICharStream {
public:
    virtual ~ICharStream() {}
    virtual int IsOpen() = 0;
    virtual void Close() = 0;
    // The next byte as 0..255, or -1 at the end.
    virtual int GetChar() = 0;
    // The next byte without consuming it.
    virtual int PeekChar();
    virtual void UngetChar(int character) = 0;
};

// Reads a memory block it does not own.
class CMemCharStream : public ICharStream {
public:
    CMemCharStream(const void* data, uint32_t size);
    ~CMemCharStream() override;
    int IsOpen() override { return 1; }
    void Close() override;
    int GetChar() override;
    int PeekChar() override;
    void UngetChar(int character) override;

private:
    const uint8_t* _data;
    uint32_t _position;
    uint32_t _size;
};

// Reads a text file of a store.
class CTextFileCharStream : public ICharStream {
public:
    CTextFileCharStream(const char* name, int store);
    ~CTextFileCharStream() override;
    int IsOpen() override;
    void Close() override;
    int GetChar() override;
    void UngetChar(int character) override;

private:
    File _file;
};

class CTokenizerException : public std::exception {
public:
    explicit CTokenizerException(const char* message) : _message(message ? message : "") {}
    const char* what() const noexcept override { return _message.c_str(); }
    const char* GetMessage() const { return _message.c_str(); }

private:
    std::string _message;
};

class CTokenizer {
public:
    enum Flags {
        FlagComments = 1,     // "//" starts a comment running to the end of the line
        FlagQuotes = 2,       // double quotes group characters, separators included
        FlagKeepEscapes = 4,  // escapes stay as written (and quotes are kept)
        FlagKeepQuotes = 8    // quote characters stay in the token
    };
    typedef int (*SeparatorTest)(int character);

    CTokenizer();
    ~CTokenizer();
    CTokenizer(const CTokenizer&) = delete;
    CTokenizer& operator=(const CTokenizer&) = delete;

    // A last byte of value 0 is not part of the text.
    int OpenBuffer(const Buffer& buffer, uint32_t flags);
    int OpenMemory(const void* data, uint32_t size, uint32_t flags);
    // 0 when the file cannot be opened; the tokenizer is then unchanged.
    int OpenFile(const char* name, int store, uint32_t flags);
    void Close();

    // The next token (valid until the next read), or null at the end when not required.
    const char* Next(int required);
    const char* NextToken() { return Next(1); }
    void Skip(const char* expected);

    bool NextBool();
    int32_t NextInt();
    uint32_t NextUInt();
    float NextFloat();
    // Copies the token into buffer, zero-filling the rest of capacity; throws when the token
    // is longer than capacity.
    char* NextString(char* buffer, uint32_t capacity);

    // "=" then the value: for lines "name = value" after the name was read.
    bool ReadBool();
    int32_t ReadInt();
    uint32_t ReadUInt();
    float ReadFloat();
    char* ReadString(char* buffer, uint32_t capacity);
    const char* ReadToken();

    // Four integers alpha, red, green, blue, each clamped to 0..255 (out-of-range logged);
    // packed with red in the low byte and alpha in the top byte.
    uint32_t read_color();

    static int IsSpace(int character);
    void SetSeparatorTest(SeparatorTest test) { _isSeparator = test ? test : &CTokenizer::IsSpace; }
    uint32_t flags() const { return _flags; }
    const std::string& token() const { return _token; }

    ICharStream* m_pInputStream = nullptr;

private:
    void open(ICharStream* stream, uint32_t flags);
    [[noreturn]] void fail(const char* message);
    bool skipComment();

    std::string _token;
    uint32_t _flags = 0;
    SeparatorTest _isSeparator = &CTokenizer::IsSpace;
    bool _ownsStream = false;
};
