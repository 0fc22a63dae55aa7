// A picture control in memory, with the behaviour the logo page relies on:
// positions outside the picture read white and take no writes, a stretch
// repeats or drops pixels, a missing or unreadable file fails the load.
#pragma once

#include "logo/LogoPicture.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

struct Grid {
    int width = 0;
    int height = 0;
    QList<quint32> px; // 0xRRGGBB, row by row from the top

    Grid() = default;
    Grid(
        int w, int h, const std::function<quint32(int, int)> &colour = [](int, int) { return 0xFFFFFFu; })
        : width(w), height(h), px(qsizetype(w) * h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px[qsizetype(y) * w + x] = colour(x, y);
    }
    quint32 at(int x, int y) const { return px.at(qsizetype(y) * width + x); }
    bool isNull() const { return width == 0; }
    bool operator==(const Grid &) const = default;
};

class FakePicture final : public norvvelm::LogoPicture {
public:
    QHash<QString, Grid> files;       // readable files
    QStringList unreadable;           // files that exist but cannot be read
    bool emptiesOnUnreadable = false; // store an empty picture and answer 1, as an older control did
    Grid current;
    QHash<QString, Grid> named;
    QStringList calls; // every call but the pixel ones
    int pixelReads = 0;
    int pixelWrites = 0;
    int lastZoom = -1;
    Grid shown;

    int LoadBitmap(const QString &file, const QString &name) override {
        calls << QStringLiteral("LoadBitmap");
        if (unreadable.contains(file)) {
            if (!emptiesOnUnreadable)
                return 0;
            put(name, Grid());
            return 1;
        }
        if (!files.contains(file))
            return 0;
        put(name, files.value(file));
        return 1;
    }
    int ShowBitmap(const QString &name, int) override {
        calls << QStringLiteral("ShowBitmap");
        const Grid *g = find(name);
        if (!g)
            return 0;
        shown = *g;
        lastZoom = 100;
        return 1;
    }
    int GetPixel(const QString &name, int x, int y, Colour &c) override {
        ++pixelReads;
        const Grid *g = find(name);
        if (!g)
            return 0;
        const quint32 v = (x < 0 || y < 0 || x >= g->width || y >= g->height) ? 0xFFFFFFu : g->at(x, y);
        c = {int(v >> 16), int((v >> 8) & 0xFF), int(v & 0xFF)};
        return 1;
    }
    int SetPixel(const QString &name, int x, int y, int r, int g, int b) override {
        ++pixelWrites;
        Grid *grid = find(name);
        if (!grid)
            return 0;
        if (x >= 0 && y >= 0 && x < grid->width && y < grid->height)
            grid->px[qsizetype(y) * grid->width + x] =
                quint32((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
        return 1;
    }
    int CopyBitmap(const QString &from, const QString &to) override {
        calls << QStringLiteral("CopyBitmap");
        const Grid *g = find(from);
        if (!g)
            return 0;
        put(to, Grid(*g));
        return 1;
    }
    int GetBitmapSize(const QString &name, QSize &size) override {
        calls << QStringLiteral("GetBitmapSize");
        const Grid *g = find(name);
        if (!g)
            return 0;
        size = QSize(g->width, g->height);
        return 1;
    }
    int StretchBitmap(const QString &name, int w, int h) override {
        calls << QStringLiteral("StretchBitmap");
        const Grid *g = find(name);
        if (!g || w <= 0 || h <= 0 || w > 4096 || h > 4096)
            return 0;
        const Grid source = *g;
        current = Grid(w, h, [&source, w, h](int x, int y) {
            return source.at(x * source.width / w, y * source.height / h);
        });
        return 1;
    }
    int ZoomBitmap(const QString &name, int zoom) override {
        calls << QStringLiteral("ZoomBitmap");
        if (!find(name))
            return 0;
        lastZoom = zoom;
        return 1;
    }

private:
    Grid *find(const QString &name) {
        if (name.isEmpty())
            return current.isNull() ? nullptr : &current;
        auto it = named.find(name.toLower());
        return it == named.end() || it->isNull() ? nullptr : &*it;
    }
    void put(const QString &name, const Grid &g) {
        if (name.isEmpty())
            current = g;
        else
            named.insert(name.toLower(), g);
    }
};
