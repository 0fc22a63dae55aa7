// Picture control figures:
//   ms_threshold_256        the logo threshold: 65,536 GetPixel and SetPixel
//                           calls (with the three colour reads) through the
//                           dispatch interface on a 256 by 256 bitmap
//   convert_vs_cjpeg_ratio  ConvertBmpToJpg of a 2000 by 2000 24-bit BMP
//                           against cjpeg at quality 75 on the same file
#include "picture/RitraBitmapIo.h"
#include "picture/RitraCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double thresholdOnce(CRitraCtrl &c) {
    const int getPixel = c.dispatchId(QStringLiteral("GetPixel"));
    const int setPixel = c.dispatchId(QStringLiteral("SetPixel"));
    const int red = c.dispatchId(QStringLiteral("ColorR"));
    const int green = c.dispatchId(QStringLiteral("ColorG"));
    const int blue = c.dispatchId(QStringLiteral("ColorB"));
    const QString current;
    QVariant r;
    QVariant g;
    QVariant b;
    QVariant result;
    QElapsedTimer t;
    t.start();
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            c.invoke(getPixel, RitraDispatch::Call::Method, {current, x, y}, &result, nullptr);
            c.invoke(red, RitraDispatch::Call::PropertyGet, {}, &r, nullptr);
            c.invoke(green, RitraDispatch::Call::PropertyGet, {}, &g, nullptr);
            c.invoke(blue, RitraDispatch::Call::PropertyGet, {}, &b, nullptr);
            const int v = (r.toInt() >= 161 && g.toInt() >= 101 && b.toInt() >= 151) ? 255 : 0;
            c.invoke(setPixel, RitraDispatch::Call::Method, {current, x, y, v, v, v}, &result, nullptr);
        }
    }
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    CRitraCtrl control;
    QList<double> runs;
    for (int i = 0; i < 5; ++i) {
        control.CreateBitmap(QString(), 256, 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                control.SetPixel(QString(), short(x), short(y), short(x), short(y), short((x * y) & 0xFF));
        runs.append(thresholdOnce(control));
    }
    std::printf("ms_threshold_256: %.1f\n", median(runs));
    std::fflush(stdout);

    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    QTemporaryDir dir;
    if (cjpeg.isEmpty() || !dir.isValid()) {
        std::printf("convert_vs_cjpeg_ratio: n/a (cjpeg not found)\n");
        return 0;
    }
    QImage picture(2000, 2000, QImage::Format_RGB32);
    for (int y = 0; y < 2000; ++y) {
        auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < 2000; ++x)
            row[x] = qRgb((x / 7) & 0xFF, (y / 5) & 0xFF, ((x ^ y) * 3) & 0xFF);
    }
    const QString bmp = dir.filePath(QStringLiteral("big.bmp"));
    {
        QFile f(bmp);
        if (!f.open(QIODevice::WriteOnly) || f.write(ritra::encodeBmp24(picture)) < 0)
            return 1;
    }
    const QString ours = dir.filePath(QStringLiteral("ours.jpg"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.jpg"));
    QList<double> oursMs;
    QList<double> theirsMs;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        if (control.ConvertBmpToJpg(bmp, ours) != 1)
            return 1;
        oursMs.append(t.nsecsElapsed() / 1e6);
        t.restart();
        QProcess p;
        p.start(cjpeg,
                {QStringLiteral("-quality"), QStringLiteral("75"), QStringLiteral("-outfile"), theirs, bmp});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return 1;
        theirsMs.append(t.nsecsElapsed() / 1e6);
    }
    std::printf("ms_convert_2000: %.1f\n", median(oursMs));
    std::printf("ms_cjpeg_2000: %.1f\n", median(theirsMs));
    std::printf("convert_vs_cjpeg_ratio: %.2f\n", median(oursMs) / median(theirsMs));
    return 0;
}
