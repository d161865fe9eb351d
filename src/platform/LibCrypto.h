#pragma once
// libcrypto's message digests, loaded the first time they are asked for: only the CPU soak
// hashes, and the library costs well over a megabyte resident in every process that links it.
#include <openssl/evp.h>

namespace corvane {

struct LibCrypto {
    decltype(&EVP_MD_CTX_new) mdCtxNew = nullptr;
    decltype(&EVP_MD_CTX_free) mdCtxFree = nullptr;
    decltype(&EVP_MD_fetch) mdFetch = nullptr;
    decltype(&EVP_MD_free) mdFree = nullptr;
    decltype(&EVP_DigestInit_ex2) digestInit = nullptr;
    decltype(&EVP_DigestUpdate) digestUpdate = nullptr;
    decltype(&EVP_DigestFinal_ex) digestFinal = nullptr;

    // The process-wide instance (loaded once, thread-safe); null when the library or one of
    // these functions is missing.
    static const LibCrypto *get();
};

} // namespace corvane
