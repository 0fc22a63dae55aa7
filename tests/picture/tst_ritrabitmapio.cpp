// The bitmap readers, the BMP writer and the JPEG coder, without a control.
#include "picture/RitraBitmapIo.h"
#include "picture/RitraJpeg.h"
#include "support/BmpBuilder.h"

#include <QTest>

using namespace ritra;

namespace {

const QList<QRgb> kColours = {qRgb(0, 0, 0),       qRgb(255, 0, 0),  qRgb(0, 200, 0),  qRgb(10, 20, 250),
                              qRgb(255, 255, 255), qRgb(1, 2, 3),    qRgb(90, 80, 70), qRgb(200, 100, 50),
                              qRgb(5, 5, 5),       qRgb(6, 6, 6),    qRgb(7, 7, 7),    qRgb(8, 8, 8),
                              qRgb(9, 9, 9),       qRgb(11, 11, 11), qRgb(12, 12, 12), qRgb(13, 13, 13)};

QRgb expectedAt(int x, int y, int colours) {
    return kColours[(x + 2 * y) % colours];
}

BmpLayout paletted(int headerSize, int bpp, int colours, quint32 used, int width, int height) {
    BmpLayout s;
    s.headerSize = headerSize;
    s.bpp = bpp;
    s.width = width;
    s.height = height;
    s.palette = kColours.mid(0, colours);
    s.used = used;
    s.pixel = [colours](int x, int y) { return quint32((x + 2 * y) % colours); };
    return s;
}

BmpLayout trueColour(int width, int height) {
    BmpLayout s;
    s.width = width;
    s.height = height;
    s.pixel = [](int x, int y) { return quint32(qRgb(x * 40, y * 30, 7 + x + y)); };
    return s;
}

} // namespace

class TestRitraBitmapIo : public QObject {
    Q_OBJECT

private slots:
    void readsEveryDepth_data();
    void readsEveryDepth();
    void loadReaderSkipsTableOfTrueColourAndIgnoresOffset();
    void loadReaderDecodesBitfieldsAndRle();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void conversionStatus_data();
    void conversionStatus();
    void conversionSkipsRowPadding();
    void writerRoundTrips();
    void jpegRoundTrip();
    void greyJpegGivesEqualComponents();
    void damagedJpegFailsCleanly_data();
    void damagedJpegFailsCleanly();
};

void TestRitraBitmapIo::readsEveryDepth_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("height");
    QTest::newRow("1 bit, 40-byte header") << makeBmp(paletted(40, 1, 2, 0, 9, 3)) << 2 << 3;
    QTest::newRow("4 bits, 40-byte header") << makeBmp(paletted(40, 4, 16, 0, 5, 3)) << 16 << 3;
    QTest::newRow("8 bits, used-colour count") << makeBmp(paletted(40, 8, 7, 7, 5, 3)) << 7 << 3;
    QTest::newRow("1 bit, 12-byte header") << makeBmp(paletted(12, 1, 2, 0, 9, 2)) << 2 << 2;
    QTest::newRow("4 bits, 12-byte header") << makeBmp(paletted(12, 4, 16, 0, 3, 2)) << 16 << 2;
    BmpLayout core8 = paletted(12, 8, 16, 0, 3, 2);
    core8.palette = kColours + QList<QRgb>(240, qRgb(1, 1, 1)); // a core table always has 256 entries
    QTest::newRow("8 bits, 12-byte header") << makeBmp(core8) << 16 << 2;
    QTest::newRow("8 bits, top-down") << makeBmp(paletted(40, 8, 5, 5, 4, -3)) << 5 << 3;
    QTest::newRow("24 bits, width 3") << makeBmp(trueColour(3, 4)) << 0 << 4;
    BmpLayout core24 = trueColour(5, 2);
    core24.headerSize = 12;
    QTest::newRow("24 bits, 12-byte header") << makeBmp(core24) << 0 << 2;
    BmpLayout top24 = trueColour(3, -2);
    QTest::newRow("24 bits, top-down") << makeBmp(top24) << 0 << 2;
}

void TestRitraBitmapIo::readsEveryDepth() {
    QFETCH(QByteArray, file);
    QFETCH(int, colours);
    QFETCH(int, height);
    QString why;
    const QImage image = readDibFile(file, &why);
    QVERIFY2(!image.isNull(), qPrintable(why));
    QCOMPARE(image.height(), height);
    const BmpLayout truth = trueColour(1, 1);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = colours ? expectedAt(x, y, colours) : QRgb(truth.pixel(x, y));
            QCOMPARE(image.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF);
        }
    }
    // The conversion reader agrees wherever it takes the file.
    QString status;
    const RgbBuffer buffer = readBmpForConversion(file, &status);
    QCOMPARE(status, QStringLiteral("OK"));
    QCOMPARE(imageFromRgb(buffer), image);
}

void TestRitraBitmapIo::loadReaderSkipsTableOfTrueColourAndIgnoresOffset() {
    // A 24-bit file with a used-colour count carries a table before its pixels.
    BmpLayout s = trueColour(3, 2);
    s.palette = {qRgb(1, 1, 1), qRgb(2, 2, 2)};
    s.used = 2;
    QImage image = readDibFile(makeBmp(s));
    QCOMPARE(image.pixel(2, 1) & 0xFFFFFF, QRgb(s.pixel(2, 1)) & 0xFFFFFF);

    // The load takes the pixels right after the table, whatever the data
    // offset says; the conversion follows the offset.
    BmpLayout gap = paletted(40, 8, 2, 2, 4, 1);
    gap.gap = 4;
    image = readDibFile(makeBmp(gap));
    // The gap's bytes are read as pixels: index 0x55 lies past the table and reads black.
    QCOMPARE(image.pixel(1, 0) & 0xFFFFFF, 0u);
    QString status;
    const RgbBuffer buffer = readBmpForConversion(makeBmp(gap), &status);
    QCOMPARE(status, QStringLiteral("OK"));
    QCOMPARE(imageFromRgb(buffer).pixel(1, 0) & 0xFFFFFF, kColours[1] & 0xFFFFFF);
}

void TestRitraBitmapIo::loadReaderDecodesBitfieldsAndRle() {
    // 16 bits, 5-6-5 masks after a 40-byte header.
    QByteArray f = makeBmp(trueColour(1, 1)).left(54);
    f[28] = 16;
    f[30] = 3;
    const quint32 masks[3] = {0xF800, 0x07E0, 0x001F};
    for (quint32 m : masks)
        f.append(reinterpret_cast<const char *>(&m), 4);
    f.append("\xFF\xFF\x00\x00", 4); // white, padded row
    QImage image = readDibFile(f);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);

    // RLE8: a run of three index-1 pixels, end of line, three runs of one.
    BmpLayout rle = paletted(40, 8, 3, 3, 3, 2);
    rle.compression = 1;
    rle.pixel = [](int, int) { return 0u; };
    QByteArray r = makeBmp(rle);
    r.truncate(54 + 12);
    r.append(QByteArray("\x03\x01\x00\x00\x01\x02\x01\x01\x01\x00\x00\x01", 12));
    image = readDibFile(r);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixel(2, 1) & 0xFFFFFF, kColours[1] & 0xFFFFFF); // bottom row first
    QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, kColours[2] & 0xFFFFFF);
    QCOMPARE(image.pixel(1, 0) & 0xFFFFFF, kColours[1] & 0xFFFFFF);
    QCOMPARE(image.pixel(2, 0) & 0xFFFFFF, kColours[0] & 0xFFFFFF);

    // RLE8 literal run (padded to a word), then RLE4 runs alternating two indexes.
    BmpLayout literal = paletted(40, 8, 3, 3, 4, 1);
    literal.compression = 1;
    r = makeBmp(literal).left(54 + 12) + QByteArray("\x00\x03\x02\x01\x02\x00\x01\x00\x00\x01", 10);
    image = readDibFile(r);
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, kColours[2] & 0xFFFFFF);
    QCOMPARE(image.pixel(2, 0) & 0xFFFFFF, kColours[2] & 0xFFFFFF);
    QCOMPARE(image.pixel(3, 0) & 0xFFFFFF, kColours[0] & 0xFFFFFF);
    BmpLayout four = paletted(40, 4, 3, 3, 5, 1);
    four.compression = 2;
    r = makeBmp(four).left(54 + 12) + QByteArray("\x05\x12\x00\x01", 4);
    image = readDibFile(r);
    QVERIFY(!image.isNull());
    for (int x = 0; x < 5; ++x)
        QCOMPARE(image.pixel(x, 0) & 0xFFFFFF, kColours[x % 2 ? 2 : 1] & 0xFFFFFF);
}

void TestRitraBitmapIo::refusesHostileFiles_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = makeBmp(trueColour(4, 4));
    QTest::newRow("four bytes") << QByteArray("BM\0\0", 4);
    QTest::newRow("not BM") << QByteArray("XY") + good.mid(2);
    QTest::newRow("truncated pixels") << good.left(good.size() - 5);
    QTest::newRow("header only") << good.left(54);
    QByteArray huge = good.left(54);
    const qint32 side = 60000;
    huge.replace(18, 4, reinterpret_cast<const char *>(&side), 4);
    huge.replace(22, 4, reinterpret_cast<const char *>(&side), 4);
    QTest::newRow("60000 by 60000") << huge;
    QByteArray wide = good;
    const qint32 negative = -4;
    wide.replace(18, 4, reinterpret_cast<const char *>(&negative), 4);
    QTest::newRow("negative width") << wide;
    QByteArray odd = good;
    odd[14] = 20;
    QTest::newRow("unknown info header size") << odd;
    QByteArray noDepth = good;
    noDepth[28] = 0;
    QTest::newRow("zero bits per pixel") << noDepth;
    BmpLayout table = paletted(40, 8, 4, 0x7FFFFFFF, 2, 2);
    QTest::newRow("used-colour count past the file") << makeBmp(table);
    BmpLayout rleTop = paletted(40, 8, 2, 2, 2, -2);
    rleTop.compression = 1;
    QTest::newRow("compressed top-down") << makeBmp(rleTop);
}

void TestRitraBitmapIo::refusesHostileFiles() {
    QFETCH(QByteArray, file);
    QString why;
    QVERIFY(readDibFile(file, &why).isNull());
    QVERIFY(!why.isEmpty());
    QString status;
    QVERIFY(readBmpForConversion(file, &status).isNull());
    QVERIFY(status != QLatin1String("OK"));
}

void TestRitraBitmapIo::conversionStatus_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("status");
    const QByteArray good = makeBmp(trueColour(3, 5));
    QTest::newRow("good") << good << "OK";
    QTest::newRow("no signature") << QByteArray("PK") + good.mid(2) << "Not a valid BMP File";
    QTest::newRow("one byte") << QByteArray("B") << "Read Error!";
    QTest::newRow("short header") << good.left(30) << "Read Error!";
    BmpLayout rle = paletted(40, 8, 2, 2, 2, 2);
    rle.compression = 1;
    QTest::newRow("RLE") << makeBmp(rle) << "This is a compressed file.";
    QByteArray deep = good;
    deep[28] = 32;
    QTest::newRow("32 bits") << deep << "Unsupported colour depth";
    deep[28] = 16;
    QTest::newRow("16 bits") << deep << "Unsupported colour depth";
    QByteArray early = makeBmp(paletted(40, 8, 4, 4, 2, 2));
    early[10] = 54; // pixels said to start inside the colour table
    QTest::newRow("offset inside the table") << early << "Corrupt palette";
    QTest::newRow("more colours than the depth") << makeBmp(paletted(40, 1, 2, 3, 2, 2)) << "Corrupt palette";
    QByteArray far = good;
    far[13] = 0x7F;
    QTest::newRow("offset past the end") << far << "Read Error";
    QTest::newRow("truncated row") << good.left(good.size() - 6) << "Read Error";
    QByteArray huge = good;
    const qint32 side = 60000;
    huge.replace(18, 4, reinterpret_cast<const char *>(&side), 4);
    huge.replace(22, 4, reinterpret_cast<const char *>(&side), 4);
    QTest::newRow("60000 by 60000") << huge << "Invalid image size";
}

void TestRitraBitmapIo::conversionStatus() {
    QFETCH(QByteArray, file);
    QFETCH(QString, status);
    QString got;
    const RgbBuffer buffer = readBmpForConversion(file, &got);
    QCOMPARE(got, status);
    QCOMPARE(buffer.isNull(), status != QLatin1String("OK"));
}

void TestRitraBitmapIo::conversionSkipsRowPadding() {
    // Width 3 at 24 bits: 9 bytes of pixels and one padding byte per row;
    // the last row's padding may be missing.
    QByteArray file = makeBmp(trueColour(3, 5));
    file.chop(1);
    QString status;
    const RgbBuffer buffer = readBmpForConversion(file, &status);
    QCOMPARE(status, QStringLiteral("OK"));
    QCOMPARE(buffer.width, 3);
    QCOMPARE(buffer.height, 5);
    const uchar *last = buffer.pixels.get() + (4 * 3 + 2) * 3;
    const QRgb want = QRgb(trueColour(1, 1).pixel(2, 4));
    QCOMPARE(int(last[0]), qRed(want));
    QCOMPARE(int(last[1]), qGreen(want));
    QCOMPARE(int(last[2]), qBlue(want));
}

void TestRitraBitmapIo::writerRoundTrips() {
    for (int width : {1, 2, 3, 4, 7}) {
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(x * 30, y * 70, 255 - x));
        const QByteArray file = encodeBmp24(image);
        QCOMPARE(file.size(), 54 + ((width * 3 + 3) & ~3) * 3);
        QCOMPARE(readDibFile(file), image);
    }
}

void TestRitraBitmapIo::jpegRoundTrip() {
    QImage image(40, 24, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 90));
    QByteArray jpeg;
    QString message;
    QCOMPARE(encodeJpeg(rgbFromImage(image), true, 75, &jpeg, &message), JpegFailure::None);
    QVERIFY(jpeg.startsWith("\xFF\xD8"));
    QVERIFY(jpeg.contains("\xFF\xC0")); // baseline frame
    QVERIFY(!jpeg.contains("\xFF\xC2"));
    RgbBuffer back;
    QCOMPARE(decodeJpeg(jpeg, &back, &message), JpegFailure::None);
    QCOMPARE(back.width, 40);
    QCOMPARE(back.height, 24);
    const QRgb c = imageFromRgb(back).pixel(20, 12);
    QVERIFY(qAbs(qRed(c) - 200) <= 6 && qAbs(qGreen(c) - 40) <= 6 && qAbs(qBlue(c) - 90) <= 6);
}

void TestRitraBitmapIo::greyJpegGivesEqualComponents() {
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, qRgb(x * 16, y * 16, 128));
    QByteArray jpeg;
    QString message;
    QCOMPARE(encodeJpeg(rgbFromImage(image), false, 75, &jpeg, &message), JpegFailure::None);
    RgbBuffer back;
    QCOMPARE(decodeJpeg(jpeg, &back, &message), JpegFailure::None);
    const uchar *p = back.pixels.get();
    for (qsizetype i = 0; i < back.byteCount(); i += 3) {
        QCOMPARE(p[i], p[i + 1]);
        QCOMPARE(p[i], p[i + 2]);
    }
}

void TestRitraBitmapIo::damagedJpegFailsCleanly_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("mayDecode");
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    QByteArray jpeg;
    QString message;
    encodeJpeg(rgbFromImage(image), true, 75, &jpeg, &message);
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("not a JPEG") << QByteArray("BM this is no JPEG at all") << false;
    QTest::newRow("cut in the header") << jpeg.left(100) << false;
    // Cut in the scan: libjpeg warns and fills the rest, which is a picture.
    QTest::newRow("cut in the scan") << jpeg.left(jpeg.size() - 40) << true;
    QByteArray huge = jpeg;
    const qsizetype sof = huge.indexOf("\xFF\xC0");
    huge[sof + 5] = char(0xEA); // height 60000
    huge[sof + 6] = char(0x60);
    huge[sof + 7] = char(0xEA); // width 60000
    huge[sof + 8] = char(0x60);
    QTest::newRow("60000 by 60000") << huge << false;
}

void TestRitraBitmapIo::damagedJpegFailsCleanly() {
    QFETCH(QByteArray, data);
    QFETCH(bool, mayDecode);
    RgbBuffer out;
    QString message;
    const JpegFailure r = decodeJpeg(data, &out, &message);
    if (r == JpegFailure::None) {
        QVERIFY(mayDecode);
        QVERIFY(!out.isNull());
    } else {
        QVERIFY(out.isNull());
        QVERIFY(!message.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestRitraBitmapIo)
#include "tst_ritrabitmapio.moc"
