// The report's digests: FIPS 180-4's own examples, fed whole and in odd pieces, so
// that padding at and across a block's end and buffering between calls both show,
// through the portable code and through the processor's SHA instructions where
// this machine has them.
#include "Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

TEST(Sha256, GivesTheStandardDigestsHoweverTheMessageIsCut) {
    const struct {
        std::string message;
        std::string digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits in the block, so padding takes another.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqr"
         "stu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& row : rows) {
        for (const std::size_t piece : {std::size_t{1000000}, std::size_t{1}, std::size_t{63}, std::size_t{997}}) {
            for (const bool extensions : {false, true}) {
                Sha256 digest(extensions);
                for (std::size_t at = 0; at < row.message.size(); at += piece) {
                    const std::size_t size = std::min(piece, row.message.size() - at);
                    digest.update(reinterpret_cast<const unsigned char*>(row.message.data() + at), size);
                }
                EXPECT_EQ(digest.finishHex(), row.digest) << row.message.size() << " bytes in pieces of " << piece
                                                          << (extensions ? ", extensions allowed" : "");
            }
        }
    }
}
