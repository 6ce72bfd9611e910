#include "data/passwordhash.h"

#include <QByteArray>

#include <sodium.h>

namespace data {

const QString PasswordHash::Prefix = QStringLiteral("$ct1$");

namespace {
constexpr int SaltBytes = crypto_pwhash_SALTBYTES; // 16
constexpr int KeyBytes = 16;                       // Argon2's shortest output: 43 characters with the salt
static_assert(SaltBytes == 16 && KeyBytes >= crypto_pwhash_BYTES_MIN);

constexpr auto Encoding = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

bool ready()
{
    // Safe to call again and from several threads; -1 only when no random source exists.
    return sodium_init() >= 0;
}

// Salt and hash of a stored text of this class's form, of any version; empty when it is not.
QByteArray saltAndKey(const QString &stored)
{
    if (stored.size() != PasswordHash::HashLength || !stored.startsWith(QLatin1String("$ct"))
        || !stored.at(3).isDigit() || stored.at(4) != QLatin1Char('$'))
        return {};
    const auto decoded = QByteArray::fromBase64Encoding(stored.mid(5).toLatin1(),
                                                        Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != SaltBytes + KeyBytes)
        return {};
    return decoded.decoded;
}

bool derive(const QString &password, const unsigned char *salt, unsigned char *key)
{
    if (!ready())
        return false;
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash(key, KeyBytes, bytes.constData(), quint64(bytes.size()), salt,
                         crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
                         crypto_pwhash_ALG_ARGON2ID13)
           == 0;
}
} // namespace

std::optional<QString> PasswordHash::hash(const QString &password)
{
    if (password.isEmpty())
        return QString(QLatin1String(""));
    if (!ready())
        return std::nullopt;
    QByteArray saltAndKey(SaltBytes + KeyBytes, Qt::Uninitialized);
    auto *bytes = reinterpret_cast<unsigned char *>(saltAndKey.data());
    randombytes_buf(bytes, SaltBytes);
    if (!derive(password, bytes, bytes + SaltBytes))
        return std::nullopt;
    return Prefix + QString::fromLatin1(saltAndKey.toBase64(Encoding));
}

bool PasswordHash::isHash(const QString &stored)
{
    return !saltAndKey(stored).isEmpty();
}

bool PasswordHash::verify(const QString &password, const QString &stored)
{
    if (!isHash(stored))
        return password == stored;
    // A hash of parameters this build does not know matches nothing.
    if (!stored.startsWith(Prefix))
        return false;
    const QByteArray parts = saltAndKey(stored);
    const auto *salt = reinterpret_cast<const unsigned char *>(parts.constData());
    unsigned char key[KeyBytes];
    if (!derive(password, salt, key))
        return false;
    return sodium_memcmp(key, salt + SaltBytes, KeyBytes) == 0;
}

bool PasswordHash::needsRehash(const QString &stored)
{
    return !stored.isEmpty() && !(stored.startsWith(Prefix) && isHash(stored));
}

} // namespace data
