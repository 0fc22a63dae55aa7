// ritractl: drives one picture control from the command line. Each argument
// is a call `Name(arg, ...)` (strings in double quotes, numbers bare), a
// property read `Name`, or a property write `Name=value`; each prints
// "<argument> = <result>". The control's messages go to standard error.
#include "picture/RitraAutomation.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

struct Parsed {
    QString name;
    enum { Get, Put, Call } kind = Get;
    QVariantList args;
};

// One literal: "text" (with \" and \\ escapes) or a number.
std::optional<QVariant> parseValue(const QString &s, qsizetype &i, QString *error) {
    while (i < s.size() && s[i].isSpace())
        ++i;
    if (i >= s.size()) {
        *error = QStringLiteral("missing value");
        return std::nullopt;
    }
    if (s[i] == QLatin1Char('"')) {
        QString text;
        ++i;
        while (i < s.size() && s[i] != QLatin1Char('"')) {
            if (s[i] == QLatin1Char('\\') && i + 1 < s.size())
                ++i;
            text += s[i++];
        }
        if (i >= s.size()) {
            *error = QStringLiteral("unterminated string");
            return std::nullopt;
        }
        ++i;
        return QVariant(text);
    }
    const qsizetype start = i;
    while (i < s.size() && s[i] != QLatin1Char(',') && s[i] != QLatin1Char(')'))
        ++i;
    const QString token = s.mid(start, i - start).trimmed();
    bool ok = false;
    const qlonglong n = token.toLongLong(&ok, 0);
    if (ok)
        return n >= INT_MIN && n <= INT_MAX ? QVariant(int(n)) : QVariant(n);
    const double d = token.toDouble(&ok);
    if (ok)
        return QVariant(d);
    if (token.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return QVariant(true);
    if (token.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return QVariant(false);
    *error = QStringLiteral("not a number or a quoted string: ") + token;
    return std::nullopt;
}

std::optional<Parsed> parse(const QString &arg, QString *error) {
    Parsed p;
    qsizetype i = 0;
    while (i < arg.size() && (arg[i].isLetterOrNumber() || arg[i] == QLatin1Char('_')))
        ++i;
    p.name = arg.left(i);
    if (p.name.isEmpty()) {
        *error = QStringLiteral("no member name");
        return std::nullopt;
    }
    const QString rest = arg.mid(i).trimmed();
    if (rest.isEmpty())
        return p;
    if (rest.startsWith(QLatin1Char('='))) {
        qsizetype j = 1;
        const auto v = parseValue(rest, j, error);
        if (!v)
            return std::nullopt;
        if (!rest.mid(j).trimmed().isEmpty()) {
            *error = QStringLiteral("unexpected text after the value");
            return std::nullopt;
        }
        p.kind = Parsed::Put;
        p.args.append(*v);
        return p;
    }
    if (!rest.startsWith(QLatin1Char('(')) || !rest.endsWith(QLatin1Char(')'))) {
        *error = QStringLiteral("expected Name, Name(arguments) or Name=value");
        return std::nullopt;
    }
    p.kind = Parsed::Call;
    const QString inner = rest.mid(1, rest.size() - 2);
    if (inner.trimmed().isEmpty())
        return p;
    qsizetype j = 0;
    for (;;) {
        const auto v = parseValue(inner, j, error);
        if (!v)
            return std::nullopt;
        p.args.append(*v);
        while (j < inner.size() && inner[j].isSpace())
            ++j;
        if (j >= inner.size())
            break;
        if (inner[j] != QLatin1Char(',')) {
            *error = QStringLiteral("expected a comma between arguments");
            return std::nullopt;
        }
        ++j;
    }
    return p;
}

QString format(const QVariant &v) {
    if (!v.isValid())
        return QString();
    if (v.metaType().id() == QMetaType::QImage) {
        const QImage image = v.value<QImage>();
        return image.isNull() ? QStringLiteral("(no picture)")
                              : QStringLiteral("(picture %1x%2)").arg(image.width()).arg(image.height());
    }
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return v.toString();
}

} // namespace

const char kUsage[] = "usage: ritractl ARGUMENT...\n"
                      "Creates one picture control offscreen and works through the arguments in\n"
                      "order, printing \"<argument> = <result>\" for each:\n"
                      "  Member(\"text\", 12)  a call (strings in double quotes, numbers bare)\n"
                      "  Property            a property read\n"
                      "  Property=value      a property write\n"
                      "  -h, --help          show this text\n"
                      "  -V, --version       show the version\n"
                      "$RITRA_LIBRARY names the control library to load.\n";

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::puts("ritractl " NORVVELM_VERSION_STRING);
        return 0;
    }
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The control is never shown: it lives on the offscreen platform, and its
    // message boxes become lines on standard error.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString error;
    RitraFactoryInterface *factory = loadRitraFactory(&error);
    if (!factory) {
        std::fprintf(stderr, "ritractl: cannot load the picture control: %s\n", qPrintable(error));
        return 2;
    }
    std::unique_ptr<QWidget> control(factory->create(QStringLiteral("Ritra.RitraCtrl.1"), nullptr));
    auto *dispatch = qobject_cast<RitraDispatch *>(control.get());
    if (!dispatch) {
        std::fprintf(stderr, "ritractl: the library made no picture control\n");
        return 2;
    }
    int status = 0;
    for (const QString &arg : args) {
        QString why;
        const auto parsed = parse(arg, &why);
        QVariant result;
        bool ok = false;
        if (parsed) {
            const int id = dispatch->dispatchId(parsed->name);
            const RitraDispatch::Call call = parsed->kind == Parsed::Put   ? RitraDispatch::Call::PropertyPut
                                             : parsed->kind == Parsed::Get ? RitraDispatch::Call::PropertyGet
                                                                           : RitraDispatch::Call::Method;
            if (id == RitraDispatch::kUnknown)
                why = QStringLiteral("unknown member ") + parsed->name;
            else
                ok = dispatch->invoke(id, call, parsed->args, &result, &why);
            if (ok && parsed->kind == Parsed::Put)
                dispatch->invoke(id, RitraDispatch::Call::PropertyGet, {}, &result, &why);
        }
        if (ok) {
            std::printf("%s = %s\n", arg.toLocal8Bit().constData(), format(result).toLocal8Bit().constData());
        } else {
            std::printf("%s = error: %s\n", arg.toLocal8Bit().constData(), why.toLocal8Bit().constData());
            status = 1;
        }
        std::fflush(stdout);
    }
    return status;
}
