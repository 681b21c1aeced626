#pragma once
// Verifying a list signature with the platform's CNG (bcrypt), against a public key fixed at
// build time (the pass hands it in as PassOptions::listKey).
#include <string>

// True when signature (64 bytes, r then s, each big-endian) is a valid ECDSA P-256 signature
// over SHA-256 of signedBytes under the public key publicKeyXY (64 bytes, the point's X then
// Y, each big-endian). False when it is not, when either length is wrong, when the key is not
// a point on the curve, or when CNG fails.
bool VerifyListSignature(const std::string& publicKeyXY, const std::string& signedBytes,
                         const std::string& signature);
