#include "shell/NewRegister.h"

#include "api/ApiToken.h"
#include "api/RegisterDirectory.h"
#include "shell/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSet>
#include <QTcpServer>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvvelm {

namespace {
const QString kParametri = QStringLiteral("Parametri");

// The API ports the other instances' configurations name.
QSet<int> portsTaken(const QString &root) {
    QSet<int> out;
    const QDir dir(root);
    for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString ini = dir.filePath(sub + QStringLiteral("/NorvVelm.ini"));
        if (QFile::exists(ini))
            out.insert(
                ProfileFile(ini).getString(kParametri, QStringLiteral("ApiPorta"), QString(), 10).toInt());
    }
    // The single register's own home, when `root` is it.
    if (QFile::exists(dir.filePath(QStringLiteral("NorvVelm.ini"))))
        out.insert(ProfileFile(dir.filePath(QStringLiteral("NorvVelm.ini")))
                       .getString(kParametri, QStringLiteral("ApiPorta"), QStringLiteral("8714"), 10)
                       .toInt());
    return out;
}

// The address of a device "tcp://HOST:PORT", without IPv6's brackets.
QString networkHost(const QString &device) {
    QString host = device.mid(6).section(u':', 0, -2);
    return host.remove(u'[').remove(u']');
}

bool bindable(int port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, quint16(port));
}

// As the package hands the single service's folders: the home to the
// service's user, passable by the key's group; the receipt folder to the
// service and the till's group. Only as root, and only when they exist.
void handOver(const QString &home, const QString &spool) {
    if (::geteuid() != 0)
        return;
    const passwd *user = ::getpwnam("norvvelm");
    const group *api = ::getgrnam("norvvelm-api");
    const group *till = ::getgrnam("norvvelm");
    if (!user || !api || !till)
        return;
    const uid_t uid = user->pw_uid;
    const gid_t apiGid = api->gr_gid, tillGid = till->gr_gid;
    const QByteArray h = QFile::encodeName(home);
    [[maybe_unused]] int rc = ::chown(h.constData(), uid, apiGid);
    rc = ::chmod(h.constData(), 0710);
    for (const char *name : {"NorvVelm.ini", "FileExt.ini"}) {
        const QByteArray f = QFile::encodeName(home + u'/' + QLatin1String(name));
        rc = ::chown(f.constData(), uid, user->pw_gid);
    }
    const QByteArray t = QFile::encodeName(home + u'/' + ApiToken::fileName());
    rc = ::chown(t.constData(), uid, apiGid);
    rc = ::chmod(t.constData(), 0640);
    const QByteArray s = QFile::encodeName(spool);
    rc = ::chown(s.constData(), uid, tillGid);
    rc = ::chmod(s.constData(), 02770);
}
} // namespace

NewRegisterResult CreateRegisterInstance(const NewRegister &wanted) {
    NewRegisterResult out;
    if (!RegisterDirectory::validName(wanted.name)) {
        out.error = QStringLiteral("nome non valido: da 1 a 32 tra lettere, cifre, \"_\", \".\" e \"-\"");
        return out;
    }
    if (wanted.device.trimmed().isEmpty()) {
        out.error = QStringLiteral("manca il dispositivo della porta (--port)");
        return out;
    }
    // A register on the network is named by its address, never a host name.
    const QString device = wanted.device.trimmed();
    if (device.startsWith(QLatin1String("tcp://"))) {
        const QString host = networkHost(device);
        if (QHostAddress(host).isNull() && host != u"localhost") {
            out.error = QStringLiteral("indirizzo del dispositivo non valido: ") + device;
            return out;
        }
    }
    out.home = QDir(wanted.root).filePath(wanted.name);
    const QString spool = QDir(wanted.spool).filePath(wanted.name);
    if (QFile::exists(out.home + QStringLiteral("/NorvVelm.ini"))) {
        out.error = QStringLiteral("esiste gi\u00e0: ") + QDir::toNativeSeparators(out.home);
        return out;
    }
    QFile source(wanted.templateIni);
    if (!source.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("configurazione di esempio non leggibile: ") +
                    QDir::toNativeSeparators(wanted.templateIni);
        return out;
    }
    const QSet<int> taken = portsTaken(wanted.root);
    for (int p = kFirstApiPort; p < kFirstApiPort + kApiPorts && out.apiPort == 0; ++p) {
        if (!taken.contains(p) && bindable(p))
            out.apiPort = p;
    }
    if (out.apiPort == 0) {
        out.error = QStringLiteral("nessuna porta API libera tra %1 e %2")
                        .arg(kFirstApiPort)
                        .arg(kFirstApiPort + kApiPorts - 1);
        return out;
    }
    if (!QDir().mkpath(out.home) || !QDir().mkpath(spool)) {
        out.error = QStringLiteral("cartella non creabile: ") + QDir::toNativeSeparators(out.home);
        return out;
    }
    const QString ini = out.home + QStringLiteral("/NorvVelm.ini");
    QFile target(ini);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly) || target.write(source.readAll()) < 0 ||
        !target.flush()) {
        out.error = QStringLiteral("configurazione non scrivibile: ") + QDir::toNativeSeparators(ini);
        return out;
    }
    target.close();
    const ProfileFile file(ini);
    bool written = file.writeString(kParametri, QStringLiteral("Porta"), QStringLiteral("1"));
    written =
        file.writeString(QStringLiteral("Porte"), QStringLiteral("Com1"), wanted.device.trimmed()) && written;
    written = file.writeString(kParametri, QStringLiteral("ServerDir"), spool) && written;
    written =
        file.writeString(kParametri, QStringLiteral("ApiPorta"), QString::number(out.apiPort)) && written;
    if (!written) {
        out.error = QStringLiteral("configurazione non scrivibile: ") + QDir::toNativeSeparators(ini);
        return out;
    }
    // The extensions' file beside it, when the package has one.
    const QString ext = QFileInfo(wanted.templateIni).dir().filePath(QStringLiteral("FileExt.ini"));
    if (QFile::exists(ext))
        QFile::copy(ext, out.home + QStringLiteral("/FileExt.ini"));
    QString error;
    if (ApiToken::load(out.home, &error).isEmpty()) {
        out.error = QStringLiteral("chiave non creabile: ") + error;
        return out;
    }
    // The service's sandbox reaches loopback alone: a register on the shop's
    // network is allowed its own address, as the device names it.
    if (device.startsWith(QLatin1String("tcp://"))) {
        const QString host = networkHost(device);
        // Only root writes the units' settings; a home made for a print
        // server run by hand needs none.
        if (wanted.unitDropIns.isEmpty() || ::geteuid() != 0) {
            handOver(out.home, spool);
            return out;
        }
        const QString dir =
            wanted.unitDropIns + QStringLiteral("/norvvelmd@") + wanted.name + QStringLiteral(".service.d");
        out.dropIn = dir + QStringLiteral("/register.conf");
        QFile conf(out.dropIn);
        if (!QDir().mkpath(dir) || !conf.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            conf.write("# Made by norvvelm-cmd --new-register: the register on the network.\n[Service]\n"
                       "IPAddressAllow=" +
                       host.toUtf8() + "\n") < 0 ||
            !conf.flush()) {
            out.error = QStringLiteral("impostazione del servizio non scrivibile: ") +
                        QDir::toNativeSeparators(out.dropIn);
            return out;
        }
    }
    handOver(out.home, spool);
    return out;
}

} // namespace norvvelm
