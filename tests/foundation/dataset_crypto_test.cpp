// Decryption of data sets: round trips through the packer's encryption, and
// every damaged or missing container failing with its log text and no plain
// text left behind.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "foundation/dataset_crypto.hpp"
#include "support/dataset_builder.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

// Text that differs from chunk to chunk, so a swapped chunk cannot pass.
std::string plainText(std::size_t size) {
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; text.size() < size; ++i) text += std::to_string(i * 7919) + ',';
    text.resize(size);
    return text;
}

class DataSetCrypto : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedLog log;
    fs::path enc = dir / "dbase.enc";
    fs::path xml = dir / "dbase.xml";
};

TEST_F(DataSetCrypto, RoundTripsEverySizeAroundChunkBoundaries) {
    // Up to and past 64 chunks: the decryption reads that many at a time.
    for (const std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 10000u, 3u * 4096u, 64u * 4096u, 64u * 4096u + 1u,
                                   200000u}) {
        SCOPED_TRACE(size);
        const std::string text = plainText(size);
        test::packDataSet(text, enc);
        const std::size_t chunks = size == 0 ? 1 : (size + 4095) / 4096;
        EXPECT_EQ(fs::file_size(enc), kDataSetHeaderBytes + chunks * 17 + size);
        ASSERT_TRUE(gf_streamDecrypt(enc, xml));
        EXPECT_EQ(readFile(xml), text);
        EXPECT_TRUE(gf_verifyDataSet(enc));
    }
}

TEST_F(DataSetCrypto, BytesAfterTheFinalChunkAreIgnored) {
    // The last chunk may be full or short; the bytes after it may be fewer or
    // more than a chunk.
    for (const std::size_t size : {100u, 4096u, 5000u, 64u * 4096u}) {
        for (const std::size_t extra : {1u, 50u, 5000u}) {
            SCOPED_TRACE(std::to_string(size) + " + " + std::to_string(extra));
            const std::string text = plainText(size);
            test::packDataSet(text, enc);
            writeFile(enc, readFile(enc) + std::string(extra, '\x5a'));
            ASSERT_TRUE(gf_streamDecrypt(enc, xml));
            EXPECT_EQ(readFile(xml), text);
            EXPECT_TRUE(gf_verifyDataSet(enc));
        }
    }
}

struct Damage {
    const char* name;
    std::function<std::string(std::string)> apply;
    const char* error;
};

std::string flipAt(const std::string& bytes, std::size_t offset) {
    std::string flipped = bytes;
    flipped.at(offset) = static_cast<char>(flipped.at(offset) ^ 0x01);
    return flipped;
}

TEST_F(DataSetCrypto, DamagedContainersFailAndLeaveNoPlainText) {
    // 10000 plain bytes: chunks of 4113, 4113 and 1825 bytes after the header.
    constexpr std::size_t first = kDataSetHeaderBytes;
    constexpr std::size_t second = first + kDataSetChunkBytes;
    constexpr std::size_t third = second + kDataSetChunkBytes;
    const Damage damages[] = {
        {"flipped header byte", [](std::string b) { return flipAt(b, 3); }, "Decryption failed"},
        {"flipped byte in chunk 1", [](std::string b) { return flipAt(b, first + 100); }, "Decryption failed"},
        {"flipped byte in chunk 2", [](std::string b) { return flipAt(b, second + 4112); }, "Decryption failed"},
        {"flipped last byte", [](std::string b) { return flipAt(b, b.size() - 1); }, "Decryption failed"},
        {"chunks 1 and 2 swapped",
         [](std::string b) {
             return b.substr(0, first) + b.substr(second, kDataSetChunkBytes) +
                    b.substr(first, kDataSetChunkBytes) + b.substr(third);
         },
         "Decryption failed"},
        {"chunk 1 dropped", [](std::string b) { return b.erase(first, kDataSetChunkBytes); }, "Decryption failed"},
        {"empty file", [](std::string) { return std::string(); }, "Invalid header or key"},
        {"shorter than the header", [](std::string b) { return b.substr(0, 23); }, "Invalid header or key"},
        {"header only", [](std::string b) { return b.substr(0, first); }, "Decryption failed"},
        {"cut at a chunk boundary", [](std::string b) { return b.substr(0, third); }, "Decryption failed"},
        {"cut inside a chunk", [](std::string b) { return b.substr(0, second + 100); }, "Decryption failed"},
        {"last byte missing", [](std::string b) { return b.substr(0, b.size() - 1); }, "Decryption failed"},
    };
    test::packDataSet(plainText(10000), enc);
    const std::string good = readFile(enc);
    ASSERT_EQ(good.size(), third + 1808 + 17);
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const std::string bad = damage.apply(good);
        writeFile(enc, bad);
        writeFile(xml, "stale plain text");
        EXPECT_FALSE(gf_streamDecrypt(enc, xml));
        EXPECT_FALSE(fs::exists(xml));
        EXPECT_TRUE(log.contains(std::string("gf_streamDecrypt exception: ") + damage.error));
        EXPECT_EQ(readFile(enc), bad) << "the input is never modified";
        EXPECT_FALSE(gf_verifyDataSet(enc));
    }
}

TEST_F(DataSetCrypto, DamageBeyondTheFirstSixtyFourChunksIsFound) {
    test::packDataSet(plainText(100 * 4096), enc);
    const std::string good = readFile(enc);
    const std::size_t chunk70 = kDataSetHeaderBytes + 70 * kDataSetChunkBytes;
    const std::size_t batchEnd = kDataSetHeaderBytes + 64 * kDataSetChunkBytes;
    for (const std::string& bad : {flipAt(good, chunk70 + 9), good.substr(0, batchEnd), good.substr(0, chunk70 + 5)}) {
        writeFile(enc, bad);
        EXPECT_FALSE(gf_streamDecrypt(enc, xml));
        EXPECT_FALSE(fs::exists(xml));
    }
}

TEST_F(DataSetCrypto, WrongKeyFailsAtTheFirstChunk) {
    DataSetKey other = g_dataSetKey;
    other[31] ^= 0x80;
    test::packDataSet("<dbase/>", enc, other);
    EXPECT_FALSE(gf_streamDecrypt(enc, xml));
    EXPECT_FALSE(fs::exists(xml));
    EXPECT_TRUE(log.contains("gf_streamDecrypt exception: Decryption failed"));
    // The same container opens with its own key.
    EXPECT_NO_THROW(lf_streamDecryptFile(other, enc.string(), xml.string()));
    EXPECT_EQ(readFile(xml), "<dbase/>");
}

TEST_F(DataSetCrypto, UnopenableFilesNameThePath) {
    test::packDataSet("<dbase/>", enc);
    fs::create_directory(dir / "folder.enc");
    struct Case {
        fs::path input;
        fs::path output;
        std::string error;
    };
    const Case cases[] = {
        {dir / "missing.enc", xml, "Could not open input file: " + (dir / "missing.enc").string()},
        {dir / "folder.enc", xml, "Could not open input file: " + (dir / "folder.enc").string()},
        {enc, dir / "no-such-folder" / "dbase.xml",
         "Could not open output file: " + (dir / "no-such-folder" / "dbase.xml").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_FALSE(gf_streamDecrypt(c.input, c.output));
        EXPECT_TRUE(log.contains("gf_streamDecrypt exception: " + c.error));
        EXPECT_FALSE(fs::exists(c.output));
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder.enc"));
}

TEST_F(DataSetCrypto, RemoveFileLeavesFoldersAndLogsWhatItCannotRemove) {
    writeFile(xml, "<dbase/>");
    gf_removeFile(xml);
    EXPECT_FALSE(fs::exists(xml));
    gf_removeFile(dir / "never-there.xml");
    EXPECT_FALSE(log.contains("could not remove"));

    writeFile(dir / "folder.xml" / "inside.txt", "x");
    gf_removeFile(dir / "folder.xml");
    EXPECT_TRUE(fs::exists(dir / "folder.xml" / "inside.txt"));
    EXPECT_TRUE(log.contains("===> Warning: could not remove " + (dir / "folder.xml").string() + ", errorcode: "));
}

TEST_F(DataSetCrypto, DecryptedDataSetRemovesThePlainTextWhenReadingThrows) {
    test::packDataSet("<dbase/>", enc);
    try {
        const DecryptedDataSet plain(enc, xml);
        ASSERT_TRUE(plain.ok());
        EXPECT_EQ(readFile(plain.path()), "<dbase/>");
        throw std::runtime_error("parse error");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(fs::exists(xml));

    writeFile(enc, "short");
    const DecryptedDataSet failed(enc, xml);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(fs::exists(xml));
}

}  // namespace
}  // namespace skh
