#include "picture/RitraCtrl.h"

#include "picture/RitraBitmapIo.h"
#include "picture/RitraDispatchTable.h"
#include "picture/RitraJpeg.h"
#include "picture/RitraView.h"

#include <QApplication>
#include <QClipboard>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <QVarLengthArray>

#include <array>
#include <cstdio>

using namespace ritra;

namespace {

constexpr quint32 kPropertyMagic = 0x52495452; // "RITR"
constexpr quint16 kPropertyMajor = 1;
constexpr quint16 kPropertyMinor = 0;
// No bitmap or JPEG file the control accepts is larger than this.
constexpr qint64 kMaxFileSize = qint64(512) * 1024 * 1024;

// Where each dispatch identifier lands in the meta-object.
struct MemberSlot {
    bool property = false;
    int index = -1;
    QMetaProperty meta;
    // Methods: the meta-type ids of the result and of each argument.
    int returnType = QMetaType::Void;
    int argumentCount = 0;
    std::array<int, 12> argumentTypes{};
};

// Storage for one argument converted to the member's own type.
struct Argument {
    union {
        short i2;
        int i4;
        float r4;
        bool boolean;
    } number{};
    QString text;
    QVariant other;
};

// Converts `v` to the argument type `type`, the way automation coerces
// arguments: numbers from numbers or numeric text, text from anything that
// has a text form. Sets `where` to the converted value.
bool convertArgument(const QVariant &v, int type, Argument &a, void *&where) {
    bool ok = true;
    switch (type) {
    case QMetaType::Short:
        a.number.i2 = short(v.toInt(&ok));
        where = &a.number.i2;
        return ok;
    case QMetaType::Int:
        a.number.i4 = v.toInt(&ok);
        where = &a.number.i4;
        return ok;
    case QMetaType::Float:
        a.number.r4 = v.toFloat(&ok);
        where = &a.number.r4;
        return ok;
    case QMetaType::QString:
        if (v.metaType().id() == QMetaType::QString) {
            where = const_cast<void *>(v.constData());
            return true;
        }
        if (!v.canConvert<QString>())
            return false;
        a.text = v.toString();
        where = &a.text;
        return true;
    default:
        a.other = v;
        if (a.other.metaType().id() != type && !a.other.convert(QMetaType(type)))
            return false;
        where = a.other.data();
        return true;
    }
}

const MemberSlot &slotFor(int id) {
    static const auto table = [] {
        // Own members 1..181 at their id; the standard ones after them.
        std::array<MemberSlot, kLastMemberId + 1 + 5> t{};
        auto fill = [](MemberSlot &slot, const char *name) {
            const QMetaObject &mo = CRitraCtrl::staticMetaObject;
            const int p = mo.indexOfProperty(name);
            if (p >= 0) {
                slot.property = true;
                slot.index = p;
                slot.meta = mo.property(p);
                return;
            }
            for (int m = mo.methodOffset(); m < mo.methodCount(); ++m) {
                const QMetaMethod method = mo.method(m);
                if (method.methodType() == QMetaMethod::Method && method.name() == name) {
                    if (method.parameterCount() > int(slot.argumentTypes.size()))
                        return; // more arguments than a call can carry: not callable
                    slot.index = m;
                    slot.returnType = method.returnMetaType().id();
                    slot.argumentCount = method.parameterCount();
                    for (int i = 0; i < slot.argumentCount; ++i)
                        slot.argumentTypes[size_t(i)] = method.parameterMetaType(i).id();
                    return;
                }
            }
        };
        for (int member = 1; member <= kLastMemberId; ++member)
            fill(t[size_t(member)], memberName(member));
        const int standard[] = {RitraDispatch::kBackColor, RitraDispatch::kBorderStyle,
                                RitraDispatch::kForeColor, RitraDispatch::kHWnd, RitraDispatch::kAboutBox};
        for (size_t i = 0; i < 5; ++i)
            fill(t[kLastMemberId + 1 + i], memberName(standard[i]));
        return t;
    }();
    static const MemberSlot none;
    if (id >= 1 && id <= kLastMemberId)
        return table[size_t(id)];
    switch (id) {
    case RitraDispatch::kBackColor:
        return table[kLastMemberId + 1];
    case RitraDispatch::kBorderStyle:
        return table[kLastMemberId + 2];
    case RitraDispatch::kForeColor:
        return table[kLastMemberId + 3];
    case RitraDispatch::kHWnd:
        return table[kLastMemberId + 4];
    case RitraDispatch::kAboutBox:
        return table[kLastMemberId + 5];
    default:
        return none;
    }
}

bool fail(QString *error, const QString &text) {
    if (error)
        *error = text;
    return false;
}

// Copy with pixels dropped or repeated, never averaged.
QImage stretched(const QImage &src, int width, int height) {
    const QImage in = src.convertToFormat(QImage::Format_RGB32);
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull() || in.isNull())
        return QImage();
    const qint64 sw = in.width();
    const qint64 sh = in.height();
    QList<int> columns(width);
    for (int x = 0; x < width; ++x)
        columns[x] = int(x * sw / width);
    for (int y = 0; y < height; ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(in.constScanLine(int(y * sh / height)));
        auto *d = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < width; ++x)
            d[x] = s[columns[x]];
    }
    return out;
}

} // namespace

bool CRitraCtrl::noDisplay() {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
           qEnvironmentVariableIsSet("RITRA_NO_MESSAGE_BOXES");
}

// ---------------------------------------------------------------------------
// The view window.

RitraView::RitraView(CRitraCtrl *control) : QWidget(control), m_control(control) {
    setObjectName(QStringLiteral("ritraView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RitraView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (m_control->m_viewBitmap.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawImage(0, 0, m_control->m_viewBitmap);
}

static short buttonCode(Qt::MouseButtons b) {
    return short((b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
                 (b & Qt::MiddleButton ? 4 : 0));
}

void RitraView::mousePressEvent(QMouseEvent *e) {
    m_control->viewMouse(1, e->position().toPoint(), buttonCode(e->buttons()));
}
void RitraView::mouseMoveEvent(QMouseEvent *e) {
    m_control->viewMouse(0, e->position().toPoint(), buttonCode(e->buttons()));
}
void RitraView::mouseReleaseEvent(QMouseEvent *e) {
    m_control->viewMouse(2, e->position().toPoint(), buttonCode(e->button()));
}
void RitraView::mouseDoubleClickEvent(QMouseEvent *e) {
    m_control->viewMouse(3, e->position().toPoint(), buttonCode(e->buttons()));
}

// ---------------------------------------------------------------------------
// Construction, properties, dispatch.

CRitraCtrl::CRitraCtrl(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ritra"));
    m_view = new RitraView(this);
    m_view->resize(0, 0);
    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_hbar->setObjectName(QStringLiteral("ritraHorizontalBar"));
    m_vbar->setObjectName(QStringLiteral("ritraVerticalBar"));
    m_hbar->hide();
    m_vbar->hide();
    m_hbar->setSingleStep(m_changeHorz);
    m_vbar->setSingleStep(m_changeVert);
    connect(m_hbar, &QScrollBar::valueChanged, this, [this] { placeView(); });
    connect(m_vbar, &QScrollBar::valueChanged, this, [this] { placeView(); });
    resize(200, 150);
}

CRitraCtrl::~CRitraCtrl() = default;

const QStringList &CRitraCtrl::persistentProperties() {
    static const QStringList names = {QStringLiteral("ViewMarginHorz"),
                                      QStringLiteral("ViewMarginVert"),
                                      QStringLiteral("ChangeHorz"),
                                      QStringLiteral("ChangeVert"),
                                      QStringLiteral("ForeColor"),
                                      QStringLiteral("BackColor"),
                                      QStringLiteral("PenStyle"),
                                      QStringLiteral("PenWidth"),
                                      QStringLiteral("BackgroundMode"),
                                      QStringLiteral("FillStyle"),
                                      QStringLiteral("DrawMode"),
                                      QStringLiteral("TextAlign"),
                                      QStringLiteral("FontName"),
                                      QStringLiteral("FontSize"),
                                      QStringLiteral("FontBold"),
                                      QStringLiteral("FontItalic"),
                                      QStringLiteral("FontUnderline"),
                                      QStringLiteral("FontStrikeout"),
                                      QStringLiteral("TextAngle"),
                                      QStringLiteral("Visible"),
                                      QStringLiteral("AmbientColor"),
                                      QStringLiteral("CurrentX"),
                                      QStringLiteral("CurrentY"),
                                      QStringLiteral("ObjectRotation"),
                                      QStringLiteral("ObjectTranslationX"),
                                      QStringLiteral("ObjectTranslationY"),
                                      QStringLiteral("ScaleObjectHorz"),
                                      QStringLiteral("ScaleObjectVert"),
                                      QStringLiteral("FillColor"),
                                      QStringLiteral("Target"),
                                      QStringLiteral("ScrollTrack"),
                                      QStringLiteral("MouseScroll"),
                                      QStringLiteral("FilePath"),
                                      QStringLiteral("ObjectEdit"),
                                      QStringLiteral("AutoSize"),
                                      QStringLiteral("KeepAspect"),
                                      QStringLiteral("EditBoxColor"),
                                      QStringLiteral("ObjectBorder"),
                                      QStringLiteral("FontTransparent"),
                                      QStringLiteral("Transparent"),
                                      QStringLiteral("Mask")};
    return names;
}

int CRitraCtrl::dispatchId(const QString &name) const {
    return memberId(name);
}

QString CRitraCtrl::dispatchName(int id) const {
    const char *n = memberName(id);
    return n ? QString::fromLatin1(n) : QString();
}

int CRitraCtrl::eventId(const QString &name) const {
    return eventIdOf(name);
}

bool CRitraCtrl::invoke(int id, Call call, const QVariantList &args, QVariant *result, QString *error) {
    const MemberSlot &slot = slotFor(id);
    if (slot.index < 0)
        return fail(error, QStringLiteral("unknown dispatch identifier %1").arg(id));
    if (slot.property) {
        const QMetaProperty &p = slot.meta;
        if (call == Call::PropertyPut) {
            if (args.size() != 1)
                return fail(error, QStringLiteral("a property takes one value"));
            if (!p.isWritable())
                return fail(error, QStringLiteral("%1 is read-only").arg(QLatin1String(p.name())));
            Argument a;
            void *where = nullptr;
            if (!convertArgument(args.first(), p.metaType().id(), a, where))
                return fail(error, QStringLiteral("wrong type for %1").arg(QLatin1String(p.name())));
            p.write(this, QVariant(p.metaType(), where));
            if (result)
                *result = QVariant();
            return true;
        }
        if (!args.isEmpty())
            return fail(error, QStringLiteral("reading a property takes no arguments"));
        if (result)
            *result = p.read(this);
        return true;
    }
    if (call != Call::Method)
        return fail(error, QStringLiteral("%1 is a method").arg(dispatchName(id)));
    const int count = slot.argumentCount;
    if (args.size() != count)
        return fail(error, QStringLiteral("%1 takes %2 arguments").arg(dispatchName(id)).arg(count));
    QVarLengthArray<Argument, 12> converted(count);
    std::array<void *, 13> argv{};
    for (int i = 0; i < count; ++i) {
        if (!convertArgument(args[i], slot.argumentTypes[size_t(i)], converted[size_t(i)],
                             argv[size_t(i) + 1]))
            return fail(
                error,
                QStringLiteral("argument %1 of %2 has the wrong type").arg(i + 1).arg(dispatchName(id)));
    }
    short i2 = 0;
    int i4 = 0;
    QVariant ret;
    switch (slot.returnType) {
    case QMetaType::Void:
        break;
    case QMetaType::Short:
        argv[0] = &i2;
        break;
    case QMetaType::Int:
        argv[0] = &i4;
        break;
    default:
        ret = QVariant(QMetaType(slot.returnType));
        argv[0] = ret.data();
        break;
    }
    QMetaObject::metacall(this, QMetaObject::InvokeMetaMethod, slot.index, argv.data());
    if (result) {
        if (slot.returnType == QMetaType::Short)
            *result = QVariant::fromValue(i2);
        else if (slot.returnType == QMetaType::Int)
            *result = QVariant(i4);
        else
            *result = ret;
    }
    return true;
}

QByteArray CRitraCtrl::saveProperties() const {
    QByteArray block;
    QDataStream s(&block, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_0);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << kPropertyMagic << kPropertyMajor << kPropertyMinor;
    for (const QString &name : persistentProperties()) {
        const QMetaProperty p =
            staticMetaObject.property(staticMetaObject.indexOfProperty(name.toLatin1().constData()));
        const QVariant v = p.read(this);
        switch (p.metaType().id()) {
        case QMetaType::Short:
            s << qint16(v.value<short>());
            break;
        case QMetaType::Int:
            s << qint32(v.toInt());
            break;
        case QMetaType::Bool:
            s << v.toBool();
            break;
        case QMetaType::Float:
            s << v.toFloat();
            break;
        default:
            s << v.toString();
            break;
        }
    }
    return block;
}

bool CRitraCtrl::loadProperties(const QByteArray &block) {
    QDataStream s(block);
    s.setVersion(QDataStream::Qt_6_0);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    s >> magic >> major >> minor;
    if (s.status() != QDataStream::Ok || magic != kPropertyMagic || major != kPropertyMajor)
        return false;
    QList<QPair<QMetaProperty, QVariant>> values;
    for (const QString &name : persistentProperties()) {
        const QMetaProperty p =
            staticMetaObject.property(staticMetaObject.indexOfProperty(name.toLatin1().constData()));
        switch (p.metaType().id()) {
        case QMetaType::Short: {
            qint16 v = 0;
            s >> v;
            values.append({p, QVariant::fromValue(short(v))});
            break;
        }
        case QMetaType::Int: {
            qint32 v = 0;
            s >> v;
            values.append({p, QVariant(int(v))});
            break;
        }
        case QMetaType::Bool: {
            bool v = false;
            s >> v;
            values.append({p, QVariant(v)});
            break;
        }
        case QMetaType::Float: {
            float v = 0;
            s >> v;
            values.append({p, QVariant(v)});
            break;
        }
        default: {
            QString v;
            s >> v;
            values.append({p, QVariant(v)});
            break;
        }
        }
    }
    // A truncated block changes nothing.
    if (s.status() != QDataStream::Ok)
        return false;
    for (const auto &[p, v] : values)
        p.write(this, v);
    return true;
}

void CRitraCtrl::setViewMarginHorz(short v) {
    m_viewMarginHorz = v;
    updateScrollBars();
}
void CRitraCtrl::setViewMarginVert(short v) {
    m_viewMarginVert = v;
    updateScrollBars();
}
void CRitraCtrl::setChangeHorz(short v) {
    m_changeHorz = v;
    m_hbar->setSingleStep(qMax<int>(1, v));
}
void CRitraCtrl::setChangeVert(short v) {
    m_changeVert = v;
    m_vbar->setSingleStep(qMax<int>(1, v));
}
void CRitraCtrl::setBackColor(int c) {
    m_backColor = c;
    update();
}
void CRitraCtrl::setControlVisible(bool v) {
    m_visible = v;
    m_view->setVisible(v);
    if (parentWidget())
        setVisible(v);
}
void CRitraCtrl::setAmbientColor(int c) {
    m_ambientColor = c;
    update();
}
void CRitraCtrl::setScrollTrack(bool v) {
    m_scrollTrack = v;
    m_hbar->setTracking(v);
    m_vbar->setTracking(v);
}
short CRitraCtrl::colorBits() const {
    return 24;
}
int CRitraCtrl::hWndView() const {
    return int(m_view->internalWinId());
}
void CRitraCtrl::setBorderStyle(short v) {
    m_borderStyle = v;
    update();
}
int CRitraCtrl::hWndControl() const {
    return int(internalWinId());
}

// ---------------------------------------------------------------------------
// Messages.

void CRitraCtrl::showMessage(const QString &title, const QString &text, MessageIcon icon) {
    emit messageShown(title, text, int(icon));
    if (noDisplay()) {
        const QString line = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(icon == MessageIcon::Critical      ? QMessageBox::Critical
                    : icon == MessageIcon::Information ? QMessageBox::Information
                                                       : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, this);
    box.exec();
}

void CRitraCtrl::raiseError(const QString &text) {
    emit Error(0, text);
}

// ---------------------------------------------------------------------------
// Store.

int CRitraCtrl::findEntry(const QString &name) const {
    const QString key = name.toLower();
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).toLower() == key)
            return i;
    }
    return -1;
}

QImage *CRitraCtrl::resolve(const QString &name) {
    if (name.isEmpty())
        return m_current.isNull() ? nullptr : &m_current;
    if (name == QLatin1String("_view"))
        return m_viewBitmap.isNull() ? nullptr : &m_viewBitmap;
    const int i = findEntry(name);
    return (i < 0 || m_bitmaps[i].isNull()) ? nullptr : &m_bitmaps[i];
}

const QImage *CRitraCtrl::bitmap(const QString &name) const {
    return const_cast<CRitraCtrl *>(this)->resolve(name);
}

QSize CRitraCtrl::viewBitmapSize() const {
    return m_viewBitmap.size();
}

QWidget *CRitraCtrl::viewWindow() const {
    return m_view;
}

void CRitraCtrl::store(const QString &name, const QImage &result) {
    // Every stored bitmap is 32-bit RGB, which the pixel members rely on.
    const QImage image =
        result.format() == QImage::Format_RGB32 ? result : result.convertToFormat(QImage::Format_RGB32);
    if (name.isEmpty()) {
        m_current = image;
        return;
    }
    if (name == QLatin1String("_view")) {
        m_viewBitmap = image;
        viewChanged();
        return;
    }
    const int i = findEntry(name);
    if (i >= 0) {
        m_bitmaps[i] = image;
    } else {
        m_names.append(name);
        m_bitmaps.append(image);
    }
}

QString CRitraCtrl::resolveFileName(const QString &name) const {
    if (!m_filePath.isEmpty() && QDir::isRelativePath(name))
        return QDir(m_filePath).filePath(name);
    return name;
}

short CRitraCtrl::LoadBitmap(const QString &FileName, const QString &BitmapName) {
    if (BitmapName == QLatin1String("Picture")) {
        if (m_picture.isNull() || !sizeAcceptable(m_objectWidth, m_objectHeight))
            return 0;
        const QImage picture =
            m_picture.convertToFormat(QImage::Format_RGB32)
                .scaled(m_objectWidth, m_objectHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_picture = QImage();
        if (picture.isNull())
            return 0;
        store(BitmapName, picture);
        return 1;
    }
    const QString path = resolveFileName(FileName);
    if (!QFileInfo(path).isFile()) {
        const QString text = QStringLiteral("Cannot find file: ") + path;
        showMessage(QString(), text, MessageIcon::None);
        raiseError(text);
        return 0;
    }
    const QString lower = path.toLower();
    QImage image;
    if (lower.contains(QLatin1String(".jpg")) || lower.contains(QLatin1String(".jpeg"))) {
        image = decodeJpegFile(path);
        if (image.isNull()) {
            raiseError(QStringLiteral("Cannot read file: ") + path);
            return 0;
        }
    } else {
        QFile file(path);
        QString why;
        if (!file.open(QIODevice::ReadOnly))
            why = file.errorString();
        else if (file.size() > kMaxFileSize)
            why = QStringLiteral("file too large");
        else
            image = readDibFile(file.readAll(), &why);
        if (image.isNull()) {
            const QString text =
                QStringLiteral("Cannot read file: ") + path + QStringLiteral(" (") + why + QLatin1Char(')');
            showMessage(QString(), text, MessageIcon::None);
            raiseError(text);
            return 0;
        }
    }
    store(BitmapName, image);
    return 1;
}

QImage CRitraCtrl::decodeJpegFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(QString(), QStringLiteral("JPEG :\nCan't open ") + path + QLatin1Char('\n'),
                    MessageIcon::None);
        return QImage();
    }
    RgbBuffer buffer;
    QString message;
    if (file.size() > kMaxFileSize) {
        showMessage(QStringLiteral("JPEG Fatal Error"), QStringLiteral("File too large"),
                    MessageIcon::Critical);
        return QImage();
    }
    switch (decodeJpeg(file.readAll(), &buffer, &message)) {
    case JpegFailure::Fatal:
        showMessage(QStringLiteral("JPEG Fatal Error"), message, MessageIcon::Critical);
        return QImage();
    case JpegFailure::OutOfMemory:
        showMessage(QString(), QStringLiteral("JpegFile :\nOut of memory"), MessageIcon::Critical);
        return QImage();
    case JpegFailure::None:
        break;
    }
    const QImage decoded = imageFromRgb(buffer);
    if (decoded.isNull())
        return QImage();
    // The bitmap starts in the control's fill colour; the picture covers it.
    QImage bitmap(decoded.size(), QImage::Format_RGB32);
    bitmap.fill(qRgb(0x62, 0x00, 0xFF));
    QPainter painter(&bitmap);
    painter.drawImage(0, 0, decoded);
    painter.end();
    return bitmap;
}

bool CRitraCtrl::writeFile(const QString &path, const QByteArray &bytes, bool reportErrors) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reportErrors)
            showMessage(QStringLiteral("Error"), QStringLiteral("Error in openning file: ") + path,
                        MessageIcon::Information);
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (reportErrors)
            showMessage(QStringLiteral("Error"), QStringLiteral("Error in saving file: ") + path,
                        MessageIcon::Information);
        return false;
    }
    return true;
}

short CRitraCtrl::SaveBitmap(const QString &FileName, const QString &BitmapName) {
    const QString path = resolveFileName(FileName);
    if (FileName.trimmed().isEmpty() || FileName.endsWith(QLatin1Char('/')) || QFileInfo(path).isDir() ||
        FileName.contains(QChar(0))) {
        const QString text = QStringLiteral("Invalid file name: ") + FileName;
        showMessage(QString(), text, MessageIcon::None);
        raiseError(text);
        return 0;
    }
    const QImage *image = resolve(BitmapName);
    if (!image)
        return 0;
    QByteArray bytes = encodeBmp24(*image);
    if (bytes.isEmpty()) {
        showMessage(QStringLiteral("Error"), QStringLiteral("Couldn't save DIB"), MessageIcon::Information);
        return 0;
    }
    if (FileName.toLower().contains(QLatin1String(".jpg"))) {
        // The BMP goes through the conversion in memory: no BMP is ever left
        // behind under the JPEG name.
        QString status;
        const RgbBuffer buffer = readBmpForConversion(bytes, &status);
        QString message;
        QByteArray jpeg;
        if (buffer.isNull())
            return 0;
        if (encodeJpeg(buffer, true, 75, &jpeg, &message) != JpegFailure::None) {
            showMessage(QStringLiteral("JPEG Fatal Error"), message, MessageIcon::Critical);
            return 0;
        }
        bytes = jpeg;
    }
    return writeFile(path, bytes, true) ? 1 : 0;
}

short CRitraCtrl::ConvertBmpToJpg(const QString &FileName1, const QString &FileName2) {
    const QString source = resolveFileName(FileName1);
    const QString target = resolveFileName(FileName2);
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return 0;
    QString status;
    const RgbBuffer buffer = readBmpForConversion(file.readAll(), &status);
    file.close();
    if (buffer.isNull())
        return 0;
    QByteArray jpeg;
    QString message;
    switch (encodeJpeg(buffer, true, 75, &jpeg, &message)) {
    case JpegFailure::None:
        break;
    case JpegFailure::Fatal:
        showMessage(QStringLiteral("JPEG Fatal Error"), message, MessageIcon::Critical);
        return 0;
    case JpegFailure::OutOfMemory:
        showMessage(QString(), QStringLiteral("Memory error"), MessageIcon::Critical);
        return 0;
    }
    return writeFile(target, jpeg, false) ? 1 : 0;
}

short CRitraCtrl::RemoveBitmap(const QString &Name) {
    if (Name.isEmpty()) {
        m_current = QImage();
        return 1;
    }
    if (Name == QLatin1String("_view")) {
        m_viewBitmap = QImage();
        viewChanged();
        return 1;
    }
    const int i = findEntry(Name);
    if (i < 0)
        return 0;
    m_names.removeAt(i);
    m_bitmaps.removeAt(i);
    return 1;
}

short CRitraCtrl::RemoveAll() {
    m_names.clear();
    m_bitmaps.clear();
    return 1;
}

short CRitraCtrl::GetBitmapCount() {
    return short(m_names.size());
}

short CRitraCtrl::CreateBitmap(const QString &Name, short Width, short Height) {
    if (!sizeAcceptable(Width, Height))
        return 0;
    QImage image(Width, Height, QImage::Format_RGB32);
    if (image.isNull())
        return 0;
    image.fill(qRgb(m_backColor & 0xFF, (m_backColor >> 8) & 0xFF, (m_backColor >> 16) & 0xFF));
    store(Name, image);
    return 1;
}

short CRitraCtrl::CopyBitmap(const QString &Name1, const QString &Name2) {
    const QImage *source = resolve(Name1);
    if (!source)
        return 0;
    store(Name2, source->copy());
    return 1;
}

QString CRitraCtrl::GetBitmapName(short Index) {
    return (Index >= 1 && Index <= m_names.size()) ? m_names.at(Index - 1) : QString();
}

short CRitraCtrl::GetBitmapIndex(const QString &Name) {
    if (Name.isEmpty())
        return 0;
    return short(findEntry(Name) + 1);
}

short CRitraCtrl::IsBitmapPresent(const QString &Name) {
    return GetBitmapIndex(Name);
}

short CRitraCtrl::SetBitmapName(const QString &Name, const QString &NewName) {
    const int i = findEntry(Name);
    if (i < 0 || Name.isEmpty() || NewName.isEmpty() || NewName == QLatin1String("_view"))
        return 0;
    const int other = findEntry(NewName);
    if (other >= 0 && other != i)
        return 0;
    m_names[i] = NewName;
    return 1;
}

short CRitraCtrl::CopyBitmapToClipboard(const QString &Name) {
    const QImage *image = resolve(Name);
    if (!image || !QGuiApplication::clipboard())
        return 0;
    QGuiApplication::clipboard()->setImage(*image);
    return 1;
}

short CRitraCtrl::GetBitmapFromClipboard(const QString &Name) {
    if (!QGuiApplication::clipboard())
        return 0;
    const QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull() || !sizeAcceptable(image.width(), image.height()))
        return 0;
    store(Name, image.convertToFormat(QImage::Format_RGB32));
    return 1;
}

short CRitraCtrl::StretchBitmap(const QString &Name, short Width, short Height) {
    const QImage *source = resolve(Name);
    if (!source || !sizeAcceptable(Width, Height))
        return 0;
    const QImage result = stretched(*source, Width, Height);
    if (result.isNull())
        return 0;
    m_current = result;
    return 1;
}

short CRitraCtrl::GetBitmapSize(const QString &Name) {
    const QImage *image = resolve(Name);
    if (!image)
        return 0;
    m_objectWidth = image->width();
    m_objectHeight = image->height();
    return 1;
}

short CRitraCtrl::GetPixel(const QString &Name, short x, short y) {
    const QImage *image = resolve(Name);
    if (!image)
        return 0;
    if (x < 0 || y < 0 || x >= image->width() || y >= image->height()) {
        m_colorR = m_colorG = m_colorB = 255;
        return 1;
    }
    const QRgb c = image->pixel(x, y);
    m_colorR = short(qRed(c));
    m_colorG = short(qGreen(c));
    m_colorB = short(qBlue(c));
    return 1;
}

short CRitraCtrl::SetPixel(const QString &Name, short x, short y, short r, short g, short b) {
    QImage *image = resolve(Name);
    if (!image)
        return 0;
    if (x < 0 || y < 0 || x >= image->width() || y >= image->height())
        return 1;
    reinterpret_cast<QRgb *>(image->scanLine(y))[x] = qRgb(r & 0xFF, g & 0xFF, b & 0xFF);
    if (image == &m_viewBitmap)
        m_view->update(x, y, 1, 1);
    return 1;
}

// ---------------------------------------------------------------------------
// View.

short CRitraCtrl::ShowBitmap(const QString &Name, short ResetScroll) {
    if (Name == QLatin1String("_blank")) {
        m_zoom = 100;
        m_viewBitmap = QImage();
        viewChanged();
        return 1;
    }
    const QImage *image = resolve(Name);
    if (!image)
        return 0;
    m_zoom = 100;
    m_viewBitmap = image->copy();
    layoutView(m_viewBitmap.width(), m_viewBitmap.height(), ResetScroll);
    return 1;
}

short CRitraCtrl::ZoomBitmap(const QString &Name, short Zoom) {
    const QImage *image = resolve(Name);
    if (!image || Zoom <= 0)
        return 0;
    qint64 w = 0;
    qint64 h = 0;
    if (Zoom % 100 == 0) {
        w = qint64(image->width()) * Zoom / 100;
        h = qint64(image->height()) * Zoom / 100;
    } else {
        w = qint64(double(image->width()) * Zoom * 0.01);
        h = qint64(double(image->height()) * Zoom * 0.01);
    }
    if (!sizeAcceptable(w, h))
        return 0;
    const QImage result = stretched(*image, int(w), int(h));
    if (result.isNull())
        return 0;
    m_zoom = Zoom;
    m_viewBitmap = result;
    layoutView(int(w), int(h), 1);
    return 1;
}

short CRitraCtrl::GetZoomValue() {
    return m_zoom;
}

void CRitraCtrl::layoutView(int width, int height, int mode) {
    m_view->resize(width, height);
    if (mode == 1) {
        m_hbar->setValue(m_hbar->minimum());
        m_vbar->setValue(m_vbar->minimum());
    }
    updateScrollBars();
    if (mode == 1) {
        m_hbar->setValue(m_hbar->minimum());
        m_vbar->setValue(m_vbar->minimum());
    }
    placeView();
    m_view->update();
    update();
}

void CRitraCtrl::updateScrollBars() {
    const int w = m_view->width();
    const int h = m_view->height();
    const bool needH = !m_viewBitmap.isNull() && width() < w + 2 * m_viewMarginHorz;
    const bool needV = !m_viewBitmap.isNull() && height() < h + 2 * m_viewMarginVert;
    const int barH = m_hbar->sizeHint().height();
    const int barV = m_vbar->sizeHint().width();
    const int visibleW = width() - (needV ? barV : 0);
    const int visibleH = height() - (needH ? barH : 0);
    m_hbar->setRange(0, qMax(0, w + 2 * m_viewMarginHorz - visibleW));
    m_vbar->setRange(0, qMax(0, h + 2 * m_viewMarginVert - visibleH));
    m_hbar->setPageStep(qMax(1, visibleW));
    m_vbar->setPageStep(qMax(1, visibleH));
    m_hbar->setGeometry(0, height() - barH, visibleW, barH);
    m_vbar->setGeometry(width() - barV, 0, barV, visibleH);
    m_hbar->setVisible(needH);
    m_vbar->setVisible(needV);
    placeView();
}

void CRitraCtrl::placeView() {
    m_view->move(m_viewMarginHorz - m_hbar->value(), m_viewMarginVert - m_vbar->value());
}

void CRitraCtrl::viewChanged() {
    if (m_viewBitmap.isNull())
        m_view->resize(0, 0);
    else if (m_view->size() != m_viewBitmap.size())
        m_view->resize(m_viewBitmap.size());
    updateScrollBars();
    m_view->update();
    update();
}

void CRitraCtrl::resizeEvent(QResizeEvent *) {
    updateScrollBars();
}

void CRitraCtrl::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(),
               QColor(m_ambientColor & 0xFF, (m_ambientColor >> 8) & 0xFF, (m_ambientColor >> 16) & 0xFF));
    if (m_borderStyle == ViewBorderFixedSingle) {
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CRitraCtrl::RefreshView() {
    m_view->update();
    update();
}

short CRitraCtrl::MoveControl(short x, short y, short Width, short Height, short Repaint) {
    if (Width < 0 || Height < 0)
        return 0;
    setGeometry(x, y, Width, Height);
    if (Repaint)
        RefreshView();
    return 1;
}

short CRitraCtrl::ShowScroll(short Bar, short Show) {
    QScrollBar *bar = Bar == 0 ? m_hbar : Bar == 1 ? m_vbar : nullptr;
    if (!bar)
        return 0;
    bar->setVisible(Show != 0);
    return 1;
}

void CRitraCtrl::SetScrollPosition(short Bar, short Pos) {
    if (Bar == 0)
        m_hbar->setValue(Pos);
    else if (Bar == 1)
        m_vbar->setValue(Pos);
}

short CRitraCtrl::GetScrollPosition(short Bar) {
    if (Bar == 0)
        return short(m_hbar->value());
    if (Bar == 1)
        return short(m_vbar->value());
    return 0;
}

void CRitraCtrl::viewMouse(short type, QPoint pos, short button) {
    const int zoom = m_zoom > 0 ? m_zoom : 100;
    const QPoint at(int(qint64(pos.x()) * 100 / zoom), int(qint64(pos.y()) * 100 / zoom));
    if (m_mouseScroll && (button & 1)) {
        if (type == 1) {
            m_dragStart = mapFromGlobal(m_view->mapToGlobal(pos));
            m_dragScroll = QPoint(m_hbar->value(), m_vbar->value());
        } else if (type == 0) {
            const QPoint now = mapFromGlobal(m_view->mapToGlobal(pos));
            m_hbar->setValue(m_dragScroll.x() - (now.x() - m_dragStart.x()));
            m_vbar->setValue(m_dragScroll.y() - (now.y() - m_dragStart.y()));
        }
    } else if (type == 1 && (button & 1)) {
        m_points.append(at);
    }
    emit MouseEvent(type, short(at.x()), short(at.y()), button);
}

void CRitraCtrl::AboutBox() {
    showMessage(QStringLiteral("About The Control"),
                QStringLiteral("Ritra picture control ") + QLatin1String(NORVVELM_VERSION_STRING),
                MessageIcon::Information);
}
