#include "update/trust/list_signature.h"

#include <charconv>
#include <system_error>
#include <vector>

#include "update/base/channel_name.h"
#include "update/trust/comment_fields.h"

namespace {

const std::string kSignaturePrefix = "'signature ecdsa-p256-sha256 ";
const std::string kSerialPrefix = "'tolvane-list";
constexpr std::size_t kSignatureBytes = 64;

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Digits only, without a sign or a leading zero, and no larger than 2^64-1.
bool ParseSerialNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || (text[0] == '0' && text.size() > 1))
        return false;
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    return read.ec == std::errc() && read.ptr == end;
}

// The lines of the signed part that start a serial or a release line, read into the list: the
// serial when there is exactly one and it is well formed, the release line likewise.
void FindSerialAndRelease(SignedList& list) {
    const std::string& bytes = list.signedBytes;
    int serials = 0, releases = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        end = end == std::string::npos ? bytes.size() : end;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        const std::string line = bytes.substr(start, end - start);
        start = next;
        ListSerial serial;
        ReleaseLine release;
        if (StartsWith(line, kSerialPrefix) && ++serials == 1 && ParseSerialLine(line, serial))
            list.serial = serial;
        if (StartsWith(line, kReleasePrefix) && ++releases == 1 && ParseReleaseLine(line, release))
            list.release = release;
    }
    if (serials != 1)
        list.serial.reset();
    list.releaseMalformed = releases > 1 || (releases == 1 && !list.release);
    if (list.releaseMalformed)
        list.release.reset();
}

} // namespace

bool DecodeBase64(const std::string& text, std::string& bytes) {
    if (text.size() % 4 != 0)
        return false;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    bytes.clear();
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Sextet(text[i]); // also refuses a "=" before the padding
        if (value < 0)
            return false;
        bits = bits << 6 | static_cast<std::uint32_t>(value);
        if (i % 4 == 3) {
            bytes.push_back(static_cast<char>(bits >> 16));
            bytes.push_back(static_cast<char>(bits >> 8));
            bytes.push_back(static_cast<char>(bits));
            bits = 0;
        }
    }
    // The bits the padding leaves unused must be zero, so each byte string has one encoding.
    if (padding == 2) {
        if (bits & 0xF)
            return false;
        bytes.push_back(static_cast<char>(bits >> 4));
    } else if (padding == 1) {
        if (bits & 0x3)
            return false;
        bytes.push_back(static_cast<char>(bits >> 10));
        bytes.push_back(static_cast<char>(bits >> 2));
    }
    return true;
}

bool ParseSerialLine(const std::string& line, ListSerial& serial) {
    serial = ListSerial();
    std::vector<CommentField> fields;
    if (!SplitCommentFields(line, kSerialPrefix, fields))
        return false;
    bool hasSerial = false;
    for (const auto& [name, value] : fields) {
        if (name == "serial" && !hasSerial) {
            hasSerial = ParseSerialNumber(value, serial.serial);
            if (!hasSerial)
                return false;
        } else if (name == "expires" && !serial.expires) {
            serial.expires = true;
            if (!UtcToUnixSeconds(value, serial.expiry))
                return false;
        } else if (name == "product" && serial.product.empty()) {
            if (!IsProductName(value))
                return false;
            serial.product = value;
        } else if (name == "channel" && serial.channel.empty()) {
            // One spelling per channel in lists, and none for stable.
            if (ChannelName(value) != value || value == kStableChannel)
                return false;
            serial.channel = value;
        } else {
            return false; // unknown, or given twice
        }
    }
    return hasSerial;
}

bool IsProductName(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        // ASCII only, whatever locale the program set.
        if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') &&
            c != '-' && c != '.' && c != '_')
            return false;
    return true;
}

SignedList SplitSignedList(const std::string& list) {
    SignedList result;
    std::size_t end = list.size();
    if (end >= 2 && list.compare(end - 2, 2, "\r\n") == 0)
        end -= 2;
    const std::size_t newline = end == 0 ? std::string::npos : list.rfind('\n', end - 1);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    const bool afterCrLf = start == 0 || (start >= 2 && list[start - 2] == '\r');
    const std::string line = list.substr(start, end - start);
    std::string signature;
    if (afterCrLf && StartsWith(line, kSignaturePrefix) &&
        DecodeBase64(line.substr(kSignaturePrefix.size()), signature) &&
        signature.size() == kSignatureBytes) {
        result.signedBytes = list.substr(0, start);
        result.signature = signature;
    } else {
        result.signedBytes = list;
    }
    FindSerialAndRelease(result);
    return result;
}

std::string ListChannel(const ListSerial& serial) {
    return serial.channel.empty() ? kStableChannel : serial.channel;
}

ListVerdict JudgeList(const SignedList& list, bool signatureVerified, const std::string& product,
                      const std::string& channel, std::optional<std::uint64_t> storedSerial,
                      std::int64_t now) {
    if (list.signature.empty() || !signatureVerified || !list.serial)
        return ListVerdict::NotSigned;
    if (list.releaseMalformed)
        return ListVerdict::BadRelease;
    if (!product.empty() && list.serial->product != product)
        return ListVerdict::OtherProduct;
    if (!channel.empty() && ListChannel(*list.serial) != channel)
        return ListVerdict::OtherChannel;
    if (storedSerial && list.serial->serial < *storedSerial)
        return ListVerdict::Older;
    if (list.serial->expires && list.serial->expiry <= now)
        return ListVerdict::Expired;
    return ListVerdict::Accepted;
}

std::wstring ListRefusalText(ListVerdict verdict) {
    switch (verdict) {
    case ListVerdict::NotSigned:
        return L"error : The update list is not signed by the studio";
    case ListVerdict::BadRelease:
        return L"error : The update list has a malformed or second release line";
    case ListVerdict::OtherProduct:
        return L"error : The update list is for another product";
    case ListVerdict::OtherChannel:
        return L"error : The update list is for another channel";
    case ListVerdict::Older:
        return L"error : The update list is older than the one installed";
    case ListVerdict::Expired:
        return L"error : The update list has expired";
    case ListVerdict::Accepted:
        break;
    }
    return std::wstring();
}
