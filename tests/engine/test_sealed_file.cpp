// File buffers and the sealed container: round trips, layout, an independently built container,
// damaged input, the buffer cursor and md5Hex.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <mbedtls/blowfish.h>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>

#include "TestSupport.h"
#include "engine/FileBuffer.h"

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::string bytesOf(const FileBuffer& b) {
    std::string s;
    b.toString(s);
    return s;
}

std::string patterned(size_t n) {
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = (char)(i * 7 + 3);
    return s;
}

uint64_t padCountOf(const std::string& sealed) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= (uint64_t)(uint8_t)sealed[16 + i] << (8 * i);
    return v;
}

std::string u64le(uint64_t v) {
    std::string s(8, 0);
    for (int i = 0; i < 8; ++i)
        s[i] = (char)(v >> (8 * i));
    return s;
}

std::vector<uint8_t> fromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back((uint8_t)std::stoul(std::string(hex + i, 2), nullptr, 16));
    return out;
}

// Builds a container with mbed TLS directly, one CBC call over the whole plaintext, so the
// engine's piecewise chaining and its key layout are checked against the plain recipe.
std::string buildContainer(const std::string& plain, const std::string& password, const uint8_t salt[8]) {
    uint8_t km[80];
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    EXPECT_EQ(0, mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_MD5), 1));
    EXPECT_EQ(0, mbedtls_pkcs5_pbkdf2_hmac(&md, (const unsigned char*)password.data(), password.size(), salt, 8, 1,
                                           sizeof(km), km));
    mbedtls_md_free(&md);

    size_t pad = (32 - plain.size() % 32) % 32;
    std::string padded = plain + std::string(pad, 'x');
    std::string cipher(padded.size(), 0);
    mbedtls_blowfish_context bf;
    mbedtls_blowfish_init(&bf);
    EXPECT_EQ(0, mbedtls_blowfish_setkey(&bf, km, 64));
    uint8_t iv[8];
    std::memcpy(iv, km + 64, 8);
    if (!padded.empty()) {
        EXPECT_EQ(0, mbedtls_blowfish_crypt_cbc(&bf, MBEDTLS_BLOWFISH_ENCRYPT, padded.size(), iv,
                                                (const unsigned char*)padded.data(), (unsigned char*)&cipher[0]));
    }
    mbedtls_blowfish_free(&bf);
    return std::string("kavelDAT") + std::string((const char*)salt, 8) + u64le(pad) + cipher;
}

}  // namespace

// ----------------------------------------------------------------------------------------------
// Sealing layout and round trips

struct SealCase {
    size_t size;
    size_t sealedSize;
    uint64_t pad;
};

class SealSizes : public ::testing::TestWithParam<SealCase> {};

TEST_P(SealSizes, LayoutAndRoundTrip) {
    const SealCase& c = GetParam();
    const std::string plain = patterned(c.size);
    FileBuffer source(plain.data(), plain.size());
    source.seek(0, 3);

    auto sealed = SealedFile::seal(source, "pw");
    ASSERT_TRUE(sealed);
    const std::string s = bytesOf(*sealed);
    EXPECT_EQ(c.sealedSize, s.size());
    EXPECT_EQ(0u, sealed->position());
    EXPECT_EQ("kavelDAT", s.substr(0, 8));
    EXPECT_EQ(c.pad, padCountOf(s));
    // The source is left as it was.
    EXPECT_EQ(plain, bytesOf(source));
    EXPECT_EQ(c.size < 3 ? c.size : 3u, source.position());

    auto back = SealedFile::unseal(*sealed, "pw");
    ASSERT_TRUE(back);
    EXPECT_EQ(plain, bytesOf(*back));
    EXPECT_EQ(0u, back->position());

    // The same bytes through files: saveSealed then loadSealed.
    TempDir dir;
    ASSERT_EQ(1, source.saveSealed(dir.file("f.bin").c_str(), "pw"));
    EXPECT_EQ(c.sealedSize, readFile(dir.file("f.bin")).size());
    FileBuffer loaded;
    ASSERT_EQ(1, loaded.loadSealed(dir.file("f.bin").c_str(), "pw"));
    EXPECT_EQ(plain, bytesOf(loaded));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SealSizes,
                         ::testing::Values(SealCase{0, 24, 0}, SealCase{1, 56, 31}, SealCase{32, 56, 0},
                                           SealCase{2000, 24 + 2016, 16}, SealCase{1024, 24 + 1024, 0},
                                           SealCase{1025, 24 + 1056, 31}));

TEST(SealedFile, TwoSealsOfTheSameDataDiffer) {
    const std::string plain = patterned(100);
    FileBuffer source(plain.data(), plain.size());
    auto a = SealedFile::seal(source, "pw");
    auto b = SealedFile::seal(source, "pw");
    ASSERT_TRUE(a && b);
    const std::string sa = bytesOf(*a), sb = bytesOf(*b);
    EXPECT_NE(sa.substr(8, 8), sb.substr(8, 8));
    EXPECT_NE(sa.substr(24), sb.substr(24));
    EXPECT_EQ(plain, bytesOf(*SealedFile::unseal(*a, "pw")));
    EXPECT_EQ(plain, bytesOf(*SealedFile::unseal(*b, "pw")));
}

TEST(SealedFile, WrongPasswordGivesOtherBytesOfTheSameLength) {
    const std::string plain = patterned(40);
    FileBuffer source(plain.data(), plain.size());
    auto sealed = SealedFile::seal(source, "right");
    auto wrong = SealedFile::unseal(*sealed, "wrong");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(plain.size(), wrong->size());
    EXPECT_NE(plain, bytesOf(*wrong));
}

// ----------------------------------------------------------------------------------------------
// Containers made without the engine

TEST(SealedFile, PublishedFixtureUnseals) {
    // Key material from an outside PBKDF2-HMAC-MD5 (password "open sesame", salt 01..08,
    // 1 iteration, 80 bytes): key e7c5dd62374ac2b1 (bytes 0-7), IV 8bbd34c0c4ce538b (bytes 64-71);
    // ciphertext from an outside Blowfish-CBC of "Hello, sealed world!" + 12 'x'.
    std::vector<uint8_t> file;
    for (char ch : std::string("kavelDAT"))
        file.push_back((uint8_t)ch);
    for (uint8_t i = 1; i <= 8; ++i)
        file.push_back(i);
    for (uint8_t b : fromHex("0c00000000000000"))
        file.push_back(b);
    for (uint8_t b : fromHex("197d86409779b4275c3026ebc898ca46c554d16a9f0771fb81565106c6d6f805"))
        file.push_back(b);

    TempDir dir;
    writeFile(dir.file("fixture.bin"), file);
    FileBuffer loaded;
    ASSERT_EQ(1, loaded.loadSealed(dir.file("fixture.bin").c_str(), "open sesame"));
    EXPECT_EQ("Hello, sealed world!", bytesOf(loaded));
}

TEST(SealedFile, ContainerBuiltWithTheLibraryUnseals) {
    const uint8_t salt[8] = {0xde, 0xad, 0xbe, 0xef, 0x00, 0x11, 0x22, 0x33};
    struct Case {
        std::string plain, password;
    } cases[] = {
        {"", ""},
        {"a", "profile-password"},
        {"key = value\n", ""},
        {patterned(2000), "sound table"},
        {patterned(4096 + 5), "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain.size());
        const std::string container = buildContainer(c.plain, c.password, salt);
        FileBuffer sealed(container.data(), container.size());
        auto back = SealedFile::unseal(sealed, c.password.c_str());
        ASSERT_TRUE(back);
        EXPECT_EQ(c.plain, bytesOf(*back));
    }
}

TEST(SealedFile, EngineSealMatchesTheLibraryRecipe) {
    // Re-seal with the library using the engine's salt: the ciphertext must be identical.
    const std::string plain = patterned(2000);
    FileBuffer source(plain.data(), plain.size());
    auto sealed = SealedFile::seal(source, "pw");
    const std::string s = bytesOf(*sealed);
    uint8_t salt[8];
    std::memcpy(salt, s.data() + 8, 8);
    EXPECT_EQ(buildContainer(plain, "pw", salt), s);
}

// ----------------------------------------------------------------------------------------------
// Plain data, saving, damaged input

TEST(FileBufferLoad, PlainFilesPassThrough) {
    TempDir dir;
    const std::string cases[] = {"0123456789", "kavelDA", "kavelDAT1234567", "something else, 16+ bytes",
                                 std::string("\0\1kavelDAT12345678", 18)};
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        writeFile(dir.file("plain.txt"), text);
        FileBuffer b;
        ASSERT_EQ(1, b.loadSealed(dir.file("plain.txt").c_str(), "pw"));
        EXPECT_EQ(text, bytesOf(b));
        EXPECT_EQ(0u, b.position());
    }
}

TEST(FileBufferLoad, MissingFileFailsAndEmpties) {
    TempDir dir;
    FileBuffer b("old", 3);
    EXPECT_EQ(0, b.loadFromFile(dir.file("none").c_str()));
    EXPECT_EQ(0u, b.size());
    EXPECT_EQ(0, b.loadSealed(dir.file("none").c_str(), ""));
    EXPECT_EQ(0, b.loadFromFile(dir.path().c_str()));  // a folder is no file
    EXPECT_EQ(0u, b.size());
}

TEST(FileBufferSave, SealedDataIsWrittenUnchanged) {
    FileBuffer source("payload", 7);
    auto sealed = SealedFile::seal(source, "pw");
    TempDir dir;
    ASSERT_EQ(1, sealed->saveSealed(dir.file("again.bin").c_str(), "pw"));
    EXPECT_EQ(bytesOf(*sealed), readFile(dir.file("again.bin")));
    FileBuffer loaded;
    ASSERT_EQ(1, loaded.loadSealed(dir.file("again.bin").c_str(), "pw"));
    EXPECT_EQ("payload", bytesOf(loaded));
}

TEST(FileBufferSave, PlainSaveAndUnwritablePath) {
    TempDir dir;
    FileBuffer b("abc\0def", 7);
    ASSERT_EQ(1, b.saveToFile(dir.file("raw.bin").c_str()));
    EXPECT_EQ(std::string("abc\0def", 7), readFile(dir.file("raw.bin")));
    EXPECT_EQ(0, b.saveToFile(dir.file("no/such/folder/x").c_str()));
    EXPECT_EQ(0, b.saveSealed(dir.file("no/such/folder/x").c_str(), "pw"));
}

TEST(SealedFile, DamagedContainersFailSafely) {
    FileBuffer source(patterned(64).data(), 64);
    const std::string good = bytesOf(*SealedFile::seal(source, "pw"));  // 24 + 64 bytes, pad 0
    auto withPad = [&](uint64_t pad) { return good.substr(0, 16) + u64le(pad) + good.substr(24); };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"magic and 16 bytes", good.substr(0, 16)},
        {"header cut", good.substr(0, 23)},
        {"cipher cut mid block", good.substr(0, 24 + 13)},
        {"cipher cut at a block", good.substr(0, 24 + 40)},
        {"pad count 32", withPad(32)},
        {"pad count huge", withPad(~0ull)},
        {"pad beyond cipher", good.substr(0, 16) + u64le(8)},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileBuffer damaged(c.bytes.data(), c.bytes.size());
        EXPECT_FALSE(SealedFile::unseal(damaged, "pw"));

        writeFile(dir.file("damaged.bin"), c.bytes);
        FileBuffer loaded("previous", 8);
        EXPECT_EQ(0, loaded.loadSealed(dir.file("damaged.bin").c_str(), "pw"));
        EXPECT_EQ(0u, loaded.size());
    }
    // Every cut of a larger container: either a clean failure or, at a block boundary, a shorter
    // plaintext; never bytes from beyond the cut.
    const std::string big = bytesOf(*SealedFile::seal(FileBuffer(patterned(2000).data(), 2000), "pw"));
    for (size_t cut = 8; cut < big.size(); ++cut) {
        FileBuffer part(big.data(), cut);
        auto plain = SealedFile::unseal(part, "pw");
        const bool whole = cut >= 24 && (cut - 24) % 32 == 0 && padCountOf(big) <= cut - 24;
        ASSERT_EQ(whole, plain != nullptr) << cut;
        if (plain) {
            EXPECT_EQ(patterned(2000).substr(0, cut - 24 - padCountOf(big)), bytesOf(*plain)) << cut;
        }
    }

    // A pad count that is merely wrong but in range only shortens the result.
    FileBuffer padded(withPad(31).data(), withPad(31).size());
    auto shorter = SealedFile::unseal(padded, "pw");
    ASSERT_TRUE(shorter);
    EXPECT_EQ(patterned(64).substr(0, 33), bytesOf(*shorter));
}

// ----------------------------------------------------------------------------------------------
// Cursor, inserting writes, reads

TEST(FileBuffer, SeekClamps) {
    FileBuffer b("abc", 3);
    struct Case {
        int whence;
        int64_t offset;
        uint64_t start, expected;
    } cases[] = {
        {2, -5, 3, 0}, {2, -1, 0, 2}, {1, 1000000, 1, 3}, {1, -1, 2, 1}, {0, 2, 0, 2},
        {0, -1, 2, 0}, {7, 1, 2, 2},  {1, INT64_MAX, 2, 3}, {1, INT64_MIN, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.whence << " " << c.offset);
        b.seek(0, (int64_t)c.start);
        b.seek(c.whence, c.offset);
        EXPECT_EQ(c.expected, b.position());
    }
}

TEST(FileBuffer, WritesInsertAtTheCursor) {
    FileBuffer b;
    EXPECT_TRUE(b.write("held", 4));
    EXPECT_TRUE(b.write("fast", 4));
    EXPECT_EQ("heldfast", bytesOf(b));
    EXPECT_EQ(8u, b.position());
    b.seek(0, 4);
    EXPECT_TRUE(b.write(" on ", 4));
    EXPECT_EQ("held on fast", bytesOf(b));
    EXPECT_EQ(8u, b.position());

    char out[16] = {};
    EXPECT_EQ(4u, b.read(out, 10));
    EXPECT_EQ("fast", std::string(out, 4));
    EXPECT_EQ(0u, b.read(out, 1));

    FileBuffer empty;
    std::string s = "junk";
    empty.toString(s);
    EXPECT_EQ("", s);
}

TEST(Md5Hex, KnownDigests) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", md5Hex(""));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5Hex("abc"));
    EXPECT_EQ("9e107d9d372bb6826bd81d3542a419d6", md5Hex(std::string("The quick brown fox jumps over the lazy dog")));
}
