// The picture control as a host sees it: the store, files, view, dispatch
// identifiers, property persistence, the plugin factory and ritractl.
#include "picture/RitraBitmapIo.h"
#include "picture/RitraCtrl.h"
#include "support/BmpBuilder.h"

#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray colourBmp(int width, int height) {
    BmpLayout s;
    s.width = width;
    s.height = height;
    s.pixel = [](int x, int y) { return quint32(qRgb(x % 256, y % 256, 77)); };
    return makeBmp(s);
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QVariant call(CRitraCtrl &c, const char *name, const QVariantList &args = {}) {
    QVariant result;
    QString error;
    const bool ok =
        c.invoke(c.dispatchId(QLatin1String(name)), RitraDispatch::Call::Method, args, &result, &error);
    if (!ok)
        qWarning("%s: %s", name, qPrintable(error));
    return result;
}

QVariant get(CRitraCtrl &c, const char *name) {
    QVariant result;
    QString error;
    c.invoke(c.dispatchId(QLatin1String(name)), RitraDispatch::Call::PropertyGet, {}, &result, &error);
    return result;
}

QRgb pixelOf(CRitraCtrl &c, const QString &name, int x, int y) {
    return c.bitmap(name)->pixel(x, y) & 0xFFFFFF;
}

} // namespace

class TestRitraCtrl : public QObject {
    Q_OBJECT

private slots:
    void init();
    void namesAreCaseInsensitiveAndPositional();
    void loadResolvesFilePath();
    void loadFailuresAreReported_data();
    void loadFailuresAreReported();
    void jpegTestLooksAnywhereInTheName();
    void pictureProperty();
    void mouseInTheView();
    void pixelsInsideAndOutside();
    void stretchMakesCurrentAndNeverAverages();
    void showAndZoomLayTheViewOut();
    void saveWritesBmpAndJpeg();
    void saveFailuresReturnZero();
    void conversion();
    void processing();
    void drawingAndFlood();
    void primitivesTouchTheTarget_data();
    void primitivesTouchTheTarget();
    void indexedSaveReadsBack_data();
    void indexedSaveReadsBack();
    void dispatchIdentifiers_data();
    void dispatchIdentifiers();
    void everyMemberIsCallable();
    void dispatchRefusesBadCalls();
    void unsupportedMembersFail();
    void propertiesPersist();
    void pluginFactory();
    void ritractlSurvivesHostileFiles();
    void logoPreparationThroughDispatch();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestRitraCtrl::init() {
    QVERIFY(m_dir.isValid());
}

void TestRitraCtrl::namesAreCaseInsensitiveAndPositional() {
    CRitraCtrl c;
    QCOMPARE(c.CreateBitmap(QStringLiteral("Logo"), 4, 4), short(1));
    QCOMPARE(c.CreateBitmap(QStringLiteral("other"), 2, 2), short(1));
    QCOMPARE(c.CreateBitmap(QStringLiteral("LOGO"), 8, 3), short(1)); // replaces the entry
    QCOMPARE(c.GetBitmapCount(), short(2));
    QCOMPARE(c.GetBitmapIndex(QStringLiteral("logo")), short(1));
    QCOMPARE(c.IsBitmapPresent(QStringLiteral("OTHER")), short(2));
    QCOMPARE(c.IsBitmapPresent(QStringLiteral("none")), short(0));
    QCOMPARE(c.GetBitmapSize(QStringLiteral("Logo")), short(1));
    QCOMPARE(get(c, "ObjectWidth").toInt(), 8);
    QCOMPARE(c.GetBitmapName(1), QStringLiteral("Logo"));
    QCOMPARE(c.GetBitmapName(0), QString());
    QCOMPARE(c.GetBitmapName(3), QString());

    QCOMPARE(c.SetBitmapName(QStringLiteral("logo"), QStringLiteral("OTHER")), short(0)); // name taken
    QCOMPARE(c.SetBitmapName(QStringLiteral("logo"), QStringLiteral("Marchio")), short(1));
    QCOMPARE(c.GetBitmapIndex(QStringLiteral("marchio")), short(1));

    QCOMPARE(c.CopyBitmap(QStringLiteral("marchio"), QString()), short(1));
    QCOMPARE(c.RemoveBitmap(QStringLiteral("ghost")), short(0));
    QCOMPARE(c.RemoveAll(), short(1));
    QCOMPARE(c.GetBitmapCount(), short(0));
    QVERIFY(c.bitmap(QString())); // the current bitmap stays
    QCOMPARE(c.RemoveBitmap(QString()), short(1));
    QVERIFY(!c.bitmap(QString()));
    QCOMPARE(c.CopyBitmap(QString(), QStringLiteral("x")), short(0));
}

void TestRitraCtrl::loadResolvesFilePath() {
    writeFile(path(QStringLiteral("logo.bmp")), colourBmp(100, 60));
    CRitraCtrl c;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const short fromCurrentFolder = c.LoadBitmap(QStringLiteral("logo.bmp"), QString());
    QDir::setCurrent(cwd);
    QCOMPARE(fromCurrentFolder, short(1));
    QCOMPARE(c.bitmap(QString())->size(), QSize(100, 60));

    c.setProperty("FilePath", m_dir.path());
    QCOMPARE(c.LoadBitmap(QStringLiteral("logo.bmp"), QStringLiteral("a")), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("a"), 99, 59), qRgb(99, 59, 77) & 0xFFFFFF);
    // An absolute name ignores FilePath.
    c.setProperty("FilePath", QStringLiteral("/nowhere"));
    QCOMPARE(c.LoadBitmap(path(QStringLiteral("logo.bmp")), QStringLiteral("b")), short(1));
}

void TestRitraCtrl::loadFailuresAreReported_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing.bmp" << QByteArray() << "Cannot find file: ";
    QTest::newRow("four bytes") << "four.bmp" << QByteArray("BM\0\0", 4) << "Cannot read file: ";
    QTest::newRow("not a JPEG") << "bad.jpg" << QByteArray("garbage, not a JPEG") << "Not a JPEG file";
}

void TestRitraCtrl::loadFailuresAreReported() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    if (!content.isEmpty())
        writeFile(path(file), content);
    CRitraCtrl c;
    c.CreateBitmap(QStringLiteral("keep"), 3, 3);
    QSignalSpy shown(&c, &CRitraCtrl::messageShown);
    QSignalSpy errors(&c, &CRitraCtrl::Error);
    QCOMPARE(c.LoadBitmap(path(file), QStringLiteral("keep")), short(0));
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0][1].toString().contains(message), qPrintable(shown[0][1].toString()));
    QCOMPARE(errors.size(), 1);
    // A failed load leaves the entry as it was.
    QCOMPARE(c.bitmap(QStringLiteral("keep"))->size(), QSize(3, 3));
}

void TestRitraCtrl::jpegTestLooksAnywhereInTheName() {
    CRitraCtrl c;
    c.CreateBitmap(QString(), 5, 4);
    QCOMPARE(c.SaveBitmap(path(QStringLiteral("x.jpg")), QString()), short(1));
    QFile::copy(path(QStringLiteral("x.jpg")), path(QStringLiteral("x.jpg.bmp")));
    QCOMPARE(c.LoadBitmap(path(QStringLiteral("x.jpg.bmp")), QStringLiteral("j")), short(1));
    QCOMPARE(c.bitmap(QStringLiteral("j"))->size(), QSize(5, 4));
    // A real BMP under such a name is taken for a JPEG and refused.
    writeFile(path(QStringLiteral("y.JPEG.bmp")), colourBmp(2, 2));
    QCOMPARE(c.LoadBitmap(path(QStringLiteral("y.JPEG.bmp")), QStringLiteral("k")), short(0));
}

void TestRitraCtrl::pictureProperty() {
    CRitraCtrl c;
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qRgb(0, 128, 255));
    c.setProperty("Picture", picture);
    c.setProperty("ObjectWidth", 8);
    c.setProperty("ObjectHeight", 4);
    QCOMPARE(c.LoadBitmap(QString(), QStringLiteral("Picture")), short(1));
    QCOMPARE(c.bitmap(QStringLiteral("Picture"))->size(), QSize(8, 4));
    QCOMPARE(pixelOf(c, QStringLiteral("Picture"), 7, 3), qRgb(0, 128, 255) & 0xFFFFFF);
    QVERIFY(c.property("Picture").value<QImage>().isNull()); // taken, then reset
    QCOMPARE(c.LoadBitmap(QString(), QStringLiteral("Picture")), short(0));
}

void TestRitraCtrl::mouseInTheView() {
    CRitraCtrl c;
    c.CreateBitmap(QString(), 50, 50);
    c.ZoomBitmap(QString(), 200);
    QSignalSpy mouse(&c, &CRitraCtrl::MouseEvent);
    QTest::mousePress(c.viewWindow(), Qt::LeftButton, {}, QPoint(20, 30));
    QCOMPARE(mouse.size(), 1);
    QCOMPARE(mouse[0][0].toInt(), 1);  // press
    QCOMPARE(mouse[0][1].toInt(), 10); // bitmap coordinates: the zoom undone
    QCOMPARE(mouse[0][2].toInt(), 15);
    QCOMPARE(c.GetPointCount(), short(1));
    QCOMPARE(c.GetPoint(1), short(1));
    QCOMPARE(c.property("CurrentX").toInt(), 10);
    QCOMPARE(c.GetPolygonData(), short(1));
    QCOMPARE(c.property("Polygon").toString(), QStringLiteral("10,15"));
    QCOMPARE(c.RemoveLastPoint(), short(1));
    QCOMPARE(c.GetPoint(1), short(0));
}

void TestRitraCtrl::pixelsInsideAndOutside() {
    CRitraCtrl c;
    c.CreateBitmap(QString(), 256, 256);
    QCOMPARE(call(c, "SetPixel", {QString(), 10, 20, 256 + 7, -1, 300}).toInt(), 1);
    QCOMPARE(call(c, "GetPixel", {QString(), 10, 20}).toInt(), 1);
    QCOMPARE(get(c, "ColorR").toInt(), 7);
    QCOMPARE(get(c, "ColorG").toInt(), 255);
    QCOMPARE(get(c, "ColorB").toInt(), 44);
    c.SetPixel(QString(), 0, 0, 1, 2, 3);
    QCOMPARE(call(c, "GetPixel", {QString(), 300, 10}).toInt(), 1);
    QCOMPARE(get(c, "ColorR").toInt(), 255);
    QCOMPARE(get(c, "ColorG").toInt(), 255);
    QCOMPARE(get(c, "ColorB").toInt(), 255);
    QCOMPARE(c.SetPixel(QString(), -1, 5, 0, 0, 0), short(1)); // outside: nothing changes
    // Unknown name: failure and the colour properties keep their values.
    QCOMPARE(c.GetPixel(QStringLiteral("ghost"), 0, 0), short(0));
    QCOMPARE(get(c, "ColorR").toInt(), 255);
    QCOMPARE(c.SetPixel(QStringLiteral("ghost"), 0, 0, 0, 0, 0), short(0));
    QCOMPARE(c.GetBitmapSize(QStringLiteral("ghost")), short(0));
}

void TestRitraCtrl::stretchMakesCurrentAndNeverAverages() {
    CRitraCtrl c;
    c.CreateBitmap(QStringLiteral("a"), 2, 1);
    c.SetPixel(QStringLiteral("a"), 0, 0, 255, 0, 0);
    c.SetPixel(QStringLiteral("a"), 1, 0, 0, 0, 255);
    const QImage before = *c.bitmap(QStringLiteral("a"));
    QCOMPARE(c.StretchBitmap(QStringLiteral("a"), 64, 64), short(1));
    QCOMPARE(*c.bitmap(QStringLiteral("a")), before);
    QCOMPARE(c.bitmap(QString())->size(), QSize(64, 64));
    QCOMPARE(pixelOf(c, QString(), 31, 10), 0xFF0000u);
    QCOMPARE(pixelOf(c, QString(), 32, 63), 0x0000FFu);
    QCOMPARE(c.StretchBitmap(QStringLiteral("a"), 3, 1), short(1));
    QCOMPARE(pixelOf(c, QString(), 1, 0), 0xFF0000u); // dropped or repeated, never a mix
    QCOMPARE(c.StretchBitmap(QStringLiteral("a"), 0, 5), short(0));
    QCOMPARE(c.StretchBitmap(QStringLiteral("ghost"), 5, 5), short(0));
}

void TestRitraCtrl::showAndZoomLayTheViewOut() {
    CRitraCtrl c;
    c.resize(100, 100);
    c.setProperty("ViewMarginHorz", 5);
    c.setProperty("ViewMarginVert", 5);
    c.CreateBitmap(QString(), 80, 95);
    QCOMPARE(c.ShowBitmap(QString(), 1), short(1));
    QCOMPARE(c.GetZoomValue(), short(100));
    QCOMPARE(c.viewWindow()->geometry(), QRect(5, 5, 80, 95));
    QVERIFY(c.horizontalBar()->isHidden()); // 100 >= 80 + 10
    QVERIFY(!c.verticalBar()->isHidden());  // 100 < 95 + 10
    QCOMPARE(c.ZoomBitmap(QString(), 150), short(1));
    QCOMPARE(c.GetZoomValue(), short(150));
    QCOMPARE(c.viewBitmapSize(), QSize(120, 142)); // 95 * 150 * 0.01 truncated
    QVERIFY(!c.horizontalBar()->isHidden());
    QCOMPARE(c.bitmap(QString())->size(), QSize(80, 95)); // the stored bitmap is unchanged
    QCOMPARE(c.ZoomBitmap(QString(), 200), short(1));
    QCOMPARE(c.viewBitmapSize(), QSize(160, 190));
    QCOMPARE(c.ZoomBitmap(QString(), 0), short(0));
    // The view bitmap has a name of its own.
    QCOMPARE(c.SetPixel(QStringLiteral("_view"), 0, 0, 1, 2, 3), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("_view"), 0, 0), qRgb(1, 2, 3) & 0xFFFFFF);
    QCOMPARE(c.ShowBitmap(QStringLiteral("_blank"), 1), short(1));
    QVERIFY(!c.bitmap(QStringLiteral("_view")));
    QCOMPARE(c.ShowBitmap(QStringLiteral("ghost"), 1), short(0));
}

void TestRitraCtrl::saveWritesBmpAndJpeg() {
    CRitraCtrl c;
    c.CreateBitmap(QString(), 3, 5);
    c.SetPixel(QString(), 2, 4, 10, 20, 30);
    QCOMPARE(c.SaveBitmap(path(QStringLiteral("out.bmp")), QString()), short(1));
    const QByteArray bmp = readFile(path(QStringLiteral("out.bmp")));
    QCOMPARE(bmp.size(), 54 + 12 * 5);
    QCOMPARE(int(bmp[28]), 24);
    QCOMPARE(ritra::readDibFile(bmp), *c.bitmap(QString()));
    // Saving over an existing file replaces it.
    c.CreateBitmap(QStringLiteral("small"), 1, 1);
    QCOMPARE(c.SaveBitmap(path(QStringLiteral("out.bmp")), QStringLiteral("small")), short(1));
    QCOMPARE(readFile(path(QStringLiteral("out.bmp"))).size(), 54 + 4);
    QCOMPARE(c.SaveBitmap(path(QStringLiteral("out.JPG")), QString()), short(1));
    QVERIFY(readFile(path(QStringLiteral("out.JPG"))).startsWith("\xFF\xD8\xFF"));
}

void TestRitraCtrl::saveFailuresReturnZero() {
    CRitraCtrl c;
    QSignalSpy shown(&c, &CRitraCtrl::messageShown);
    c.CreateBitmap(QString(), 2, 2);
    QCOMPARE(c.SaveBitmap(QString(), QString()), short(0));
    QCOMPARE(shown.last()[1].toString(), QStringLiteral("Invalid file name: "));
    QCOMPARE(c.SaveBitmap(m_dir.path(), QString()), short(0));
    QCOMPARE(c.SaveBitmap(path(QStringLiteral("x.bmp")), QStringLiteral("ghost")), short(0));
    QVERIFY(!QFile::exists(path(QStringLiteral("x.bmp"))));
    const QString deep = path(QStringLiteral("no/such/folder/x.bmp"));
    QCOMPARE(c.SaveBitmap(deep, QString()), short(0));
    QCOMPARE(shown.last()[0].toString(), QStringLiteral("Error"));
    QCOMPARE(shown.last()[1].toString(), QStringLiteral("Error in openning file: ") + deep);
}

void TestRitraCtrl::conversion() {
    CRitraCtrl c;
    BmpLayout narrow;
    narrow.width = 3;
    narrow.height = 5;
    writeFile(path(QStringLiteral("narrow.bmp")), makeBmp(narrow));
    QCOMPARE(c.ConvertBmpToJpg(path(QStringLiteral("narrow.bmp")), path(QStringLiteral("n.jpg"))), short(1));
    QCOMPARE(c.LoadBitmap(path(QStringLiteral("n.jpg")), QString()), short(1));
    QCOMPARE(c.bitmap(QString())->size(), QSize(3, 5));

    // Onto an existing JPEG: the file is replaced.
    writeFile(path(QStringLiteral("wide.bmp")), colourBmp(20, 2));
    QCOMPARE(c.ConvertBmpToJpg(path(QStringLiteral("wide.bmp")), path(QStringLiteral("n.jpg"))), short(1));
    c.LoadBitmap(path(QStringLiteral("n.jpg")), QString());
    QCOMPARE(c.bitmap(QString())->size(), QSize(20, 2));

    // In place, as a save to a JPEG name does.
    writeFile(path(QStringLiteral("same.jpg")), colourBmp(8, 8));
    QCOMPARE(c.ConvertBmpToJpg(path(QStringLiteral("same.jpg")), path(QStringLiteral("same.jpg"))), short(1));
    QVERIFY(readFile(path(QStringLiteral("same.jpg"))).startsWith("\xFF\xD8"));

    BmpLayout rle;
    rle.bpp = 8;
    rle.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    rle.compression = 1;
    writeFile(path(QStringLiteral("rle.bmp")), makeBmp(rle));
    QCOMPARE(c.ConvertBmpToJpg(path(QStringLiteral("rle.bmp")), path(QStringLiteral("rle.jpg"))), short(0));
    QVERIFY(!QFile::exists(path(QStringLiteral("rle.jpg"))));
    QCOMPARE(c.ConvertBmpToJpg(path(QStringLiteral("absent.bmp")), path(QStringLiteral("a.jpg"))), short(0));
}

void TestRitraCtrl::processing() {
    CRitraCtrl c;
    c.CreateBitmap(QStringLiteral("a"), 3, 2); // white (BackColor)
    c.SetPixel(QStringLiteral("a"), 0, 0, 255, 0, 0);
    QCOMPARE(c.FlipBitmap(QStringLiteral("a"), 0), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("a"), 2, 0), 0xFF0000u);
    QCOMPARE(c.FlipBitmap(QStringLiteral("a"), 1), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("a"), 2, 1), 0xFF0000u);

    QCOMPARE(c.RotateBitmap(QStringLiteral("a"), QStringLiteral("r"), 90, 1, 0, 0), short(1));
    QCOMPARE(c.bitmap(QStringLiteral("r"))->size(), QSize(2, 3));
    QCOMPARE(pixelOf(c, QStringLiteral("r"), 0, 2), 0xFF0000u);

    QCOMPARE(c.CutBitmap(QStringLiteral("a"), 1, 1, 2, 2), short(1));
    QCOMPARE(c.bitmap(QString())->size(), QSize(2, 2));
    QCOMPARE(pixelOf(c, QString(), 1, 0), 0xFF0000u);
    QCOMPARE(pixelOf(c, QString(), 1, 1), 0xFFFFFFu); // outside the source: BackColor

    QCOMPARE(c.AppendBitmap(QStringLiteral("a"), QStringLiteral("r")), short(1));
    QCOMPARE(c.bitmap(QStringLiteral("a"))->size(), QSize(5, 3));

    c.CreateBitmap(QStringLiteral("dst"), 4, 4);
    c.ChangeColor(QStringLiteral("dst"), 255, 255, 255, 0, 0, 0, 0); // all black
    QCOMPARE(c.DrawBitmapToBitmap(QStringLiteral("r"), QStringLiteral("dst"), 1, 1, 1), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("dst"), 1, 1), 0u);        // white of the source skipped
    QCOMPARE(pixelOf(c, QStringLiteral("dst"), 1, 3), 0xFF0000u); // red copied

    QCOMPARE(c.BitmapToMask(QStringLiteral("dst")), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("dst"), 0, 0), 0u);
    c.CreateBitmap(QStringLiteral("m"), 5, 5);
    c.ChangeColor(QStringLiteral("m"), 255, 255, 255, 0, 0, 0, 0);
    QCOMPARE(c.MaskToEdge(QStringLiteral("m")), short(1));
    QCOMPARE(pixelOf(c, QStringLiteral("m"), 0, 2), 0u);        // border of the black area
    QCOMPARE(pixelOf(c, QStringLiteral("m"), 2, 2), 0xFFFFFFu); // inside

    QCOMPARE(c.ChangeColor(QStringLiteral("m"), 0, 0, 0, 9, 9, 9, 1), short(1)); // every colour but black
    QCOMPARE(pixelOf(c, QStringLiteral("m"), 2, 2), qRgb(9, 9, 9) & 0xFFFFFF);

    QCOMPARE(c.CopyBitmapToClipboard(QStringLiteral("m")), short(1));
    QCOMPARE(c.GetBitmapFromClipboard(QStringLiteral("clip")), short(1));
    QCOMPARE(c.bitmap(QStringLiteral("clip"))->size(), QSize(5, 5));
}

void TestRitraCtrl::drawingAndFlood() {
    CRitraCtrl c;
    c.CreateBitmap(QString(), 10, 10);
    c.DrawLine(0, 5, 9, 5); // ForeColor black
    QCOMPARE(pixelOf(c, QString(), 4, 5), 0u);
    c.setProperty("FillColor", 0x0000FF);              // red as a colour reference
    QCOMPARE(c.FloodFill(2, 2, 0, 0, 0, 0), short(1)); // up to the black line
    QCOMPARE(pixelOf(c, QString(), 0, 0), 0xFF0000u);
    QCOMPARE(pixelOf(c, QString(), 2, 8), 0xFFFFFFu);
    QCOMPARE(c.FloodFill(4, 5, 0, 0, 0, 0), short(0)); // starting on the border
    c.setProperty("DrawMode", int(CRitraCtrl::ModeXorPen));
    c.setProperty("ForeColor", 0xFFFFFF);
    c.DrawLine(0, 5, 9, 5);
    QCOMPARE(pixelOf(c, QString(), 4, 5), 0xFFFFFFu);
    c.setProperty("DrawMode", int(CRitraCtrl::ModeNop));
    c.setProperty("ForeColor", 0);
    c.DrawLine(0, 5, 9, 5);
    QCOMPARE(pixelOf(c, QString(), 4, 5), 0xFFFFFFu);
    QCOMPARE(c.SaveAttributes(), short(1));
    c.setProperty("DrawMode", int(CRitraCtrl::ModeCopyPen));
    QCOMPARE(c.RestoreAttributes(), short(1));
    QCOMPARE(c.property("DrawMode").toInt(), int(CRitraCtrl::ModeNop));
    QCOMPARE(c.ParseStr(QStringLiteral("a=1;b=2;"), QStringLiteral("b="), QStringLiteral(";")),
             QStringLiteral("2"));
    QCOMPARE(c.ReplaceStr(QStringLiteral("a/b/c"), QStringLiteral("/"), QStringLiteral("\\")),
             QStringLiteral("a\\b\\c"));
}

void TestRitraCtrl::primitivesTouchTheTarget_data() {
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QPoint>("drawn");
    QTest::addColumn<QPoint>("untouched");
    QTest::newRow("line") << "DrawLine" << QVariantList{2, 2, 30, 2} << QPoint(20, 2) << QPoint(39, 39);
    QTest::newRow("rectangle") << "DrawRectangle" << QVariantList{5, 5, 20, 20} << QPoint(5, 12)
                               << QPoint(39, 39);
    QTest::newRow("ellipse") << "DrawEllipse" << QVariantList{0, 0, 30, 30} << QPoint(0, 15)
                             << QPoint(39, 39);
    QTest::newRow("circle") << "DrawCircle" << QVariantList{20, 20, 10} << QPoint(30, 20) << QPoint(39, 39);
    QTest::newRow("round rectangle") << "DrawRoundRect" << QVariantList{5, 5, 30, 30, 6, 6} << QPoint(17, 5)
                                     << QPoint(39, 39);
    QTest::newRow("arc") << "DrawArc" << QVariantList{0, 0, 30, 30, 30, 15, 15, 0} << QPoint(25, 4)
                         << QPoint(39, 39);
    QTest::newRow("pie") << "DrawPie" << QVariantList{0, 0, 30, 30, 30, 15, 15, 0} << QPoint(15, 10)
                         << QPoint(39, 39);
    QTest::newRow("chord") << "DrawChord" << QVariantList{0, 0, 30, 30, 30, 15, 15, 0} << QPoint(20, 5)
                           << QPoint(39, 39);
    QTest::newRow("grid") << "DrawGrid" << QVariantList{0, 0, 31, 31, 3, 3} << QPoint(10, 5)
                          << QPoint(39, 39);
    QTest::newRow("polygon")
        << "DrawPoly" << QVariantList{QStringLiteral("0,0 10,0 10,10"), 5, 5, 0, 0, 2.0, 2.0, 0, 1, 0, 0}
        << QPoint(15, 5) << QPoint(39, 39);
    QTest::newRow("border") << "DrawBitmapBorder" << QVariantList{} << QPoint(0, 20) << QPoint(20, 20);
    QTest::newRow("text") << "DrawText" << QVariantList{2, 2, QStringLiteral("MMMM")} << QPoint(-1, -1)
                          << QPoint(39, 39);
}

void TestRitraCtrl::primitivesTouchTheTarget() {
    QFETCH(QString, member);
    QFETCH(QVariantList, args);
    QFETCH(QPoint, drawn);
    QFETCH(QPoint, untouched);
    for (int target : {0, 1}) {
        CRitraCtrl c;
        c.CreateBitmap(QString(), 40, 40);
        c.ShowBitmap(QString(), 1);
        c.setProperty("Target", target);
        const QString name = target == 0 ? QString() : QStringLiteral("_view");
        const QImage before = *c.bitmap(name);
        QString error;
        QVariant result;
        QVERIFY2(c.invoke(c.dispatchId(member), RitraDispatch::Call::Method, args, &result, &error),
                 qPrintable(error));
        const QImage after = *c.bitmap(name);
        QVERIFY2(after != before, "nothing was drawn");
        if (drawn.x() >= 0)
            QCOMPARE(after.pixel(drawn) & 0xFFFFFF, 0u);
        QCOMPARE(after.pixel(untouched), before.pixel(untouched));
        // The other bitmap is untouched.
        QCOMPARE(*c.bitmap(target == 0 ? QStringLiteral("_view") : QString()), before);
    }
}

void TestRitraCtrl::indexedSaveReadsBack_data() {
    QTest::addColumn<int>("bits");
    QTest::newRow("1") << 1;
    QTest::newRow("4") << 4;
    QTest::newRow("8") << 8;
}

void TestRitraCtrl::indexedSaveReadsBack() {
    QFETCH(int, bits);
    CRitraCtrl c;
    c.CreateBitmap(QString(), 7, 3);
    c.SetPixel(QString(), 6, 2, 0, 0, 0);
    const QString file = path(QStringLiteral("i%1.bmp").arg(bits));
    QCOMPARE(c.SaveBitmap2(file, QString(), short(bits)), short(1));
    const QByteArray bytes = readFile(file);
    QCOMPARE(int(bytes[28]), bits);
    const QImage back = ritra::readDibFile(bytes);
    QCOMPARE(back.pixel(6, 2) & 0xFFFFFF, 0u);
    QCOMPARE(back.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

void TestRitraCtrl::dispatchIdentifiers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("id");
    QTest::newRow("first property") << "ViewMarginHorz" << 1;
    QTest::newRow("ColorR") << "ColorR" << 29;
    QTest::newRow("ColorB") << "ColorB" << 31;
    QTest::newRow("ObjectWidth") << "ObjectWidth" << 37;
    QTest::newRow("ObjectHeight") << "ObjectHeight" << 38;
    QTest::newRow("last property") << "Picture" << 52;
    QTest::newRow("first method") << "LoadBitmap" << 53;
    QTest::newRow("GetBitmapName") << "GetBitmapName" << 60;
    QTest::newRow("StretchBitmap") << "StretchBitmap" << 79;
    QTest::newRow("GetPixel") << "GetPixel" << 81;
    QTest::newRow("SetPixel") << "SetPixel" << 82;
    QTest::newRow("ShowBitmap") << "ShowBitmap" << 97;
    QTest::newRow("ZoomBitmap") << "ZoomBitmap" << 98;
    QTest::newRow("GetBitmapIndex") << "GetBitmapIndex" << 124;
    QTest::newRow("EnumerateFonts") << "EnumerateFonts" << 166;
    QTest::newRow("ConvertBmpToJpg") << "ConvertBmpToJpg" << 177;
    QTest::newRow("last method") << "RotateBitmap" << 181;
    QTest::newRow("standard BackColor") << "BackColor" << -501;
    QTest::newRow("standard ForeColor") << "ForeColor" << -513;
    QTest::newRow("standard AboutBox") << "AboutBox" << -552;
}

void TestRitraCtrl::dispatchIdentifiers() {
    QFETCH(QString, name);
    QFETCH(int, id);
    CRitraCtrl c;
    QCOMPARE(c.dispatchId(name), id);
    QCOMPARE(c.dispatchId(name.toUpper()), id);
    QCOMPARE(c.dispatchName(id), name);
}

void TestRitraCtrl::everyMemberIsCallable() {
    // Each identifier reaches a property or a method of the control: reading
    // a property works, and a method refuses only a wrong argument count.
    CRitraCtrl c;
    const QVariantList tooMany(20, QVariant(0));
    for (int id = 1; id <= 181; ++id) {
        QString error;
        QVariant result;
        if (id <= 52) {
            QVERIFY2(c.invoke(id, RitraDispatch::Call::PropertyGet, {}, &result, &error), qPrintable(error));
        } else {
            QVERIFY(!c.invoke(id, RitraDispatch::Call::Method, tooMany, &result, &error));
            QVERIFY2(error.contains(QLatin1String("arguments")), qPrintable(c.dispatchName(id) + error));
        }
    }
    QCOMPARE(c.dispatchName(182), QString());
    QCOMPARE(c.dispatchId(QStringLiteral("NoSuchMember")), 0);
    QCOMPARE(c.eventId(QStringLiteral("MouseEvent")), 1);
    QCOMPARE(c.eventId(QStringLiteral("NewFont")), 7);
}

void TestRitraCtrl::dispatchRefusesBadCalls() {
    CRitraCtrl c;
    QString error;
    QVariant result;
    QVERIFY(!c.invoke(81, RitraDispatch::Call::Method, {QString(), 1}, &result, &error));
    QVERIFY(
        !c.invoke(81, RitraDispatch::Call::Method, {QString(), QStringLiteral("ten"), 1}, &result, &error));
    QVERIFY(!c.invoke(50, RitraDispatch::Call::PropertyPut, {8}, &result, &error)); // ColorBits is read-only
    QVERIFY(!c.invoke(53, RitraDispatch::Call::PropertyGet, {}, &result, &error));
    QVERIFY(!c.invoke(999, RitraDispatch::Call::Method, {}, &result, &error));
    QVERIFY(c.invoke(41, RitraDispatch::Call::PropertyPut, {QStringLiteral("/tmp")}, &result, &error));
    QCOMPARE(get(c, "FilePath").toString(), QStringLiteral("/tmp"));
    QVERIFY(
        c.invoke(RitraDispatch::kBackColor, RitraDispatch::Call::PropertyPut, {0x123456}, &result, &error));
    QCOMPARE(c.backColor(), 0x123456);
    QCOMPARE(call(c, "GetBitmapName", {5}).toString(), QString());
}

void TestRitraCtrl::unsupportedMembersFail() {
    CRitraCtrl c;
    QCOMPARE(call(c, "AddGauge",
                  {QStringLiteral("g"), QStringLiteral("t"), QStringLiteral("p"), QStringLiteral("s")})
                 .toInt(),
             0);
    QCOMPARE(call(c, "RunScript", {QStringLiteral("x")}).toInt(), 0);
    QCOMPARE(call(c, "GetDevice", {0}).toInt(), 0);
    QCOMPARE(call(c, "GetObjectCount").toInt(), 0);
    QCOMPARE(call(c, "ShowColorDialog").toInt(), 0); // no display: no dialog
}

void TestRitraCtrl::propertiesPersist() {
    CRitraCtrl fresh;
    QCOMPARE(fresh.property("ChangeHorz").toInt(), 10);
    QCOMPARE(fresh.property("BackColor").toInt(), 0xFFFFFF);
    QCOMPARE(fresh.property("DrawMode").toInt(), 5);
    QCOMPARE(fresh.property("AmbientColor").toInt(), 0x808080);
    QCOMPARE(fresh.property("EditBoxColor").toInt(), 0xC0C0C0);
    QCOMPARE(fresh.property("ScaleObjectHorz").toFloat(), 1.0f);
    QCOMPARE(fresh.property("KeepAspect").toBool(), true);
    QCOMPARE(fresh.property("FontTransparent").toBool(), true);
    QCOMPARE(fresh.property("FontName").toInt(), 1);

    CRitraCtrl a;
    a.setProperty("ViewMarginHorz", 7);
    a.setProperty("FilePath", QStringLiteral("/srv/loghi"));
    a.setProperty("ScaleObjectVert", 2.5f);
    a.setProperty("Mask", true);
    a.setProperty("ForeColor", 0x00FF00);
    const QByteArray block = a.saveProperties();
    CRitraCtrl b;
    QVERIFY(b.loadProperties(block));
    for (const QString &name : CRitraCtrl::persistentProperties())
        QCOMPARE(b.property(name.toLatin1().constData()), a.property(name.toLatin1().constData()));

    CRitraCtrl c;
    QVERIFY(!c.loadProperties(block.left(block.size() - 3)));
    QCOMPARE(c.property("ViewMarginHorz").toInt(), 0); // nothing applied from a truncated block
    QByteArray newer = block;
    newer[5] = 2; // major version 2
    QVERIFY(!c.loadProperties(newer));
}

void TestRitraCtrl::pluginFactory() {
    qputenv("RITRA_LIBRARY", QByteArray(qgetenv("NORVVELM_BIN") + "/ritra"));
    QString error;
    RitraFactoryInterface *factory = loadRitraFactory(&error);
    QVERIFY2(factory, qPrintable(error));
    QVERIFY(factory->keys().contains(QStringLiteral("Ritra.RitraCtrl.1")));
    std::unique_ptr<QWidget> control(factory->create(QStringLiteral("Ritra.RitraCtrl.1"), nullptr));
    auto *dispatch = qobject_cast<RitraDispatch *>(control.get());
    QVERIFY(dispatch);
    QVariant result;
    QVERIFY(dispatch->invoke(57, RitraDispatch::Call::Method, {QString(), 4, 4}, &result, &error));
    QCOMPARE(result.toInt(), 1);
    std::unique_ptr<QWidget> page(factory->create(QStringLiteral("Ritra.RitraPropPage.1"), nullptr));
    QVERIFY(page);
    bool bound = false;
    QVERIFY(QMetaObject::invokeMethod(page.get(), "setControl", Q_RETURN_ARG(bool, bound),
                                      Q_ARG(QWidget *, control.get())));
    QVERIFY(bound);
    auto *margin = page->findChild<QSpinBox *>(QStringLiteral("ViewMarginHorz"));
    QVERIFY(margin);
    margin->setValue(9);
    QVERIFY(QMetaObject::invokeMethod(page.get(), "apply", Q_RETURN_ARG(bool, bound)));
    QVERIFY(dispatch->invoke(1, RitraDispatch::Call::PropertyGet, {}, &result, &error));
    QCOMPARE(result.toInt(), 9);
    QVERIFY(!factory->create(QStringLiteral("Ritra.Other.1"), nullptr));
}

void TestRitraCtrl::ritractlSurvivesHostileFiles() {
    writeFile(path(QStringLiteral("t100.bmp")), colourBmp(100, 60));
    writeFile(path(QStringLiteral("four.bmp")), QByteArray("BM\0\0", 4));
    QByteArray huge = colourBmp(1, 1).left(54);
    const qint32 side = 60000;
    huge.replace(18, 4, reinterpret_cast<const char *>(&side), 4);
    huge.replace(22, 4, reinterpret_cast<const char *>(&side), 4);
    writeFile(path(QStringLiteral("huge.bmp")), huge);
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.start(QString::fromLocal8Bit(qgetenv("NORVVELM_BIN")) + QStringLiteral("/ritractl"),
            {QStringLiteral("LoadBitmap(\"t100.bmp\",\"\")"), QStringLiteral("GetBitmapSize(\"\")"),
             QStringLiteral("ObjectWidth"), QStringLiteral("GetPixel(\"\", 300, 10)"),
             QStringLiteral("ColorG"), QStringLiteral("LoadBitmap(\"four.bmp\",\"\")"),
             QStringLiteral("LoadBitmap(\"huge.bmp\",\"x\")"),
             QStringLiteral("ConvertBmpToJpg(\"huge.bmp\",\"h.jpg\")"), QStringLiteral("FilePath=\"/srv\""),
             QStringLiteral("Nonsense(")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1); // the last argument does not parse
    const QStringList lines = QString::fromLocal8Bit(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("LoadBitmap(\"t100.bmp\",\"\") = 1"));
    QCOMPARE(lines.value(2), QStringLiteral("ObjectWidth = 100"));
    QCOMPARE(lines.value(4), QStringLiteral("ColorG = 255"));
    QCOMPARE(lines.value(5), QStringLiteral("LoadBitmap(\"four.bmp\",\"\") = 0"));
    QCOMPARE(lines.value(6), QStringLiteral("LoadBitmap(\"huge.bmp\",\"x\") = 0"));
    QCOMPARE(lines.value(7), QStringLiteral("ConvertBmpToJpg(\"huge.bmp\",\"h.jpg\") = 0"));
    QCOMPARE(lines.value(8), QStringLiteral("FilePath=\"/srv\" = /srv"));
    QVERIFY(lines.value(9).startsWith(QLatin1String("Nonsense( = error: ")));
    QVERIFY(p.readAllStandardError().contains("Cannot read file: four.bmp"));
}

void TestRitraCtrl::logoPreparationThroughDispatch() {
    // The logo page's sequence, by identifier only: load, show, threshold
    // every position of 256 by 256, copy, size, stretch to the register size.
    BmpLayout logo;
    logo.width = 100;
    logo.height = 60;
    logo.pixel = [](int x, int) { return quint32(x < 50 ? qRgb(200, 150, 160) : qRgb(160, 255, 255)); };
    writeFile(path(QStringLiteral("logo.bmp")), makeBmp(logo));
    CRitraCtrl c;
    auto byId = [&c](int id, const QVariantList &args) {
        QVariant result;
        QString error;
        const bool ok = c.invoke(id, RitraDispatch::Call::Method, args, &result, &error);
        return ok ? result.toInt() : -1;
    };
    auto prop = [&c](int id) {
        QVariant result;
        QString error;
        c.invoke(id, RitraDispatch::Call::PropertyGet, {}, &result, &error);
        return result.toInt();
    };
    QCOMPARE(byId(53, {path(QStringLiteral("logo.bmp")), QString()}), 1);
    QCOMPARE(byId(97, {QString(), 1}), 1);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            byId(81, {QString(), x, y});
            const int v = (prop(29) >= 161 && prop(30) >= 101 && prop(31) >= 151) ? 255 : 0;
            byId(82, {QString(), x, y, v, v, v});
        }
    }
    QCOMPARE(byId(59, {QString(), QString()}), 1);
    QCOMPARE(byId(80, {QString()}), 1);
    QCOMPARE(prop(37), 100);
    QCOMPARE(prop(38), 60);
    QCOMPARE(byId(79, {QString(), 128, 64}), 1);
    QCOMPARE(byId(97, {QString(), 1}), 1);
    QCOMPARE(c.bitmap(QString())->size(), QSize(128, 64));
    QCOMPARE(pixelOf(c, QString(), 63, 10), 0xFFFFFFu); // 200,150,160 passes the threshold
    QCOMPARE(pixelOf(c, QString(), 64, 10), 0u);        // red 160 does not
    QCOMPARE(c.viewBitmapSize(), QSize(128, 64));
}

QTEST_MAIN(TestRitraCtrl)
#include "tst_ritractrl.moc"
