// The library's class factory, found by hosts through QPluginLoader.
#pragma once

#include "picture/RitraAutomation.h"

#include <QObject>

class RitraFactory : public QObject, public RitraFactoryInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID RitraFactoryInterface_iid FILE "ritra.json")
    Q_INTERFACES(RitraFactoryInterface)

public:
    QStringList keys() const override;
    QWidget *create(const QString &key, QWidget *parent) override;
};
