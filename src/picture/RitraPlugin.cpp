#include "picture/RitraPlugin.h"

#include "picture/RitraCtrl.h"
#include "picture/RitraPropPage.h"

QStringList RitraFactory::keys() const {
    return {QStringLiteral("Ritra.RitraCtrl.1"), QStringLiteral("Ritra.RitraPropPage.1")};
}

QWidget *RitraFactory::create(const QString &key, QWidget *parent) {
    if (key == QLatin1String("Ritra.RitraCtrl.1"))
        return new CRitraCtrl(parent);
    if (key == QLatin1String("Ritra.RitraPropPage.1"))
        return new CRitraPropPage(parent);
    return nullptr;
}
