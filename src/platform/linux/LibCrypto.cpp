#include "platform/LibCrypto.h"

#include "common/Log.h"

#include <openssl/opensslv.h>

#include <dlfcn.h>

namespace corvane {

namespace {
#define CORVANE_STR2(x) #x
#define CORVANE_STR(x) CORVANE_STR2(x)
// The major version the headers describe: the functions' signatures are that release's.
constexpr const char *kSoname = "libcrypto.so." CORVANE_STR(OPENSSL_VERSION_MAJOR);

const LibCrypto *load()
{
    void *lib = ::dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        qCWarning(lcPlatform) << "libcrypto could not be loaded:" << ::dlerror();
        return nullptr;
    }
    static LibCrypto c;
    auto sym = [lib](auto &fn, const char *name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib, name));
        return fn != nullptr;
    };
    const bool all = sym(c.mdCtxNew, "EVP_MD_CTX_new") && sym(c.mdCtxFree, "EVP_MD_CTX_free")
        && sym(c.mdFetch, "EVP_MD_fetch") && sym(c.mdFree, "EVP_MD_free")
        && sym(c.digestInit, "EVP_DigestInit_ex2") && sym(c.digestUpdate, "EVP_DigestUpdate")
        && sym(c.digestFinal, "EVP_DigestFinal_ex");
    if (!all) {
        qCWarning(lcPlatform) << kSoname << "lacks a digest function";
        return nullptr; // kept open: a library is never unloaded once its code may have run
    }
    return &c;
}
} // namespace

const LibCrypto *LibCrypto::get()
{
    static const LibCrypto *const instance = load();
    return instance;
}

} // namespace corvane
