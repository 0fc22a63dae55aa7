#include "commands/PasswordHash.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

#include <array>

namespace norvvelm::passwordhash {

namespace {
const QString kScheme = QStringLiteral("pbkdf2-sha256");
// Stored values name their own count; a hostile file must not make a login
// run for hours.
constexpr int kMaxIterations = 10'000'000;

struct Parsed {
    int iterations = 0;
    QByteArray salt;
    QByteArray key;
};

bool parse(const QString &stored, Parsed &out) {
    const QStringList parts = stored.split(u'$');
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    out.iterations = parts[1].toInt(&ok);
    if (!ok || out.iterations < 1 || out.iterations > kMaxIterations)
        return false;
    const auto salt =
        QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto key =
        QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !key || salt.decoded.isEmpty() || key.decoded.isEmpty() || key.decoded.size() > 1024)
        return false;
    out.salt = salt.decoded;
    out.key = key.decoded;
    return true;
}

bool equalInConstantTime(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
} // namespace

QByteArray Pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations, int keyBytes) {
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    QByteArray out;
    for (quint32 block = 1; out.size() < keyBytes; ++block) {
        QByteArray counter(4, '\0');
        counter[0] = char((block >> 24) & 0xff);
        counter[1] = char((block >> 16) & 0xff);
        counter[2] = char((block >> 8) & 0xff);
        counter[3] = char(block & 0xff);
        mac.reset();
        mac.addData(salt);
        mac.addData(counter);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype j = 0; j < t.size(); ++j)
                t[j] = char(t[j] ^ u[j]);
        }
        out.append(t);
    }
    out.truncate(keyBytes);
    return out;
}

QString Hash(const QString &password, int iterations) {
    std::array<quint32, kSaltBytes / 4> words{};
    QRandomGenerator::system()->generate(words.begin(), words.end());
    const QByteArray salt(reinterpret_cast<const char *>(words.data()), kSaltBytes);
    const QByteArray key = Pbkdf2Sha256(password.toUtf8(), salt, iterations, kKeyBytes);
    return kScheme + u'$' + QString::number(iterations) + u'$' + QString::fromLatin1(salt.toBase64()) + u'$' +
           QString::fromLatin1(key.toBase64());
}

bool IsHash(const QString &stored) {
    Parsed p;
    return parse(stored, p);
}

bool Verify(const QString &stored, const QString &password) {
    Parsed p;
    if (!parse(stored, p))
        return false;
    const QByteArray key = Pbkdf2Sha256(password.toUtf8(), p.salt, p.iterations, int(p.key.size()));
    return equalInConstantTime(key, p.key);
}

} // namespace norvvelm::passwordhash
