// Logo figures, one "name: value" a line:
//   s_logo_upload_256  a 256 by 256 logo uploaded to the simulated register
//                      answering at once, over a pty: 256 exchanges
//   s_logo_load_256    a 256 by 256 BMP file loaded by the logo page's core
//                      into the real picture control through its dispatch
//                      interface: load, threshold, stretch, show

#include "benchsupport/PtyRegister.h"
#include "commands/Prompter.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "logo/LogoPicture.h"
#include "logo/LogoSlot.h"
#include "logo/LogoUpload.h"
#include "logo/widgets/RitraLogoPicture.h"
#include "picture/RitraAutomation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <cstdio>
#include <memory>

using namespace norvvelm;

namespace {

class QuietPrompter final : public Prompter {
public:
    void message(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &, Icon, Buttons, Answer, Answer safe) override { return safe; }
};

// A picture in memory: a pattern of black and white dots.
class PatternPicture final : public LogoPicture {
public:
    int LoadBitmap(const QString &, const QString &) override { return 0; }
    int ShowBitmap(const QString &, int) override { return 1; }
    int GetPixel(const QString &, int x, int y, Colour &c) override {
        const int v = ((x * 7 + y * 13) % 11) < 4 ? 0 : 255;
        c = {v, v, v};
        return 1;
    }
    int SetPixel(const QString &, int, int, int, int, int) override { return 1; }
    int CopyBitmap(const QString &, const QString &) override { return 1; }
    int GetBitmapSize(const QString &, QSize &size) override {
        size = QSize(256, 256);
        return 1;
    }
    int StretchBitmap(const QString &, int, int) override { return 1; }
    int ZoomBitmap(const QString &, int) override { return 1; }
};

double uploadSeconds() {
    PtyRegister sim;
    if (!sim.start())
        return -1;
    double seconds = -1;
    {
        SerialComPort port;
        RealClock clock;
        SerialFunz2 link(port, clock, [] { QCoreApplication::processEvents(); });
        if (link.OpenComPort(sim.link(), 115200)) {
            Session session;
            Runner runner(session, link);
            QuietPrompter prompter;
            PatternPicture picture;
            QElapsedTimer t;
            t.start();
            if (LogoUpload(runner, session, prompter).Send(picture, 1))
                seconds = double(t.nsecsElapsed()) / 1e9;
        }
    }
    return seconds;
}

double loadSeconds() {
    QTemporaryDir dir;
    // A 256 by 256 24-bit BMP, bottom-up rows.
    QByteArray bmp("BM");
    auto put32 = [&bmp](quint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp.append(char((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&bmp](quint32 v) {
        bmp.append(char(v & 0xFF));
        bmp.append(char((v >> 8) & 0xFF));
    };
    const quint32 pixels = 256 * 256 * 3;
    put32(54 + pixels);
    put32(0);
    put32(54);
    put32(40);
    put32(256);
    put32(256);
    put16(1);
    put16(24);
    put32(0);
    put32(pixels);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (quint32 i = 0; i < 256 * 256; ++i) {
        bmp.append(char(i & 0xFF));
        bmp.append(char((i >> 8) & 0xFF));
        bmp.append(char((i * 3) & 0xFF));
    }
    const QString file = dir.filePath(QStringLiteral("logo.bmp"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bmp) != bmp.size())
        return -1;
    f.close();
    QString error;
    RitraFactoryInterface *factory = loadRitraFactory(&error);
    if (!factory)
        return -1;
    std::unique_ptr<QWidget> control(factory->create(QStringLiteral("Ritra.RitraCtrl.1"), nullptr));
    auto *dispatch = qobject_cast<RitraDispatch *>(control.get());
    if (!dispatch)
        return -1;
    RitraLogoPicture picture(*dispatch);
    QuietPrompter prompter;
    LogoSlot slot(picture, prompter);
    QElapsedTimer t;
    t.start();
    if (!slot.Load(file))
        return -1;
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    std::printf("s_logo_upload_256: %.2f\n", uploadSeconds());
    std::printf("s_logo_load_256: %.2f\n", loadSeconds());
    return 0;
}
