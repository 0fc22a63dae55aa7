#pragma once

#include <QByteArray>
#include <QString>

namespace norvvelm {

// Salted, slow password hashes: PBKDF2 with HMAC-SHA-256, stored as
// "pbkdf2-sha256$<iterations>$<salt, base64>$<key, base64>".
namespace passwordhash {

constexpr int kDefaultIterations = 120000;
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

// PBKDF2-HMAC-SHA256 of `password` (its UTF-8 bytes) with `salt`.
QByteArray Pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations, int keyBytes);

// A stored value for `password` with a fresh random salt.
QString Hash(const QString &password, int iterations = kDefaultIterations);
// True when `stored` has the shape Hash() writes.
bool IsHash(const QString &stored);
// True when `password` hashes to `stored` (compared in constant time). False
// for a malformed stored value.
bool Verify(const QString &stored, const QString &password);

} // namespace passwordhash

} // namespace norvvelm
