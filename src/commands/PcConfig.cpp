#include "commands/PcConfig.h"

namespace norvvelm {

int ModelTable::find(const QString &model) const {
    for (int i = 0; i < int(rows.size()); ++i) {
        if (!rows[size_t(i)].name.isEmpty() && rows[size_t(i)].name == model)
            return i;
    }
    return -1;
}

ModelTable setupModelli() {
    ModelTable t;
    auto fill = [&](int row, const char *name, int payments, int width1, int width2) {
        ModelRow &r = t.rows[size_t(row)];
        r.name = QString::fromLatin1(name);
        r.headerLines = 12;
        r.footerLines = 3;
        r.logo1 = r.logo2 = true;
        r.paymentRows = payments;
        r.messageRows = 10;
        r.sFlags.set();
        r.descrWidth1 = width1;
        r.descrWidth2 = width2;
    };
    fill(0, "Norv ONe", 9, 20, 30);
    fill(1, "DLm", 10, 30, 30);
    return t;
}

bool ServerFolderConfigured(const PcConfig &config) {
    return config.ServerDir.trimmed().size() > 1;
}

QString ServerFolder(const PcConfig &config, const QString &programDir) {
    QString dir = ServerFolderConfigured(config) ? config.ServerDir.trimmed() : programDir;
    if (!dir.endsWith(u'/') && !dir.endsWith(u'\\'))
        dir += u'/';
    return dir;
}

} // namespace norvvelm
