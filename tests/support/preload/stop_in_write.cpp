// Preloaded into a tool by the tests (LD_PRELOAD): stops the tool (SIGSTOP)
// in the middle of writing its temporary output (the first file it writes
// whose name ends in ".tmp") once SKYHAVEN_STOP_IN_WRITE_AT bytes of it are
// in the file, so that a test can signal it there, as a user's Ctrl-C would
// reach it, at a point the test knows instead of one it races. Only fwrite
// is watched: the tools write their outputs with it.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using Fwrite = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);

std::FILE* g_watched = nullptr;
std::size_t g_written = 0;
bool g_stopped = false;

bool lf_isTemporaryOutput(std::FILE* file) {
    char link[64];
    char name[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", ::fileno(file));
    const ssize_t length = ::readlink(link, name, sizeof name);
    return length > 0 && std::string_view(name, static_cast<std::size_t>(length)).ends_with(".tmp");
}

}  // namespace

extern "C" std::size_t fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* file) {
    static const Fwrite real = reinterpret_cast<Fwrite>(::dlsym(RTLD_NEXT, "fwrite"));
    static const char* const at = std::getenv("SKYHAVEN_STOP_IN_WRITE_AT");
    if (g_stopped || at == nullptr || size != 1) return real(data, size, count, file);
    if (file != g_watched) {
        if (g_watched != nullptr || !lf_isTemporaryOutput(file)) return real(data, size, count, file);
        g_watched = file;
    }
    const std::size_t stopAt = std::strtoull(at, nullptr, 10);
    if (g_written + count < stopAt) {
        g_written += count;
        return real(data, size, count, file);
    }
    const std::size_t before = stopAt - g_written;
    const std::size_t first = real(data, 1, before, file);
    if (first != before || std::fflush(file) != 0) return first;
    g_stopped = true;
    ::raise(SIGSTOP);
    return first + real(static_cast<const char*>(data) + before, 1, count - before, file);
}
