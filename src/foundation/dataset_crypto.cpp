#include "foundation/dataset_crypto.hpp"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <vector>

#include <gsl/util>

#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

namespace fs = std::filesystem;

const DataSetKey g_dataSetKey = {0x53, 0x8e, 0x9c, 0xb9, 0xf4, 0x4f, 0x22, 0x14, 0xf3, 0x54, 0xdb,
                                 0x76, 0x82, 0xbf, 0x78, 0xb4, 0xd3, 0x95, 0x43, 0x78, 0x32, 0xd7,
                                 0xa2, 0x9f, 0xeb, 0xc1, 0x9b, 0xd1, 0xe8, 0x37, 0x3c, 0xf5};

namespace {

static_assert(kDataSetHeaderBytes == crypto_secretstream_xchacha20poly1305_HEADERBYTES);
static_assert(kDataSetChunkBytes == kDataSetPlainChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES);
static_assert(std::tuple_size_v<DataSetKey> == crypto_secretstream_xchacha20poly1305_KEYBYTES);

constexpr std::size_t kIoBufferBytes = 64 * 1024;
// Decryption reads and writes this many chunks at a time straight between the
// files and its own buffers: fewer system calls and copies, constant memory.
constexpr std::size_t kChunksPerBatch = 64;
constexpr unsigned char kTagFinal = crypto_secretstream_xchacha20poly1305_TAG_FINAL;
constexpr unsigned char kTagMessage = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// "<what><path>: <the system's reason>"; errno when `error` is 0.
std::runtime_error lf_fileError(const char* what, const std::string& path, int error = 0) {
    if (error == 0) error = errno != 0 ? errno : EIO;
    return std::runtime_error(what + path + ": " + std::generic_category().message(error));
}

// `buffered` false: the caller reads in large blocks of its own.
FilePtr lf_openInput(const std::string& path, bool buffered) {
    // Some systems open a folder for reading and fail only at the first read.
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw lf_fileError("Could not open input file: ", path, EISDIR);
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) throw lf_fileError("Could not open input file: ", path);
    std::setvbuf(f.get(), nullptr, buffered ? _IOFBF : _IONBF, buffered ? kIoBufferBytes : 0);
    return f;
}

FilePtr lf_openOutput(const std::string& path, bool buffered) {
    FilePtr f(std::fopen(path.c_str(), "wb"));
    if (!f) throw lf_fileError("Could not open output file: ", path);
    std::setvbuf(f.get(), nullptr, buffered ? _IOFBF : _IONBF, buffered ? kIoBufferBytes : 0);
    return f;
}

std::size_t lf_read(std::FILE* f, unsigned char* buffer, std::size_t length, const std::string& path) {
    const std::size_t got = std::fread(buffer, 1, length, f);
    if (got < length && std::ferror(f)) throw lf_fileError("Could not read input file: ", path);
    return got;
}

void lf_write(std::FILE* f, const unsigned char* data, std::size_t length, const std::string& path) {
    if (length > 0 && std::fwrite(data, 1, length, f) != length) {
        throw lf_fileError("Could not write output file: ", path);
    }
}

// Closes the output and reports a failed flush (a full disk shows here).
void lf_closeOutput(FilePtr& f, const std::string& path) {
    if (std::fclose(f.release()) != 0) throw lf_fileError("Could not write output file: ", path);
}

// Closes and removes an output this call created unless the call got to its
// end, so no partial file outlives a failure.
class OutputGuard {
public:
    OutputGuard(FilePtr& file, fs::path path) : m_file(file), m_path(std::move(path)) {}
    ~OutputGuard() {
        if (m_done) return;
        m_file.reset();
        gf_removeFile(m_path);
    }
    OutputGuard(const OutputGuard&) = delete;
    OutputGuard& operator=(const OutputGuard&) = delete;
    void done() { m_done = true; }

private:
    FilePtr& m_file;
    fs::path m_path;
    bool m_done = false;
};

// The last chunk may be shorter than the others and be followed by bytes that
// are not part of the stream, so a read that fails to authenticate may still
// begin with the FINAL chunk. Tries the shorter lengths; the state is only
// taken over on success.
bool lf_pullFinalPrefix(crypto_secretstream_xchacha20poly1305_state& state, unsigned char* plain,
                        unsigned long long& plainLength, const unsigned char* cipher, std::size_t available) {
    constexpr std::size_t overhead = crypto_secretstream_xchacha20poly1305_ABYTES;
    for (std::size_t length = available; length-- > overhead;) {
        crypto_secretstream_xchacha20poly1305_state trial = state;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&trial, plain, &plainLength, &tag, cipher, length, nullptr,
                                                       0) == 0 &&
            tag == kTagFinal) {
            state = trial;
            return true;
        }
    }
    return false;
}

// Authenticates and decrypts every chunk up to the one tagged FINAL and hands
// each plain chunk to `sink`. A stream that ends before FINAL has been cut
// short and fails: real data sets always end with it.
template <class Sink>
void lf_pullStream(const DataSetKey& key, std::FILE* in, const std::string& inPath, Sink&& sink) {
    unsigned char header[kDataSetHeaderBytes];
    crypto_secretstream_xchacha20poly1305_state state;
    if (lf_read(in, header, sizeof header, inPath) != sizeof header ||
        crypto_secretstream_xchacha20poly1305_init_pull(&state, header, key.data()) != 0) {
        throw std::runtime_error("Invalid header or key");
    }
    // Whole chunks per batch, so no chunk straddles two reads.
    std::vector<unsigned char> cipher(kChunksPerBatch * kDataSetChunkBytes);
    std::vector<unsigned char> plain(kChunksPerBatch * kDataSetPlainChunkBytes);
    for (;;) {
        const std::size_t got = lf_read(in, cipher.data(), cipher.size(), inPath);
        if (got == 0) throw std::runtime_error("Decryption failed");
        std::size_t plainBytes = 0;
        bool final = false;
        for (std::size_t offset = 0; offset < got && !final; offset += kDataSetChunkBytes) {
            const std::size_t n = std::min(kDataSetChunkBytes, got - offset);
            unsigned char* out = plain.data() + plainBytes;
            unsigned long long plainLength = 0;
            unsigned char tag = 0;
            if (crypto_secretstream_xchacha20poly1305_pull(&state, out, &plainLength, &tag, cipher.data() + offset, n,
                                                           nullptr, 0) != 0) {
                if (!lf_pullFinalPrefix(state, out, plainLength, cipher.data() + offset, n)) {
                    throw std::runtime_error("Decryption failed");
                }
                tag = kTagFinal;
            }
            plainBytes += static_cast<std::size_t>(plainLength);
            final = tag == kTagFinal;
        }
        sink(plain.data(), plainBytes);
        if (final) return;
    }
}

}  // namespace

void lf_streamDecryptFile(const DataSetKey& key, const std::string& input, const std::string& output) {
    FilePtr in = lf_openInput(input, false);
    FilePtr out = lf_openOutput(output, false);
    OutputGuard guard(out, output);
    lf_pullStream(key, in.get(), input, [&](const unsigned char* data, std::size_t length) {
        lf_write(out.get(), data, length, output);
    });
    lf_closeOutput(out, output);
    guard.done();
}

bool gf_streamDecrypt(const fs::path& input, const fs::path& output) {
    DataSetKey key = g_dataSetKey;
    const auto wipe = gsl::finally([&key] { sodium_memzero(key.data(), key.size()); });
    try {
        lf_streamDecryptFile(key, input.string(), output.string());
        return true;
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{} exception: {}", "gf_streamDecrypt", e.what()));
        gf_removeFile(output);
        return false;
    }
}

bool gf_verifyDataSet(const fs::path& input) {
    try {
        const std::string path = input.string();
        FilePtr in = lf_openInput(path, false);
        lf_pullStream(g_dataSetKey, in.get(), path, [](const unsigned char*, std::size_t) {});
        return true;
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{} exception: {}", "gf_verifyDataSet", e.what()));
        return false;
    }
}

void gf_streamEncryptFile(const DataSetKey& key, const fs::path& input, const fs::path& output) {
    const std::string inPath = input.string();
    const std::string outPath = output.string();
    FilePtr in = lf_openInput(inPath, true);
    FilePtr out = lf_openOutput(outPath, true);
    OutputGuard guard(out, output);

    unsigned char header[kDataSetHeaderBytes];
    crypto_secretstream_xchacha20poly1305_state state;
    crypto_secretstream_xchacha20poly1305_init_push(&state, header, key.data());
    lf_write(out.get(), header, sizeof header, outPath);

    // One chunk of look-ahead: the chunk before the end of the input, even an
    // empty one, carries FINAL.
    std::vector<unsigned char> current(kDataSetPlainChunkBytes);
    std::vector<unsigned char> next(kDataSetPlainChunkBytes);
    std::vector<unsigned char> cipher(kDataSetChunkBytes);
    std::size_t n = lf_read(in.get(), current.data(), current.size(), inPath);
    for (;;) {
        const std::size_t following = n == current.size() ? lf_read(in.get(), next.data(), next.size(), inPath) : 0;
        const unsigned char tag = following == 0 ? kTagFinal : kTagMessage;
        unsigned long long cipherLength = 0;
        crypto_secretstream_xchacha20poly1305_push(&state, cipher.data(), &cipherLength, current.data(), n, nullptr,
                                                   0, tag);
        lf_write(out.get(), cipher.data(), static_cast<std::size_t>(cipherLength), outPath);
        if (tag == kTagFinal) break;
        current.swap(next);
        n = following;
    }
    lf_closeOutput(out, outPath);
    guard.done();
}

void gf_removeFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!fs::exists(status) && (!ec || ec == std::errc::no_such_file_or_directory)) return;
    if (!ec) {
        // A folder in place of the file is not ours to delete.
        if (fs::is_directory(status)) {
            ec = std::make_error_code(std::errc::is_a_directory);
        } else {
            fs::remove(path, ec);
        }
    }
    if (ec) gf_logWarning(skh::format("Warning: could not remove {}, errorcode: {}", path.string(), ec.message()));
}

DecryptedDataSet::DecryptedDataSet(const fs::path& encrypted, fs::path plain)
    : m_plain(std::move(plain)), m_ok(gf_streamDecrypt(encrypted, m_plain)) {}

DecryptedDataSet::~DecryptedDataSet() { gf_removeFile(m_plain); }

}  // namespace skh
