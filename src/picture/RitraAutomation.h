// What a host sees of the picture control: the automation (dispatch)
// interface of a control and the factory that creates controls by key.
// Header only: a host includes it and loads the `ritra` library with
// QPluginLoader; it never links the library.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QObject>
#include <QPluginLoader>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QtPlugin>

class QWidget;

// Late-bound access to a control: members are found by name or by their
// fixed dispatch identifier and called with a list of variant arguments.
class RitraDispatch {
public:
    enum class Call { Method, PropertyGet, PropertyPut };

    // Standard members keep their standard identifiers.
    static constexpr int kBackColor = -501;
    static constexpr int kBorderStyle = -504;
    static constexpr int kForeColor = -513;
    static constexpr int kHWnd = -515;
    static constexpr int kAboutBox = -552;
    static constexpr int kUnknown = 0;

    virtual ~RitraDispatch() = default;

    // Identifier of a member (property or method), case-insensitive; kUnknown when absent.
    virtual int dispatchId(const QString &name) const = 0;
    // Name of the member with that identifier; empty when absent.
    virtual QString dispatchName(int id) const = 0;
    // Identifier of an event (numbered from 1), kUnknown when absent.
    virtual int eventId(const QString &name) const = 0;
    // Calls a method, reads or writes a property. False (with a reason) when
    // the identifier, the kind of call or the arguments do not fit; the
    // member's own failure is its result (status 0), not a false here.
    virtual bool invoke(int id, Call call, const QVariantList &args, QVariant *result, QString *error) = 0;
    // Persistent properties as a versioned block, in their fixed order.
    virtual QByteArray saveProperties() const = 0;
    virtual bool loadProperties(const QByteArray &block) = 0;
};

// The library's class factory.
class RitraFactoryInterface {
public:
    virtual ~RitraFactoryInterface() = default;
    // "Ritra.RitraCtrl.1" and "Ritra.RitraPropPage.1".
    virtual QStringList keys() const = 0;
    // A new control or property page, or nullptr for an unknown key.
    virtual QWidget *create(const QString &key, QWidget *parent) = 0;
};

#define RitraDispatch_iid "org.norvvelm.Ritra.Dispatch/1.0"
#define RitraFactoryInterface_iid "org.norvvelm.Ritra.Factory/1.0"
Q_DECLARE_INTERFACE(RitraDispatch, RitraDispatch_iid)
Q_DECLARE_INTERFACE(RitraFactoryInterface, RitraFactoryInterface_iid)

// Loads the control library: `$RITRA_LIBRARY` when set; else "ritra" beside
// the host's executable (the build folder); else the installed copy in the
// private library folder, found from the executable's folder
// (RITRA_DIR_FROM_BIN, e.g. "../lib/x86_64-linux-gnu/norvvelm"). Returns
// nullptr with a reason on failure.
inline RitraFactoryInterface *loadRitraFactory(QString *error) {
    static QPluginLoader loader;
    QStringList candidates;
    const QString named = qEnvironmentVariable("RITRA_LIBRARY");
    const QDir exeDir(QCoreApplication::applicationDirPath());
    if (!named.isEmpty()) {
        candidates << named;
    } else {
        candidates << exeDir.filePath(QStringLiteral("ritra"));
#ifdef RITRA_DIR_FROM_BIN
        candidates << QDir::cleanPath(exeDir.filePath(QStringLiteral(RITRA_DIR_FROM_BIN "/ritra")));
#endif
    }
    QStringList reasons;
    for (const QString &file : std::as_const(candidates)) {
        loader.setFileName(file);
        QObject *root = loader.instance();
        if (auto *factory = qobject_cast<RitraFactoryInterface *>(root))
            return factory;
        reasons << (root ? QStringLiteral("not a picture control library: ") + file : loader.errorString());
        loader.unload();
    }
    if (error)
        *error = reasons.join(QStringLiteral("; "));
    return nullptr;
}
