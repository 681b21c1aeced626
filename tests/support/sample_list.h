#pragma once
// A signed list for tests: a test key made once with openssl, whose private half was thrown
// away, and a list it signed (serial 42, expiring in 2031).
#include <string>

#include "support/test_files.h"

namespace testing_support {

// The key's point, X then Y, as a launcher holds it.
inline const std::string kSampleKey =
    FromHex("4141998b26bf8fdf5a7524a5beb4c3ff2d66c2ff0c74a25cac9690fd484e796b"
            "94febf5cca098ed0e8ceea14fe6b8305c1a6d1126e240b80d7d832fc86c5c988");
// The bytes it signed, and the signature's last line in base64.
inline const std::string kSampleSigned = "Version = 7;\r\nbin\\game.dll;{rw}\r\n"
                                         "'tolvane-list serial=42 expires=2031-05-06T07:08:09Z\r\n";
inline const std::string kSampleSignatureB64 =
    "z2nz9JMIbIu+FQ/8up6R7SPQMyOqePWA7PSl7tpuufNxJUpkBs8GB09CXcf+TO/aoJ3Hi7JPy0emF9O/QwhUMQ==";

} // namespace testing_support
