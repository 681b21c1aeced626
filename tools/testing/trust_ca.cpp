// Makes the Wine prefix it runs in trust a test certificate authority, and nothing else does:
// the certificate goes into the registry part of the machine's "Root" store, which lives in the
// prefix's registry. Earlier certificates with the same subject are removed first, so a new
// authority replaces an old one instead of piling up. usage: trust_ca.exe CA.pem
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> PemToDer(const std::string& pem) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr))
        return {};
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr))
        return {};
    der.resize(size);
    return der;
}

void RemoveSameSubject(HCERTSTORE store, PCCERT_CONTEXT keep) {
    PCCERT_CONTEXT found = nullptr;
    while ((found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                               &keep->pCertInfo->Subject, found)) != nullptr) {
        if (CertCompareCertificate(X509_ASN_ENCODING, found->pCertInfo, keep->pCertInfo))
            continue;
        // Deleting frees the context, so the search starts over from the beginning.
        CertDeleteCertificateFromStore(CertDuplicateCertificateContext(found));
        CertFreeCertificateContext(found);
        found = nullptr;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_ca CA.pem\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream pem;
    pem << in.rdbuf();
    const std::vector<BYTE> der = PemToDer(pem.str());
    if (der.empty()) {
        std::fprintf(stderr, "trust_ca: no PEM certificate in the file\n");
        return 1;
    }
    PCCERT_CONTEXT ca =
        CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0,
                                    CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (ca == nullptr || root == nullptr) {
        std::fprintf(stderr, "trust_ca: cannot open the certificate or the Root store (%lu)\n",
                     GetLastError());
        return 1;
    }
    RemoveSameSubject(root, ca);
    const bool added =
        CertAddCertificateContextToStore(root, ca, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added)
        std::fprintf(stderr, "trust_ca: adding failed (%lu)\n", GetLastError());
    CertCloseStore(root, 0);
    CertFreeCertificateContext(ca);
    return added ? 0 : 1;
}
