#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include <windows.h>

#include "support/sample_list.h"
#include "support/test_files.h"
#include "update/trust/list_signature.h"
#include "update/trust/hashed_file.h"
#include "update/trust/sha256.h"
#include "update/trust/serial_record.h"
#include "update/trust/signature_check.h"

namespace {

using testing_support::FromHex;
using testing_support::ScratchFolder;
using testing_support::WriteBytes;

// The sample list's key and bytes; kOtherSignature is a signature of the same bytes by another
// key.
const std::string& kKey = testing_support::kSampleKey;
const std::string& kSigned = testing_support::kSampleSigned;
const std::string& kSignatureB64 = testing_support::kSampleSignatureB64;
const std::string kSignature =
    FromHex("cf69f3f493086c8bbe150ffcba9e91ed23d03323aa78f580ecf4a5eeda6eb9f3"
            "71254a6406cf06074f425dc7fe4cefdaa09dc78bb24fcb47a617d3bf43085431");
const std::string kOtherSignature =
    FromHex("e5a6166d0e48dacd565d0f22c3809e967e4e99a85ea10937d0533c41ba4ca61e"
            "0792481b55bcd2278fb99e3967859877d5ad25551be8a7ed87dc155e030d5fa6");
const std::string kLine = "'signature ecdsa-p256-sha256 ";
constexpr std::int64_t kExpiry = 1935817689; // 2031-05-06T07:08:09Z

TEST(ListSignature, OnlyAStrictLastLineSplitsOffASignature) {
    const std::string b64 = kSignatureB64, head = kSigned + kLine;
    // The list, and whether it splits into kSigned and kSignature (otherwise nothing is split).
    // clang-format off
    const std::pair<std::string, bool> cases[] = {
        {head + b64 + "\r\n", true}, {head + b64, true}, {head + b64 + "\n", false},
        {head + b64 + "\r\n\r\n", false}, {head + b64 + "\r\nextra.txt;\r\n", false}, // not last
        {kSigned.substr(0, kSigned.size() - 2) + "\n" + kLine + b64, false}, // no CR LF before
        // Cut, 63 bytes, 65 bytes, padding inside, unused bits set, the URL alphabet, a blank.
        {head + b64.substr(0, 86), false}, {head + b64.substr(0, 84), false},
        {head + b64.substr(0, 86) + "A=", false},
        {head + b64.substr(0, 40) + "=" + b64.substr(41), false},
        {head + b64.substr(0, 85) + "R==", false}, {head + "_" + b64.substr(1), false},
        {head + b64.substr(0, 40) + " " + b64.substr(40), false},
        {kSigned + "'signature ecdsa-p384-sha384 " + b64, false}, {kSigned, false},
    };
    // clang-format on
    for (const auto& [list, splits] : cases) {
        const SignedList split = SplitSignedList(list);
        EXPECT_EQ(split.signedBytes, splits ? kSigned : list) << list;
        EXPECT_EQ(split.signature, splits ? kSignature : "") << list;
    }
}

TEST(ListSignature, SerialLinesAndExpiryTimesAreReadStrictly) {
    // The fields after "'tolvane-list ", and the serial read, with "@" and the expiry and "#"
    // and the product when there are; "" for a refused line.
    const std::string at = "serial=1 expires=";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        // Fields in any order, each once, a known one only, one blank before each.
        {"expires=2031-05-06T07:08:09Z product=Tolvane_Game-2.beta serial=3",
         "3@1935817689#Tolvane_Game-2.beta"},
        {"product=cad serial=3", "3#cad"}, {"product=cad", ""},
        {"serial=3 product=cad product=cad", ""}, {"serial=3 serial=3", ""},
        {"serial=3 Product=cad", ""}, {"serial=3 product=", ""}, {"serial=3 product=caf\xe9", ""},
        {"serial=3 product=a/b", ""}, {"serial=3 product=" + std::string(65, 'p'), ""},
        {"serial=3  product=cad", ""}, {"serial=0", "0"},
        // A channel in its one spelling, never stable (which a list names by naming none).
        {"channel=beta serial=3 product=cad", "3#cad%beta"},
        {"serial=3 channel=" + std::string(32, 'q'), "3%" + std::string(32, 'q')},
        {"serial=3 channel=" + std::string(33, 'q'), ""}, {"serial=3 channel=stable", ""},
        {"serial=3 channel=Beta", ""}, {"serial=3 channel=beta channel=beta", ""},
        {"serial=3 channel=", ""}, {"serial=3 channel=be.ta", ""}, {"serial=3 Channel=beta", ""},
        {"serial=18446744073709551615", "18446744073709551615"},
        {"serial=18446744073709551616", ""}, {"serial=007", ""}, {"serial=", ""}, {"serial=-1", ""},
        {"serial=1a", ""}, {"serial=1 ", ""}, {"serial=1 expiry=2024-01-01T00:00:00Z", ""},
        {at + "1969-12-31T23:59:59Z", "1@-1"}, {at + "2038-01-19T03:14:08Z", "1@2147483648"},
        {at + "9999-12-31T23:59:59Z", "1@253402300799"},
        // Leap days: every 4th year, not every 100th, but every 400th.
        {at + "2024-02-29T12:00:00Z", "1@1709208000"}, {at + "2000-02-29T23:59:59Z", "1@951868799"},
        {at + "2023-02-29T00:00:00Z", ""}, {at + "2100-02-29T00:00:00Z", ""},
        {at + "2024-04-31T00:00:00Z", ""}, {at + "2024-13-01T00:00:00Z", ""},
        {at + "2024-00-10T00:00:00Z", ""}, {at + "2024-01-00T00:00:00Z", ""},
        {at + "2024-01-01T24:00:00Z", ""}, {at + "2024-01-01T23:59:60Z", ""},
        {at + "2024-01-01t00:00:00z", ""}, {at + "2024-01-01T00:00:00", ""}, // a local time
    };
    // clang-format on
    for (const auto& [fields, expected] : cases) {
        ListSerial read;
        const std::string line = "'tolvane-list " + fields;
        std::string got;
        if (ParseSerialLine(line, read))
            got = std::to_string(read.serial) +
                  (read.expires ? "@" + std::to_string(read.expiry) : "") +
                  (read.product.empty() ? "" : "#" + read.product) +
                  (read.channel.empty() ? "" : "%" + read.channel);
        EXPECT_EQ(got, expected) << line;
    }
}

TEST(ListSignature, VerdictNeedsAVerifiedSignatureOneSerialLineAndNoRollBack) {
    const std::string body = "Version = 3;\r\na.txt;\r\n";
    auto serial = [](const std::string& fields) { return "'tolvane-list " + fields + "\r\n"; };
    const std::string line = kLine + kSignatureB64 + "\r\n";
    const std::wstring prefix = L"error : The update list ",
                       notSigned = prefix + L"is not signed by the studio",
                       older = prefix + L"is older than the one installed",
                       expired = prefix + L"has expired",
                       other = prefix + L"is for another product",
                       channel = prefix + L"is for another channel",
                       release = prefix + L"has a malformed or second release line";
    const std::optional<std::uint64_t> none;
    const std::string salt = "salt=" + std::string(32, 'a'),
                      rollout = "'tolvane-release rollout=10 " + salt + "\r\n";
    const std::string expiring = body + serial("serial=5 expires=2031-05-06T07:08:09Z") + line;
    // The list, whether its signature verified, the stored serial, now, the refusal, and the
    // launcher's product and, after "@", the channel it follows (none: any product, any channel).
    using Case = std::tuple<std::string, bool, std::optional<std::uint64_t>, std::int64_t,
                            std::wstring, std::string>;
    // clang-format off
    const Case cases[] = {
        {body + serial("serial=5 product=game") + line, true, none, 0, L"", "game"},
        {body + serial("serial=5 product=game") + line, true, none, 0, L"", ""},
        {body + serial("serial=5 product=cad") + line, true, none, 0, other, "game"},
        {body + serial("serial=5 product=Game") + line, true, none, 0, other, "game"},
        {body + serial("serial=5") + line, true, none, 0, other, "game"},
        {body + serial("serial=5 product=cad") + line, false, none, 0, notSigned, "game"},
        {body + serial("serial=4 product=cad") + line, true, 5, 0, other, "game"},
        {serial("serial=5") + body + line, true, 5, 0, L"", ""},
        {body + serial("serial=6") + line, true, 5, 0, L"", ""},
        {body + serial("serial=4") + line, true, 5, 0, older, ""},
        {body + serial("serial=5"), true, none, 0, notSigned, ""},
        {body + line, true, none, 0, notSigned, ""},
        {body + serial("serial=5") + serial("serial=5") + line, true, none, 0, notSigned, ""},
        {body + serial("serial=5") + "'tolvane-listing\r\n" + line, true, none, 0, notSigned, ""},
        {expiring, true, 5, kExpiry - 1, L"", ""}, {expiring, true, 5, kExpiry, expired, ""},
        {expiring, true, 9, kExpiry, older, ""},
        // A list names its channel, stable by naming none; its rollback record is the channel's.
        {body + serial("serial=5 channel=beta") + line, true, none, 0, L"", "@beta"},
        {body + serial("serial=5 channel=beta") + line, true, none, 0, channel, "@stable"},
        {body + serial("serial=5") + line, true, none, 0, channel, "@beta"},
        {body + serial("serial=5") + line, true, 4, 0, L"", "@stable"},
        {body + serial("serial=5 channel=beta") + line, true, none, 0, L"", ""},
        {body + serial("serial=5 channel=beta product=cad") + line, true, none, 0, other,
         "game@beta"},
        {body + serial("serial=5 channel=beta") + line, true, 9, 0, older, "@beta"},
        {body + serial("serial=5 channel=Beta") + line, true, none, 0, notSigned, "@beta"},
        // At most one release line, well formed, inside the signed part.
        {body + rollout + serial("serial=5") + line, true, none, 0, L"", "@stable"},
        {body + serial("serial=5") + "'tolvane-release rollout=101 " + salt + "\r\n" + line,
         true, none, 0, release, ""},
        {body + rollout + serial("serial=5") + rollout + line, true, none, 0, release, ""},
        {body + "'tolvane-releases\r\n" + serial("serial=5") + line, true, none, 0, release, ""},
        {body + "'tolvane-release\r\n" + serial("serial=5 product=cad") + line, true, none, 0,
         release, "game"},
        {body + "'tolvane-release\r\n" + serial("serial=5") + line, false, none, 0, notSigned, ""},
    };
    // clang-format on
    for (const auto& [list, verified, stored, now, refusal, launcher] : cases) {
        const std::string product = launcher.substr(0, launcher.find('@')),
                          channel = launcher.find('@') == std::string::npos
                                        ? ""
                                        : launcher.substr(launcher.find('@') + 1);
        EXPECT_EQ(ListRefusalText(
                      JudgeList(SplitSignedList(list), verified, product, channel, stored, now)),
                  refusal)
            << list << " " << launcher;
    }
    const SignedList split = SplitSignedList(body + rollout + serial("serial=5") + line);
    ASSERT_TRUE(split.release);
    EXPECT_EQ(split.release->percent, 10u);
    EXPECT_EQ(split.release->salt, std::string(32, 'a'));
}

TEST(SerialRecord, TheHigherCopyCountsAndAnUnreadableOneIsNeverAFirstRun) {
    using State = SerialCopy::State;
    const SerialCopy missing, damaged{State::Damaged, 0}, three{State::Present, 3},
        seven{State::Present, 7}, nine{State::Present, 9};
    // The registry's copy, the file's, the value an earlier launcher wrote under the spelling the
    // launcher was started from, and the record: the serial, or "-" for none and "!" for a
    // damaged record.
    const std::tuple<SerialCopy, SerialCopy, SerialCopy, std::string> cases[] = {
        {missing, missing, missing, "-"}, {three, missing, missing, "3"},
        {missing, seven, missing, "7"},   {three, seven, missing, "7"},
        {seven, three, missing, "7"},     {damaged, seven, missing, "7"},
        {three, damaged, missing, "3"},   {damaged, missing, missing, "!"},
        {missing, damaged, missing, "!"}, {damaged, damaged, missing, "!"},
        {missing, missing, nine, "9"},    {three, seven, nine, "9"},
        {damaged, missing, nine, "9"},    {missing, missing, damaged, "!"},
    };
    for (const auto& [value, file, spelt, expected] : cases) {
        const RecordedSerial record = CombineSerialCopies({value, file, spelt});
        const std::string serial = record.serial ? std::to_string(*record.serial) : "-";
        EXPECT_EQ(record.damaged ? "!" : serial, expected);
    }
}

// The registry's copy counts whichever spelling of the folder the launcher was started from,
// and so does a value that an earlier launcher wrote under its spelling.
TEST(SerialRecord, EverySpellingOfTheFolderFindsTheRegistryCopy) {
    const ScratchFolder scratch;
    const std::wstring full = scratch.path() + L"A Long Folder Name\\";
    ASSERT_TRUE(CreateDirectoryW(full.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((full + L"update").c_str(), nullptr));
    std::wstring brief(MAX_PATH * 4, L'\0');
    brief.resize(GetShortPathNameW(full.c_str(), brief.data(), static_cast<DWORD>(brief.size())));
    ASSERT_NE(brief, full);
    std::wstring shouted = full;
    CharUpperBuffW(shouted.data(), static_cast<DWORD>(shouted.size()));
    const wchar_t key[] = L"Software\\TolvaneSoft\\Launcher";
    // The serial written (0: none) and the spelling it is written from, the serial an earlier
    // launcher left under its spelling (0: none; case does not count), the spelling the record
    // is read from, and the serial read.
    const std::tuple<std::uint64_t, std::wstring, std::uint64_t, std::wstring, std::wstring,
                     std::uint64_t>
        cases[] = {
            {7, brief, 0, L"", full, 7},    {7, full, 0, L"", brief, 7},
            {7, shouted, 0, L"", brief, 7}, {0, L"", 9, brief, brief, 9},
            {7, full, 9, brief, brief, 9},  {12, full, 9, brief, brief, 12},
            {0, L"", 9, shouted, full, 9},
        };
    for (const auto& [written, writer, left, leaver, reader, expected] : cases) {
        SCOPED_TRACE(testing::Message() << written << " " << left);
        if (written) {
            ASSERT_TRUE(WriteSerialRecord(writer, written));
        }
        if (left) {
            ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, SerialValueName(leaver).c_str(),
                                      REG_QWORD, &left, sizeof left),
                      ERROR_SUCCESS);
        }
        // The registry's copy alone.
        DeleteFileW(SerialFilePath(full).c_str());
        const RecordedSerial record = ReadSerialRecord(reader);
        EXPECT_EQ(record.serial.value_or(0), expected);
        for (const std::wstring& spelling : {full, brief, shouted})
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key, SerialValueName(spelling).c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, SerialValueName(CanonicalFolder(full)).c_str());
    }
}

// Each channel keeps its own record, so a move between channels is never a rollback; stable's
// is the one launchers before channels kept.
TEST(SerialRecord, EachChannelHasARecordOfItsOwn) {
    const ScratchFolder scratch;
    const std::wstring folder = scratch.path();
    ASSERT_TRUE(CreateDirectoryW((folder + L"update").c_str(), nullptr));
    // The channel, its file, and the start of its value's name.
    const std::tuple<std::string, std::wstring, std::wstring> names[] = {
        {"stable", L"update\\list.serial", L"list serial "},
        {"beta", L"update\\list-beta.serial", L"list serial beta "},
        {"qa-2_x", L"update\\list-qa-2_x.serial", L"list serial qa-2_x "},
    };
    for (const auto& [channel, file, value] : names) {
        EXPECT_EQ(SerialFilePath(folder, channel), folder + file);
        EXPECT_EQ(SerialValueName(L"C:\\Games\\", channel), value + L"c:\\games\\");
    }
    EXPECT_EQ(SerialFilePath(folder), folder + L"update\\list.serial");
    ASSERT_TRUE(WriteSerialRecord(folder, 7, "stable"));
    ASSERT_TRUE(WriteSerialRecord(folder, 9, "beta"));
    // The channel read, and the serial it holds (0: none).
    const std::pair<std::string, std::uint64_t> reads[] = {{"stable", 7}, {"beta", 9}, {"qa", 0}};
    for (const auto& [channel, serial] : reads)
        EXPECT_EQ(ReadSerialRecord(folder, channel).serial.value_or(0), serial) << channel;
    EXPECT_EQ(testing_support::ReadBytes(folder + L"update\\list-beta.serial"), "9");
    for (const auto& [channel, file, value] : names)
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\TolvaneSoft\\Launcher",
                           SerialValueName(CanonicalFolder(folder), channel).c_str());
}

TEST(SignatureCheck, AcceptsTheStudiosSignatureAndNoFlippedBit) {
    const SignedList split = SplitSignedList(kSigned + kLine + kSignatureB64 + "\r\n");
    EXPECT_TRUE(VerifyListSignature(kKey, split.signedBytes, split.signature));
    auto flipped = [](std::string bytes, std::size_t bit) {
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        return bytes;
    };
    for (std::size_t bit = 0; bit < kSigned.size() * 8; ++bit)
        EXPECT_FALSE(VerifyListSignature(kKey, flipped(kSigned, bit), kSignature)) << bit;
    for (std::size_t bit = 0; bit < kSignature.size() * 8; ++bit)
        EXPECT_FALSE(VerifyListSignature(kKey, kSigned, flipped(kSignature, bit))) << bit;
    for (std::size_t bit = 0; bit < kKey.size() * 8; bit += 7)
        EXPECT_FALSE(VerifyListSignature(flipped(kKey, bit), kSigned, kSignature)) << bit;
    EXPECT_FALSE(VerifyListSignature(kKey, kSigned, kOtherSignature));
    EXPECT_FALSE(VerifyListSignature(kKey, kSigned, kSignature.substr(1)));
    EXPECT_FALSE(VerifyListSignature(kKey, kSigned, kSignature + "x"));
    EXPECT_FALSE(VerifyListSignature("", kSigned, kSignature));
}

TEST(Sha256, KnownDigestsInOneGoInPiecesAndFromFiles) {
    Sha256 abc;
    abc.Add("abc");
    EXPECT_EQ(abc.Finish(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(abc.Finish(), "") << "a hasher finishes once";
    const std::string million(1000000, 'a');
    Sha256 pieces;
    for (std::size_t at = 0, piece = 1; at < million.size(); at += piece, piece = piece * 3 + 1)
        pieces.Add(million.data() + at, std::min(piece, million.size() - at));
    EXPECT_EQ(pieces.Finish(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

    // A file across the 1 MiB read size, an empty one, and files that cannot be read.
    ScratchFolder folder;
    std::string pattern;
    for (std::size_t i = 0; i < 2 * 1048576 + 3; ++i)
        pattern.push_back(static_cast<char>(i * 7 % 251));
    WriteBytes(folder / L"pattern.bin", pattern);
    WriteBytes(folder / L"empty.bin", "");
    WriteBytes(folder / L"written.bin", "abc");
    CreateDirectoryW((folder / L"folder").c_str(), nullptr);
    const HANDLE writer = CreateFileW((folder / L"written.bin").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    // The file, and its size and digest as HashFile gives them ("" when it refuses).
    // clang-format off
    const std::pair<std::wstring, std::string> files[] = {
        {L"pattern.bin",
         "2097155 a012dae7aa23049d42713168177a781220f89d39146c844ba7d35efa770f69a6"},
        {L"empty.bin", "0 e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {L"missing.bin", ""}, {L"folder", ""},
        {L"written.bin", ""}, // open for writing elsewhere: it could change while read
    };
    // clang-format on
    for (const auto& [name, expected] : files) {
        std::uint64_t size = 0;
        std::string hex;
        const bool read = HashFile(folder / name, size, hex);
        EXPECT_EQ(read ? std::to_string(size) + " " + hex : "", expected);
    }
    CloseHandle(writer);
}

} // namespace
