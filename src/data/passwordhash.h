#pragma once

#include <QString>

#include <optional>

namespace data {

// Administrators' passwords as UserTable keeps them: a salted Argon2id hash (libsodium) in a
// form short enough for the 50-character Passwordf column of every engine:
//
//   "$ct1$" + base64url(16-byte salt + 16-byte hash), unpadded: 48 characters
//
// The digit after "ct" names the parameters (version 1: Argon2id, libsodium's interactive
// operations and memory limits), so that later parameters can be told apart and old hashes
// replaced at the next login. Any other stored text is a password kept in clear by an
// earlier build.
class PasswordHash
{
public:
    static const QString Prefix;
    static constexpr int HashLength = 48;

    // The stored form of a password; nullopt when the library fails (out of memory). An
    // empty password stays empty: there is nothing to hide.
    static std::optional<QString> hash(const QString &password);

    // Whether a stored Passwordf is a hash of this class (of any version).
    static bool isHash(const QString &stored);

    // Whether the typed password matches what is stored, a hash or a clear password.
    static bool verify(const QString &password, const QString &stored);

    // Whether a stored value that matched should be stored again as a hash of today's
    // parameters: a clear password, or a hash of older ones.
    static bool needsRehash(const QString &stored);
};

} // namespace data
