#pragma once
// The encrypted data sets (*.enc): a 24-byte secret-stream header followed by
// chunks of at most 4096 plain bytes, each sealed with XChaCha20-Poly1305;
// the last chunk carries the FINAL tag. The plain XML of a data set exists on
// disk only while it is being read.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

namespace skh {

using DataSetKey = std::array<unsigned char, 32>;

// The key of every data set. It ships inside the program, so it is no secret;
// it only keeps the data sets from being read or edited casually.
extern const DataSetKey g_dataSetKey;

inline constexpr std::size_t kDataSetHeaderBytes = 24;
inline constexpr std::size_t kDataSetPlainChunkBytes = 4096;
inline constexpr std::size_t kDataSetChunkBytes = kDataSetPlainChunkBytes + 17;

// Decrypts `input` into `output` with the program's key. Never throws: a
// failure is logged, the output removed and false returned.
bool gf_streamDecrypt(const std::filesystem::path& input, const std::filesystem::path& output);

// The worker of gf_streamDecrypt; throws std::runtime_error on every failure
// ("Could not open input file: ", "Could not open output file: ",
// "Invalid header or key", "Decryption failed", and read or write errors).
void lf_streamDecryptFile(const DataSetKey& key, const std::string& input, const std::string& output);

// True when `input` is a complete container that decrypts with the program's
// key; nothing is written. A failure is logged.
bool gf_verifyDataSet(const std::filesystem::path& input);

// Encrypts `input` into the container format (used by the packer and to build
// test data). Throws std::runtime_error; a failed output is removed.
void gf_streamEncryptFile(const DataSetKey& key, const std::filesystem::path& input,
                          const std::filesystem::path& output);

// Removes the file when it exists; a failure (or a folder in its place) is
// only logged.
void gf_removeFile(const std::filesystem::path& path);

// Decrypts a data set on construction and removes the plain file when the
// scope ends, however the reading of it ends.
class DecryptedDataSet {
public:
    DecryptedDataSet(const std::filesystem::path& encrypted, std::filesystem::path plain);
    ~DecryptedDataSet();
    DecryptedDataSet(const DecryptedDataSet&) = delete;
    DecryptedDataSet& operator=(const DecryptedDataSet&) = delete;

    bool ok() const { return m_ok; }
    const std::filesystem::path& path() const { return m_plain; }

private:
    std::filesystem::path m_plain;
    bool m_ok;
};

}  // namespace skh
